// High contrast for the tests of the Win32 windows. Wine always answers that
// it is off, so a program that includes this (once) answers its own
// questions: its SystemParametersInfoW, which it calls through its import
// entry, defined here in the import library's place, reports high contrast
// as HighContrast says and asks the system everything else. HighContrast
// also gives the system the colours of the "High contrast black" scheme
// while it lasts.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <utility>

namespace vagliante::test {

inline bool highContrastOn = false;

inline BOOL WINAPI AnsweredSystemParametersInfoW(UINT action, UINT param, PVOID data, UINT flags) {
    if (action == SPI_GETHIGHCONTRAST && highContrastOn && data) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(data);
        contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    using Function = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
    static const auto system = reinterpret_cast<Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SystemParametersInfoW")));
    return system(action, param, data, flags);
}

// High contrast on, in black, while it lasts; the colours as before after.
class HighContrast {
  public:
    HighContrast() {
        std::array<COLORREF, kScheme.size()> colours;
        for (std::size_t i = 0; i < kScheme.size(); ++i) {
            elements_[i] = kScheme[i].first;
            colours[i] = kScheme[i].second;
            before_[i] = ::GetSysColor(elements_[i]);
        }
        ::SetSysColors(static_cast<int>(kScheme.size()), elements_.data(), colours.data());
        highContrastOn = true;
    }
    ~HighContrast() {
        highContrastOn = false;
        ::SetSysColors(static_cast<int>(kScheme.size()), elements_.data(), before_.data());
    }
    HighContrast(const HighContrast&) = delete;
    HighContrast& operator=(const HighContrast&) = delete;

  private:
    // The "High contrast black" scheme: white on black, cyan selection,
    // green disabled text.
    static constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
    static constexpr COLORREF kCyan = RGB(26, 235, 255), kGreen = RGB(63, 242, 63);
    static constexpr std::array<std::pair<INT, COLORREF>, 21> kScheme = {{
        {COLOR_WINDOW, kBlack},
        {COLOR_WINDOWTEXT, kWhite},
        {COLOR_WINDOWFRAME, kWhite},
        {COLOR_BTNFACE, kBlack},
        {COLOR_BTNTEXT, kWhite},
        {COLOR_3DSHADOW, kWhite},
        {COLOR_3DDKSHADOW, kWhite},
        {COLOR_3DHILIGHT, kWhite},
        {COLOR_3DLIGHT, kWhite},
        {COLOR_HIGHLIGHT, kCyan},
        {COLOR_HIGHLIGHTTEXT, kBlack},
        {COLOR_GRAYTEXT, kGreen},
        {COLOR_ACTIVECAPTION, RGB(0, 0, 128)},
        {COLOR_CAPTIONTEXT, kWhite},
        {COLOR_INACTIVECAPTION, kBlack},
        {COLOR_INACTIVECAPTIONTEXT, kGreen},
        {COLOR_MENU, kBlack},
        {COLOR_MENUTEXT, kWhite},
        {COLOR_MENUBAR, kBlack},
        {COLOR_MENUHILIGHT, kCyan},
        {COLOR_BACKGROUND, kBlack},
    }};
    std::array<INT, kScheme.size()> elements_{};
    std::array<COLORREF, kScheme.size()> before_{};
};

}  // namespace vagliante::test

// The program's import entry of SystemParametersInfoW, in the import
// library's place.
extern "C" decltype(&vagliante::test::AnsweredSystemParametersInfoW) __imp_SystemParametersInfoW =
    vagliante::test::AnsweredSystemParametersInfoW;
