#include "ui/win32/dialogs.h"  // windows.h first

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/utf8.h"
#include "ui/scripts.h"

namespace vagliante::ui::win32 {
namespace {

// The filter "Log file (*.BIN)|*.BIN" in the form the file dialogs take:
// "Log file (*.BIN)\0*.BIN\0", ended by a second NUL.
std::wstring FilterForApi(std::string_view filter) {
    std::wstring out;
    for (const FilterPair& pair : ParseFilter(filter)) {
        out += ToUtf16(pair.description);
        out += L'\0';
        out += ToUtf16(pair.pattern);
        out += L'\0';
    }
    if (!out.empty()) out += L'\0';
    return out;
}

// `path` with "." and `extension` added when its name has no extension (no
// dot), as the system's dialog adds one to a name typed without it.
std::string WithDefaultExtension(std::string path, const std::string& extension) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    if (extension.empty() || path.find('.', name) != std::string::npos) return path;
    return path + "." + extension;
}

}  // namespace

std::optional<std::string> ShowFileDialog(HWND owner, const FileDialogRequest& request) {
    if (ActiveFileDialogScript()) return ActiveFileDialogScript()(request);
    const bool open = request.kind == FileDialogKind::Open;
    const std::wstring filter = FilterForApi(request.filter);
    const std::wstring title = ToUtf16(request.dialogTitle);
    const std::wstring folder = ToUtf16(request.initDir);
    // Room for the longest path the system takes.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring name = ToUtf16(request.fileName);
    name.copy(file.data(), std::min(name.size(), file.size() - 1));

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex > 0 ? request.filterIndex : 1);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // No lpstrDefExt: the system's dialog would add the extension in lower
    // case (".txt"); it is added below as given.
    // The reports are replaced without a question (the filters' affair), and
    // the program's current folder stays where it was.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   (open ? OFN_FILEMUSTEXIST : 0);
    const BOOL chosen = open ? ::GetOpenFileNameW(&dialog) : ::GetSaveFileNameW(&dialog);
    if (!chosen) return std::nullopt;  // cancelled, or the dialog failed
    // A name typed without extension gets the request's (when saving only:
    // an open dialog looks for the name as typed).
    return open ? ToUtf8(file.data())
                : WithDefaultExtension(ToUtf8(file.data()), request.defaultExt);
}

std::string ExpandedInformation(const std::string& details, std::size_t maxLines) {
    std::size_t lines = 0, cut = std::string::npos;
    for (std::size_t at = 0; at < details.size();) {
        const std::size_t end = std::min(details.find('\n', at), details.size());
        if (++lines == maxLines) cut = end;
        at = end + 1;
    }
    if (lines <= maxLines) return details;
    return details.substr(0, cut) + "\n… e altre " + std::to_string(lines - maxLines) + " righe";
}

namespace {

// Esc closes the task dialog as it closes a message box: Windows' own does
// so with TDF_ALLOW_DIALOG_CANCELLATION, but one whose only button is OK may
// not (Wine's ignores it), so its window takes Esc's IDCANCEL for OK.
constexpr wchar_t kTaskDialogProc[] = L"Vagliante.TaskDialogProc";

LRESULT CALLBACK TaskDialogWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto own = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kTaskDialogProc));
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && lParam == 0) {
        ::SendMessageW(hwnd, TDM_CLICK_BUTTON, IDOK, 0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        ::RemovePropW(hwnd, kTaskDialogProc);
    }
    return ::CallWindowProcW(own, hwnd, message, wParam, lParam);
}

HRESULT CALLBACK OnTaskDialog(HWND hwnd, UINT notification, WPARAM, LPARAM, LONG_PTR) {
    if (notification == TDN_CREATED) {
        ::SetPropW(hwnd, kTaskDialogProc,
                   reinterpret_cast<HANDLE>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC)));
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TaskDialogWindow));
    }
    return S_OK;
}

// A message with details in the task dialog of the common controls (version
// 6, which the manifest asks for): the details below the text, shown when
// the user opens them. Looked up at run time; false where it is missing.
bool ShowTaskDialog(HWND owner, const Message& message) {
    using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE controls = ::GetModuleHandleW(L"comctl32.dll");
    const auto taskDialog =
        controls ? reinterpret_cast<TaskDialogIndirectFn>(
                       reinterpret_cast<void*>(::GetProcAddress(controls, "TaskDialogIndirect")))
                 : nullptr;
    if (!taskDialog) return false;
    const std::wstring title = ToUtf16(message.title);
    const std::wstring text = ToUtf16(message.text);
    const std::wstring details = ToUtf16(ExpandedInformation(message.details));
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    // Esc and the close box close it, as they do a message box with OK.
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pfCallback = &OnTaskDialog;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = title.c_str();
    if (message.icon == MessageIcon::Information) config.pszMainIcon = TD_INFORMATION_ICON;
    if (message.icon == MessageIcon::Critical) config.pszMainIcon = TD_ERROR_ICON;
    config.pszContent = text.c_str();
    config.pszExpandedInformation = details.c_str();
    config.pszCollapsedControlText = L"Mostra dettagli";
    config.pszExpandedControlText = L"Nascondi dettagli";
    return SUCCEEDED(taskDialog(&config, nullptr, nullptr, nullptr));
}

}  // namespace

void ShowMessageBox(HWND owner, const Message& message) {
    if (ActiveMessageScript()) {
        ActiveMessageScript()(message);
        return;
    }
    if (!message.details.empty() && ShowTaskDialog(owner, message)) return;
    UINT icon = 0;
    if (message.icon == MessageIcon::Information) icon = MB_ICONINFORMATION;
    if (message.icon == MessageIcon::Critical) icon = MB_ICONERROR;
    std::wstring text = ToUtf16(message.text);
    if (!message.details.empty()) text += L"\r\n\r\n" + ToUtf16(message.details);
    ::MessageBoxW(owner, text.c_str(), ToUtf16(message.title).c_str(), MB_OK | MB_APPLMODAL | icon);
}

}  // namespace vagliante::ui::win32
