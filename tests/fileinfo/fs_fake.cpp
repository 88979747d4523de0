#include "tests/fileinfo/fs_fake.h"

#include <algorithm>
#include <stdexcept>

namespace vagliante::test {
namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

bool Glob(const std::string& pattern, std::size_t p, const std::string& name, std::size_t n) {
    if (p == pattern.size()) return n == name.size();
    if (pattern[p] == '*')
        return Glob(pattern, p + 1, name, n) || (n < name.size() && Glob(pattern, p, name, n + 1));
    if (n == name.size()) return false;
    return (pattern[p] == '?' || Lower(pattern.substr(p, 1)) == Lower(name.substr(n, 1))) &&
           Glob(pattern, p + 1, name, n + 1);
}

// The root of a Windows path ("C:" or "\\server\share") and the length it takes.
std::size_t RootLength(const std::string& path) {
    if (path.rfind("\\\\", 0) == 0) {
        const std::size_t server = path.find('\\', 2);
        if (server == std::string::npos) return path.size();
        const std::size_t share = path.find('\\', server + 1);
        return share == std::string::npos ? path.size() : share;
    }
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

std::vector<std::string> Split(const std::string& rest) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string ParentOf(const std::string& longPath) {
    return longPath.substr(0, longPath.rfind('\\'));
}
std::string NameOf(const std::string& longPath) {
    return longPath.substr(longPath.rfind('\\') + 1);
}

}  // namespace

FakeFileSystem::Entry& FakeFileSystem::Add(Entry entry) {
    entries_.push_back(std::move(entry));
    return entries_.back();
}

FakeFileSystem::Entry& FakeFileSystem::AddFolder(const std::string& longPath,
                                                 const std::string& shortName) {
    Entry entry;
    entry.longPath = longPath;
    entry.shortName = shortName;
    entry.attributes = 0x10;
    return Add(entry);
}

FakeFileSystem::Entry* FakeFileSystem::Find(const std::string& longPath) {
    for (Entry& entry : entries_)
        if (SameName(entry.longPath, longPath)) return &entry;
    return nullptr;
}

void FakeFileSystem::Note(const std::string& call, const std::string& detail) {
    ++calls[call];
    log.push_back(call + " " + detail);
}

FakeFileSystem::Entry* FakeFileSystem::Resolve(const std::string& path, bool* isRoot) {
    const std::size_t rootLength = RootLength(path);
    if (rootLength == 0) return nullptr;
    std::string current = path.substr(0, rootLength);
    if (rootLength == path.size()) {
        if (isRoot != nullptr) *isRoot = true;
        return nullptr;
    }
    Entry* found = nullptr;
    for (const std::string& part : Split(path.substr(rootLength + 1))) {
        found = nullptr;
        for (Entry& entry : entries_) {
            if (!SameName(ParentOf(entry.longPath), current)) continue;
            if (SameName(NameOf(entry.longPath), part) ||
                (!entry.shortName.empty() && SameName(entry.shortName, part))) {
                found = &entry;
                break;
            }
        }
        if (found == nullptr) return nullptr;
        current = found->longPath;
    }
    return found;
}

std::optional<std::string> FakeFileSystem::QualifyPath(const std::string& path) {
    Note("QualifyPath", path);
    if (path.empty()) return std::nullopt;
    std::string full = path;
    if (RootLength(full) == 0)
        full = full[0] == '\\' ? currentFolder.substr(0, 2) + full : currentFolder + full;
    const std::size_t rootLength = RootLength(full);
    std::vector<std::string> kept;
    for (const std::string& part : Split(full.substr(std::min(full.size(), rootLength + 1)))) {
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (!part.empty() && part != ".") {
            kept.push_back(part);
        }
    }
    std::string out = full.substr(0, rootLength);
    for (const std::string& part : kept) out += "\\" + part;
    if (kept.empty() || full.back() == '\\') out += '\\';
    return out;
}

std::optional<FindData> FakeFileSystem::FindFirstEntry(const std::string& path) {
    Note("FindFirst", path);
    if (path.empty() || path.back() == '\\') return std::nullopt;
    Entry* entry = nullptr;
    const std::string name = NameOf(path);
    if (name.find_first_of("*?") != std::string::npos) {
        const std::string folder = ParentOf(path);
        Entry* parent = Resolve(folder);
        const std::string parentPath = parent != nullptr ? parent->longPath : folder;
        for (Entry& candidate : entries_) {
            if (!SameName(ParentOf(candidate.longPath), parentPath)) continue;
            if (!Glob(Lower(name), 0, Lower(NameOf(candidate.longPath)), 0)) continue;
            if (entry == nullptr || NameOf(candidate.longPath) < NameOf(entry->longPath))
                entry = &candidate;
        }
    } else {
        entry = Resolve(path);
    }
    if (entry == nullptr) return std::nullopt;
    FindData data;
    data.attributes = entry->attributes;
    data.creationTime = entry->creation;
    data.lastAccessTime = entry->lastAccess;
    data.lastWriteTime = entry->lastWrite;
    data.fileSizeHigh = static_cast<std::uint32_t>(entry->size >> 32);
    data.fileSizeLow = static_cast<std::uint32_t>(entry->size);
    // Fixed-width fields, as the platform fills them.
    data.fileName = NameOf(entry->longPath) + std::string(1, '\0') + "stale";
    data.alternateFileName =
        entry->shortName.empty() ? std::string(14, '\0') : entry->shortName + std::string(1, '\0');
    return data;
}

std::optional<std::string> FakeFileSystem::ShortPathOf(const std::string& path) {
    Note("ShortPath", path);
    Entry* entry = Resolve(path);
    if (entry == nullptr) return std::nullopt;
    std::string out;
    for (std::string current = entry->longPath;;) {
        Entry* level = Find(current);
        if (level == nullptr) {
            out = current + out;
            break;
        }
        out = "\\" + (level->shortName.empty() ? NameOf(current) : level->shortName) + out;
        current = ParentOf(current);
    }
    return out;
}

std::uint32_t FakeFileSystem::CompressedSizeOf(const std::string& path, std::uint32_t& high) {
    Note("CompressedSize", path);
    Entry* entry = Resolve(path);
    if (entry == nullptr) return 0xFFFFFFFFu;
    high = static_cast<std::uint32_t>(entry->size >> 32);
    return static_cast<std::uint32_t>(entry->size);
}

ShellFileInfo FakeFileSystem::ShellInfoOf(const std::string& path) {
    Note("ShellInfo", path);
    ShellFileInfo info;
    Entry* entry = Resolve(path);
    if (entry == nullptr) return info;
    info.icon = nextIcon_++;
    liveIcons.push_back(info.icon);
    info.displayName = NameOf(entry->longPath) + std::string(1, '\0') + "x";
    info.typeName = entry->typeName + std::string(80 - entry->typeName.size(), '\0');
    return info;
}

void FakeFileSystem::DestroyIconHandle(IconHandle icon) {
    Note("DestroyIcon", std::to_string(icon));
    liveIcons.erase(std::remove(liveIcons.begin(), liveIcons.end(), icon), liveIcons.end());
}

TimeHandle FakeFileSystem::OpenForTimes(const std::string& path) {
    Note("Open", path);
    Entry* entry = Resolve(path);
    if (refuseOpen || entry == nullptr) return kInvalidTimeHandle;
    open_[nextHandle_] = entry->longPath;
    return nextHandle_++;
}

bool FakeFileSystem::WriteFileTimes(TimeHandle file, const FileTime* creation,
                                    const FileTime* lastAccess, const FileTime* lastWrite) {
    Note("SetFileTime", std::to_string(file));
    Entry* entry = open_.count(file) != 0 ? Find(open_[file]) : nullptr;
    if (refuseTimes || entry == nullptr) return false;
    if (creation != nullptr) entry->creation = *creation;
    if (lastAccess != nullptr) entry->lastAccess = *lastAccess;
    if (lastWrite != nullptr) entry->lastWrite = *lastWrite;
    return true;
}

void FakeFileSystem::CloseTimeHandle(TimeHandle file) {
    Note("CloseHandle", std::to_string(file));
    open_.erase(file);
}

bool FakeFileSystem::WriteAttributes(const std::string& path, std::uint32_t attributes) {
    Note("SetAttributes", path);
    if (throwOnAttributes) throw std::runtime_error("attributes");
    Entry* entry = Resolve(path);
    if (refuseAttributes || entry == nullptr) return false;
    constexpr std::uint32_t kFixed = 0x10 | 0x800;  // directory and compressed stay
    entry->attributes = (entry->attributes & kFixed) | (attributes & ~kFixed);
    return true;
}

FileTime FakeFileSystem::ToLocalFileTime(FileTime utc) {
    return utc + static_cast<FileTime>(offsetSeconds * 10'000'000);
}

FileTime FakeFileSystem::ToUtcFileTime(FileTime local) {
    return local - static_cast<FileTime>(offsetSeconds * 10'000'000);
}

std::string FakeFileSystem::UpperCase(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace vagliante::test
