// CFileInfo: the facts about one file named by a path.
//
// Setting FullPathName qualifies the path and reads every fact of the file
// (Refresh); the getters return what the last successful refresh read and
// touch nothing. A refresh that does not find the file clears FileExists and
// keeps every other fact. The setters of the times and attributes write to
// the file first and re-read everything when the write succeeded; a failed
// write changes nothing and reports nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileinfo/date_value.h"
#include "fileinfo/file_system.h"

namespace vagliante {

class CFileInfo {
  public:
    // Attribute bits the class names.
    static constexpr std::int32_t kReadOnly = 0x1;
    static constexpr std::int32_t kHidden = 0x2;
    static constexpr std::int32_t kSystem = 0x4;
    static constexpr std::int32_t kDirectory = 0x10;
    static constexpr std::int32_t kArchive = 0x20;
    static constexpr std::int32_t kTemporary = 0x100;
    static constexpr std::int32_t kCompressed = 0x800;

    CFileInfo();  // on the platform's own file system
    explicit CFileInfo(FileSystem& fileSystem);
    ~CFileInfo();  // destroys the icon it holds
    CFileInfo(const CFileInfo&) = delete;
    CFileInfo& operator=(const CFileInfo&) = delete;

    const std::string& FullPathName() const { return fullPathName_; }
    void SetFullPathName(const std::string& path);

    const std::string& FileName() const { return fileName_; }
    const std::string& FilePath() const { return filePath_; }
    const std::string& FileExtension() const { return fileExtension_; }
    const std::string& DisplayName() const { return displayName_; }
    const std::string& TypeName() const { return typeName_; }
    IconHandle hIcon() const { return hIcon_; }
    const std::string& ShortPathName() const { return shortPathName_; }
    const std::string& ShortName() const { return shortName_; }
    const std::string& ShortPath() const { return shortPath_; }
    bool FileExists() const { return fileExists_; }
    bool PathExists() const { return pathExists_; }
    std::int32_t FileSize() const { return fileSize_; }
    std::int32_t FileSizeHigh() const { return fileSizeHigh_; }
    std::int32_t CompressedFileSize() const { return compressedFileSize_; }
    std::int32_t CompressedFileSizeHigh() const { return compressedFileSizeHigh_; }

    std::int32_t Attributes() const { return attributes_; }
    void SetAttributes(std::int32_t attributes);

    // Times in local time; set to a date, a time is written and read back in
    // whole seconds, as the file system stores it.
    DateValue CreationTime() const { return creationTime_; }
    void SetCreationTime(DateValue date);
    DateValue LastAccessTime() const { return lastAccessTime_; }
    void SetLastAccessTime(DateValue date);
    DateValue ModifyTime() const { return modifyTime_; }
    void SetModifyTime(DateValue date);

    bool attrReadOnly() const { return (attributes_ & kReadOnly) != 0; }
    void SetattrReadOnly(bool value) { SetFlag(kReadOnly, value); }
    bool attrHidden() const { return (attributes_ & kHidden) != 0; }
    void SetattrHidden(bool value) { SetFlag(kHidden, value); }
    bool attrSystem() const { return (attributes_ & kSystem) != 0; }
    void SetattrSystem(bool value) { SetFlag(kSystem, value); }
    bool attrArchive() const { return (attributes_ & kArchive) != 0; }
    void SetattrArchive(bool value) { SetFlag(kArchive, value); }
    // These two bits cannot be set here: their setters accept the value and do nothing.
    bool attrTemporary() const { return (attributes_ & kTemporary) != 0; }
    void SetattrTemporary(bool) {}
    bool attrCompressed() const { return (attributes_ & kCompressed) != 0; }
    void SetattrCompressed(bool) {}

    // Reads every fact of the file FullPathName names.
    void Refresh();

    // The size and date texts of the report header, with the user's regional
    // settings; they do not depend on the object's state.
    std::string FormatFileDate(DateValue date) const;
    std::string FormatFileSize(std::int32_t size) const;

  private:
    enum TimeKind { kCreationTime = 0, kLastAccessTime = 1, kLastWriteTime = 2 };

    std::string LongFolderPath(const std::string& path);
    static std::string TrimAtNul(std::string_view text);
    DateValue DateFromFileTime(FileTime time, bool toLocal);
    std::optional<FileTime> DateToFileTime(DateValue date, bool fromLocal);
    bool WriteFileTime(DateValue date, int kind);
    bool WriteAttributes(std::int32_t attributes);
    void SetTime(DateValue date, int kind);
    void SetFlag(std::int32_t bit, bool value);

    FileSystem& fs_;
    char separator_;

    std::string fullPathName_;
    std::string fileName_;
    std::string filePath_;
    std::string fileExtension_;
    std::string displayName_;
    std::string typeName_;
    IconHandle hIcon_ = 0;
    std::string shortPathName_;
    std::string shortName_;
    std::string shortPath_;
    bool fileExists_ = false;
    bool pathExists_ = false;
    std::int32_t fileSize_ = 0;
    std::int32_t fileSizeHigh_ = 0;
    std::int32_t compressedFileSize_ = 0;
    std::int32_t compressedFileSizeHigh_ = 0;
    std::int32_t attributes_ = 0;
    DateValue creationTime_ = 0;
    DateValue lastAccessTime_ = 0;
    DateValue modifyTime_ = 0;
};

}  // namespace vagliante
