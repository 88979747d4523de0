// An in-memory file system that behaves as Windows does: drive roots such as
// "C:\", network shares "\\server\share", names matched without letter case,
// short (8.3) names beside the long ones, icons handed out by the shell.
// Every call is counted and logged, so tests can tell which ones were made.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fileinfo/file_system.h"

namespace vagliante::test {

class FakeFileSystem final : public FileSystem {
  public:
    struct Entry {
        std::string longPath;   // "C:\Logs 2003\Log1.bin"
        std::string shortName;  // "LOG1~1.BIN", empty when the long name fits 8.3
        std::uint32_t attributes = 0x20;
        FileTime creation = 0, lastAccess = 0, lastWrite = 0;  // UTC
        std::uint64_t size = 0;
        std::string typeName;  // the shell's, empty for an unregistered type
    };

    // Adds a file or folder (attributes with 0x10); its folders must be there already.
    Entry& Add(Entry entry);
    Entry& AddFolder(const std::string& longPath, const std::string& shortName = {});
    Entry* Find(const std::string& longPath);

    std::string currentFolder = "C:\\";
    std::int64_t offsetSeconds = 3600;  // local time is UTC plus this
    bool refuseTimes = false;
    bool refuseAttributes = false;
    bool refuseOpen = false;
    bool throwOnAttributes = false;

    std::vector<std::string> log;  // "FindFirst C:\x", "DestroyIcon 7", ...
    std::map<std::string, int> calls;
    std::vector<IconHandle> liveIcons;

    PathStyle Style() const override { return PathStyle::Windows; }
    std::optional<std::string> QualifyPath(const std::string& path) override;
    std::optional<FindData> FindFirstEntry(const std::string& path) override;
    std::optional<std::string> ShortPathOf(const std::string& path) override;
    std::uint32_t CompressedSizeOf(const std::string& path, std::uint32_t& high) override;
    ShellFileInfo ShellInfoOf(const std::string& path) override;
    void DestroyIconHandle(IconHandle icon) override;
    TimeHandle OpenForTimes(const std::string& path) override;
    bool WriteFileTimes(TimeHandle file, const FileTime* creation, const FileTime* lastAccess,
                        const FileTime* lastWrite) override;
    void CloseTimeHandle(TimeHandle file) override;
    bool WriteAttributes(const std::string& path, std::uint32_t attributes) override;
    FileTime ToLocalFileTime(FileTime utc) override;
    FileTime ToUtcFileTime(FileTime local) override;
    std::string UpperCase(const std::string& text) override;  // ASCII letters only

  private:
    void Note(const std::string& call, const std::string& detail);
    // The entry a path names through long or short names; a root gives nullptr.
    Entry* Resolve(const std::string& path, bool* isRoot = nullptr);

    std::vector<Entry> entries_;
    std::map<TimeHandle, std::string> open_;
    TimeHandle nextHandle_ = 100;
    IconHandle nextIcon_ = 1;
};

}  // namespace vagliante::test
