#include "fileinfo/cfileinfo.h"

#include <exception>

#include "fileinfo/formatting.h"
#include "fileinfo/regional_settings.h"

namespace vagliante {
namespace {

std::string TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::int32_t Signed(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }

}  // namespace

CFileInfo::CFileInfo() : CFileInfo(NativeFileSystem()) {}

CFileInfo::CFileInfo(FileSystem& fileSystem)
    : fs_(fileSystem), separator_(fileSystem.Style() == PathStyle::Windows ? '\\' : '/') {}

CFileInfo::~CFileInfo() {
    if (hIcon_ != 0) fs_.DestroyIconHandle(hIcon_);
}

void CFileInfo::SetFullPathName(const std::string& path) {
    std::optional<std::string> qualified = fs_.QualifyPath(path);
    if (!qualified) return;
    fullPathName_ = std::move(*qualified);
    Refresh();
}

void CFileInfo::Refresh() {
    const std::optional<FindData> found = fs_.FindFirstEntry(fullPathName_);
    if (!found) {
        fileExists_ = false;
        return;
    }
    fileSizeHigh_ = Signed(found->fileSizeHigh);
    attributes_ = Signed(found->attributes);
    fileSize_ = Signed(found->fileSizeLow);
    fileExists_ = true;
    pathExists_ = true;

    creationTime_ = DateFromFileTime(found->creationTime, true);
    lastAccessTime_ = DateFromFileTime(found->lastAccessTime, true);
    modifyTime_ = DateFromFileTime(found->lastWriteTime, true);

    fileName_ = TrimAtNul(found->fileName);
    const std::size_t lastSeparator = fullPathName_.rfind(separator_);
    if (lastSeparator != std::string::npos) {
        filePath_ = LongFolderPath(fullPathName_.substr(0, lastSeparator + 1));
        if (filePath_.empty() || filePath_.back() != separator_) filePath_ += separator_;
    }
    fullPathName_ = filePath_ + fileName_;

    const std::size_t dot = fileName_.rfind('.');
    fileExtension_ = dot == std::string::npos ? std::string() : fileName_.substr(dot + 1);

    const std::string& alternate = found->alternateFileName;
    shortName_ =
        alternate.empty() || alternate[0] == '\0' ? fs_.UpperCase(fileName_) : TrimAtNul(alternate);

    // The short forms, sizes and shell facts of the long, on-disk path.
    if (std::optional<std::string> shortPath = fs_.ShortPathOf(fullPathName_)) {
        shortPathName_ = std::move(*shortPath);
        const std::size_t keep = shortPathName_.size() > shortName_.size()
                                     ? shortPathName_.size() - shortName_.size()
                                     : 0;
        shortPath_ = shortPathName_.substr(0, keep);
    }

    auto high = static_cast<std::uint32_t>(compressedFileSizeHigh_);
    compressedFileSize_ = Signed(fs_.CompressedSizeOf(fullPathName_, high));
    compressedFileSizeHigh_ = Signed(high);

    if (hIcon_ != 0) {
        fs_.DestroyIconHandle(hIcon_);
        hIcon_ = 0;
    }
    const ShellFileInfo shell = fs_.ShellInfoOf(fullPathName_);
    displayName_ = TrimAtNul(shell.displayName);
    typeName_ = TrimAtNul(shell.typeName);
    hIcon_ = shell.icon;
    if (TrimSpaces(typeName_).empty()) typeName_ = TrimSpaces(fs_.UpperCase(fileExtension_) + " File");
}

std::string CFileInfo::LongFolderPath(const std::string& path) {
    const bool windows = fs_.Style() == PathStyle::Windows;
    std::string s = path;
    if (!s.empty() && s.back() == separator_) {
        if (windows ? EndsWith(s, ":\\") : s == "/") return windows ? fs_.UpperCase(s) : s;
        s.pop_back();
    }
    if (windows && s.rfind("\\\\", 0) == 0) {
        // Just "\\server\share": kept as it is.
        const std::size_t shareSeparator = s.find('\\', 2);
        if (shareSeparator != std::string::npos &&
            s.find('\\', shareSeparator + 1) == std::string::npos)
            return s;
    }
    const std::size_t last = s.rfind(separator_);
    if (last == std::string::npos) return fs_.UpperCase(s);  // a drive such as "c:"

    // Every level is looked up once, the parent before the folder itself.
    const std::string parent = LongFolderPath(s.substr(0, last)) + separator_;
    const std::optional<FindData> found = fs_.FindFirstEntry(s);
    if (!found || (found->attributes & kDirectory) == 0) return {};
    return parent + TrimAtNul(found->fileName);
}

std::string CFileInfo::TrimAtNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return TrimSpaces(text);
    return std::string(text.substr(0, nul));
}

DateValue CFileInfo::DateFromFileTime(FileTime time, bool toLocal) {
    return DateFromSystemTime(SystemTimeFromFileTime(toLocal ? fs_.ToLocalFileTime(time) : time));
}

std::optional<FileTime> CFileInfo::DateToFileTime(DateValue date, bool fromLocal) {
    const std::optional<SystemTime> calendar = SystemTimeFromDate(date);
    if (!calendar) return std::nullopt;
    const std::optional<FileTime> time = FileTimeFromSystemTime(*calendar);
    if (!time) return std::nullopt;
    return fromLocal ? fs_.ToUtcFileTime(*time) : *time;
}

bool CFileInfo::WriteFileTime(DateValue date, int kind) {
    if (!fileExists_) return false;
    // A date outside the range of file times is not written at all.
    const std::optional<FileTime> time = DateToFileTime(date, true);
    if (!time) return false;
    const TimeHandle file = fs_.OpenForTimes(fullPathName_);
    if (file == kInvalidTimeHandle) return false;
    bool written = false;
    switch (kind) {
        case kCreationTime:
            written = fs_.WriteFileTimes(file, &*time, nullptr, nullptr);
            break;
        case kLastAccessTime:
            written = fs_.WriteFileTimes(file, nullptr, &*time, nullptr);
            break;
        case kLastWriteTime:
            written = fs_.WriteFileTimes(file, nullptr, nullptr, &*time);
            break;
        default:
            break;
    }
    fs_.CloseTimeHandle(file);
    return written;
}

bool CFileInfo::WriteAttributes(std::int32_t attributes) {
    if (!fileExists_) return false;
    return fs_.WriteAttributes(fullPathName_, static_cast<std::uint32_t>(attributes));
}

void CFileInfo::SetTime(DateValue date, int kind) {
    if (WriteFileTime(date, kind)) Refresh();
}

void CFileInfo::SetCreationTime(DateValue date) { SetTime(date, kCreationTime); }
void CFileInfo::SetLastAccessTime(DateValue date) { SetTime(date, kLastAccessTime); }
void CFileInfo::SetModifyTime(DateValue date) { SetTime(date, kLastWriteTime); }

void CFileInfo::SetAttributes(std::int32_t attributes) {
    if (attributes == attributes_) return;
    bool written = false;
    try {
        written = WriteAttributes(attributes);
    } catch (const std::exception&) {
        written = false;  // a failed write of the attributes is not reported
    }
    if (written) Refresh();
}

void CFileInfo::SetFlag(std::int32_t bit, bool value) {
    SetAttributes(value ? (attributes_ | bit) : (attributes_ & ~bit));
}

std::string CFileInfo::FormatFileDate(DateValue date) const {
    return vagliante::FormatFileDate(date, RegionalSettings::User());
}

std::string CFileInfo::FormatFileSize(std::int32_t size) const {
    return vagliante::FormatFileSize(std::int64_t{size}, RegionalSettings::User());
}

}  // namespace vagliante
