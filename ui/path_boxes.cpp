#include "ui/path_boxes.h"

#include <filesystem>
#include <system_error>

#include "platform/run_error.h"
#include "ui/form.h"

namespace vagliante::ui {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsSeparator(char c) { return c == '/' || (kWindows && c == '\\'); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%XX" escapes decoded; a "%" not followed by two hexadecimal digits is
// kept as it is. Nothing when an escape gives NUL.
std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            const char c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            if (c == '\0') return std::nullopt;
            out += c;
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    const std::u8string utf8(path.begin(), path.end());
    return std::filesystem::is_directory(std::filesystem::path(utf8), error);
}

// The folder `path` lies in, by its text: "" for a bare name.
std::string ParentOf(std::string_view path) {
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1])) --end;  // the name
    if (end == 0) {
        // "C:LOG.BIN" lies in the current folder of drive C:.
        if (kWindows && path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
        return {};
    }
    std::size_t folderEnd = end;
    while (folderEnd > 0 && IsSeparator(path[folderEnd - 1])) --folderEnd;
    if (folderEnd == 0) return std::string(path.substr(0, 1));  // the root, "/"
    // "C:\LOG.BIN" lies in "C:\", not in "C:" (the drive's current folder).
    if (kWindows && folderEnd == 2 && path[1] == ':') return std::string(path.substr(0, 3));
    return std::string(path.substr(0, folderEnd));
}

std::string FolderOf(std::string_view boxText) {
    const std::string path = PathFromBox(boxText);
    if (Trimmed(path).empty()) return {};
    if (IsFolder(path)) return path;
    return ParentOf(path);
}

void Choose(FormView& view, CommonDialog& dialog, FileDialogKind kind, std::string_view box,
            std::string_view otherBox, std::string_view title, const char* filter,
            const char* defaultExt) {
    dialog.SetFileName("");
    dialog.SetDialogTitle(std::string(title));
    if (filter) dialog.SetFilter(filter);
    dialog.SetFilterIndex(1);
    if (defaultExt) dialog.SetDefaultExt(defaultExt);
    dialog.SetInitDir(DialogFolder(view.Text(box), view.Text(otherBox)));
    if (kind == FileDialogKind::Open)
        dialog.ShowOpen(view);
    else
        dialog.ShowSave(view);
    view.SetText(box, dialog.FileName());
}

// A path read from a box, with the caption of the label that names the box
// for the message about an empty box. Read on the window's thread; the path
// may be taken on any.
class BoxPath {
  public:
    BoxPath(const FormView& view, std::string_view box, std::string_view label)
        : path_(PathFromBox(view.Text(box))), caption_(view.Text(label)) {}

    // The path; for an empty (or blank) box, error 52 saying which box it is.
    const std::string& Path() const {
        if (Trimmed(path_).empty())
            throw RunError(ErrorNumber::BadFileName, "il campo \"" + caption_ + "\" è vuoto");
        return path_;
    }

  private:
    std::string path_;
    std::string caption_;
};

}  // namespace

std::optional<std::string> LocalPathFromUri(std::string_view uri) {
    if (!StartsWithNoCase(uri, "file://")) return std::nullopt;
    std::string_view rest = uri.substr(7);
    const std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    std::string_view path =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (StartsWithNoCase(host, "localhost") && host.size() == 9) host = {};
    const std::optional<std::string> decoded = PercentDecoded(path);
    if (!decoded || decoded->empty()) return std::nullopt;
    std::string local = *decoded;
    if (kWindows) {
        for (char& c : local)
            if (c == '/') c = '\\';
        if (!host.empty()) return "\\\\" + std::string(host) + local;  // \\host\share\...
        // "\C:\Log\x.bin": the drive's path without the address's leading slash.
        if (local.size() >= 3 && local[2] == ':') local.erase(0, 1);
        return local;
    }
    if (!host.empty()) return std::nullopt;  // another machine's file
    return local;
}

std::string PathFromBox(std::string_view text) {
    const std::string_view trimmed = Trimmed(text);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"') {
        const std::string_view inside = trimmed.substr(1, trimmed.size() - 2);
        if (inside.find('"') == std::string_view::npos) return PathFromBox(inside);
    }
    if (StartsWithNoCase(trimmed, "file://"))
        if (std::optional<std::string> local = LocalPathFromUri(trimmed)) return *local;
    return std::string(text);
}

std::optional<std::string> DroppedPath(std::string_view text) {
    if (!StartsWithNoCase(text, "file:")) return std::string(text);
    return LocalPathFromUri(text);
}

std::string DialogFolder(std::string_view boxText, std::string_view otherBoxText) {
    if (!Trimmed(PathFromBox(boxText)).empty()) return FolderOf(boxText);
    return FolderOf(otherBoxText);
}

void ChooseSource(FormView& view, CommonDialog& dialog, const PathBoxes& boxes,
                  const char* filter) {
    Choose(view, dialog, FileDialogKind::Open, boxes.sourceBox, boxes.destinationBox,
           kChooseSourceTitle, filter, nullptr);
}

void ChooseDestination(FormView& view, CommonDialog& dialog, const PathBoxes& boxes,
                       const char* filter, const char* defaultExt) {
    Choose(view, dialog, FileDialogKind::Save, boxes.destinationBox, boxes.sourceBox,
           kChooseDestinationTitle, filter, defaultExt);
}

void RunOnPaths(FormView& view, const PathBoxes& boxes, const PathOperation& operation,
                std::string_view doneText) {
    const BoxPath source(view, boxes.sourceBox, boxes.sourceLabel);
    const BoxPath destination(view, boxes.destinationBox, boxes.destinationLabel);
    Progress& bar = view.Bar(boxes.bar);
    RunAndReport(
        view,
        [&] {
            const std::string& from = source.Path();
            return operation(from, destination.Path(), bar);
        },
        doneText);
}

}  // namespace vagliante::ui
