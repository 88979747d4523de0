#include "ui/win32/message_loop.h"  // windows.h first

#include <shellapi.h>

#include <cwchar>
#include <string_view>

#include "platform/utf8.h"
#include "ui/win32/win32_form.h"

namespace vagliante::ui::win32 {
namespace {

bool IsFormWindow(HWND hwnd) {
    wchar_t name[32] = {};
    return ::GetClassNameW(hwnd, name, 32) > 0 && std::wstring_view(name) == kFormClass;
}

}  // namespace

void DispatchFormMessage(MSG& message) {
    HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    // Enter held down presses a button once.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        (message.lParam & (LPARAM{1} << 30)) && root && IsFormWindow(root))
        return;
    if (root && IsFormWindow(root) && ::IsDialogMessageW(root, &message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

int RunMessageLoop() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) DispatchFormMessage(message);
    return static_cast<int>(message.wParam);
}

std::string FileArgument(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine, &count);
    if (!arguments) return {};
    std::wstring file;
    for (int i = 1; i < count && file.empty(); ++i)
        if (arguments[i][0] != L'\0' && arguments[i][0] != L'-') file = arguments[i];
    ::LocalFree(arguments);
    if (file.empty() || ::_wcsnicmp(file.c_str(), L"file:", 5) == 0) return ToUtf8(file);
    const std::wstring full = FullPath(file);
    return ToUtf8(full.empty() ? file : full);
}

}  // namespace vagliante::ui::win32
