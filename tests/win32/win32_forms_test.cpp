// The Win32 renderer, driven the way the system drives it for a user:
// messages to the real controls (WM_SETTEXT, BM_CLICK, menu commands), the
// file dialog and the message box answered by the test scripts or, where
// they are the system's own, by the test as a user. Each window is checked
// against its description; the handlers are tested once, over the fake
// view. Runs under Wine in CI, at the DPI the prefix is set to.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <initguid.h>  // the annotation's GUIDs
#include <oleacc.h>
#include <shlobj.h>  // DROPFILES

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

#include "about/frm_about.h"
#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "platform/utf8.h"
#include "tests/about/fakes.h"
#include "tests/support/test_support.h"
#include "tests/ui/accessible_names.h"
#include "tests/win32/high_contrast.h"
#include "ui/run_session.h"
#include "ui/scripts.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/win32_form.h"

namespace vagliante {
namespace {

namespace fs = std::filesystem;
using ui::ControlKind;
using ui::FormDesign;
using ui::win32::Win32Form;

// --- Reaching the controls ------------------------------------------------

std::string Text(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return ToUtf8(text);
}

std::string ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return ToUtf8(name);
}

HWND Item(HWND window, const FormDesign& design, const char* name) {
    HWND item = ::GetDlgItem(window, ui::win32::ControlId(design, name));
    EXPECT_NE(item, nullptr) << name;
    return item;
}

void Type(HWND box, const std::string& text) {
    ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ToUtf16(text).c_str()));
}

void Press(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }

bool Checked(HWND option) { return ::SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Choose(HWND window, const FormDesign& design, const char* command) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(ui::win32::MenuCommandId(design, command), 0), 0);
}

// A control's place in its window's client area, in pixels.
RECT PlaceOf(HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Handles what is waiting in the queue, as the program's loop would.
void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        ui::win32::DispatchFormMessage(message);
    }
}

// A key pressed on the focused control, through the program's own loop.
void Key(HWND focus, WPARAM key) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG m{};
        m.hwnd = focus;
        m.message = message;
        m.wParam = key;
        m.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
        ui::win32::DispatchFormMessage(m);
    }
    Pump();
}

// The focusable controls in the order Tab visits them, from the first.
std::vector<HWND> TabCycle(HWND window, HWND first) {
    std::vector<HWND> cycle{first};
    for (HWND next = ::GetNextDlgTabItem(window, first, FALSE); next && next != first;
         next = ::GetNextDlgTabItem(window, next, FALSE)) {
        cycle.push_back(next);
        if (cycle.size() > 20) break;
    }
    return cycle;
}

int Px(int twips, int dpi) { return ui::TwipsToPixels(twips, dpi); }

// Whether the system keeps annotations (IAccPropServices): Windows does,
// Wine 8 answers E_NOTIMPL.
bool SystemAnnotates() {
    static const bool annotates = [] {
        IAccPropServices* services = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&services))))
            return false;
        HWND probe =
            ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        const bool kept = SUCCEEDED(
            services->SetHwndPropStr(probe, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, L"prova"));
        services->ClearHwndProps(probe, OBJID_CLIENT, CHILDID_SELF, &PROPID_ACC_NAME, 1);
        services->Release();
        ::DestroyWindow(probe);
        return kept;
    }();
    return annotates;
}

// A text of an accessible object: get_accName or get_accDescription.
std::string AccessibleText(IAccessible* object, long child, bool description) {
    VARIANT id;
    ::VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    BSTR text = nullptr;
    const HRESULT result =
        description ? object->get_accDescription(id, &text) : object->get_accName(id, &text);
    std::string out = SUCCEEDED(result) && text ? ToUtf8(text) : std::string();
    ::SysFreeString(text);
    return out;
}

// What assistive technology hears of a window through Active Accessibility,
// as the system answers it: each box by its label's caption as it stands,
// the bar by its name, the controls and menu entries whose caption says too
// little by their names and descriptions where the system keeps
// annotations (under Wine they keep their captions' names: the designs'
// test checks the names everywhere). No two share a name.
void ExpectAccessible(const Win32Form& form) {
    const FormDesign& design = form.Logic().Design();
    const bool annotates = SystemAnnotates();
    // The focus and the access keys shown from the start.
    EXPECT_EQ(
        ::SendMessageW(form.Handle(), WM_QUERYUISTATE, 0, 0) & (UISF_HIDEFOCUS | UISF_HIDEACCEL),
        0);
    std::set<std::string> names;
    for (const ui::ControlDesign& c : design.controls) {
        if (!ui::TakesFocus(c.kind) && c.kind != ControlKind::ProgressBar) continue;
        SCOPED_TRACE(std::string(c.name));
        IAccessible* object = nullptr;
        ASSERT_TRUE(SUCCEEDED(::AccessibleObjectFromWindow(form.Control(c.name), OBJID_CLIENT,
                                                           IID_IAccessible,
                                                           reinterpret_cast<void**>(&object))));
        const ui::ControlDesign* label = ui::LabelOf(design, c.name);
        std::string name = test::WithoutAccessKey(c.caption);
        if (label) name = test::WithoutAccessKey(Text(form.Control(label->name)));
        if (!c.accessible.name.empty() && (annotates || c.kind == ControlKind::ProgressBar))
            name = std::string(c.accessible.name);
        EXPECT_EQ(AccessibleText(object, CHILDID_SELF, false), name);
        if (annotates) {
            EXPECT_EQ(AccessibleText(object, CHILDID_SELF, true), c.accessible.description);
            EXPECT_TRUE(names.insert(name).second) << "shares its name: " << name;
        }
        object->Release();
    }
    IAccessible* menu = nullptr;
    if (annotates && !design.menu.empty() &&
        SUCCEEDED(::AccessibleObjectFromWindow(form.Handle(), OBJID_MENU, IID_IAccessible,
                                               reinterpret_cast<void**>(&menu)))) {
        for (std::size_t i = 0; i < design.menu.size(); ++i) {
            const ui::MenuDesign& entry = design.menu[i];
            EXPECT_EQ(AccessibleText(menu, static_cast<long>(i + 1), false),
                      test::AccessibleName(entry));
        }
        menu->Release();
    }
}

// Every control of the description stands where it belongs, is of its kind
// and shows its whole caption.
void ExpectControlsAsDescribed(const Win32Form& form) {
    const FormDesign& design = form.Logic().Design();
    const int dpi = form.Dpi();
    HDC dc = ::GetDC(form.Handle());
    for (const ui::ControlDesign& c : design.controls) {
        SCOPED_TRACE(std::string(c.name));
        HWND item = Item(form.Handle(), design, std::string(c.name).c_str());
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item, form.Control(c.name));
        const ui::TwipsRect twips = ui::ClientRect(design, c);
        const RECT place = PlaceOf(item);
        EXPECT_EQ(place.left, Px(twips.left, dpi));
        EXPECT_EQ(place.top, Px(twips.top, dpi));
        EXPECT_EQ(place.right - place.left, Px(twips.width, dpi));
        // A label may stop short where a control below starts, no more.
        const int height = Px(twips.height, dpi);
        if (c.kind == ControlKind::Label) {
            EXPECT_LE(place.bottom - place.top, height);
            EXPECT_GE(place.bottom - place.top, height - Px(15, dpi) - 1);
        } else {
            EXPECT_EQ(place.bottom - place.top, height);
        }
        // A label covers no part of a control the user works with.
        for (const ui::ControlDesign& other : design.controls) {
            if (c.kind != ControlKind::Label || !ui::TakesFocus(other.kind)) continue;
            RECT overlap;
            const RECT otherPlace = PlaceOf(form.Control(other.name));
            EXPECT_FALSE(::IntersectRect(&overlap, &place, &otherPlace)) << "covers " << other.name;
        }
        const std::string expectedClass = c.kind == ControlKind::Label         ? "Static"
                                          : c.kind == ControlKind::TextBox     ? "Edit"
                                          : c.kind == ControlKind::ProgressBar ? "msctls_progress32"
                                                                               : "Button";
        EXPECT_EQ(ClassOf(item), expectedClass);
        const LONG_PTR style = ::GetWindowLongPtrW(item, GWL_STYLE);
        if (c.kind == ControlKind::OptionButton) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON);
        }
        if (c.kind == ControlKind::Frame) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
        }
        if (c.kind == ControlKind::Label) {
            EXPECT_EQ((style & SS_TYPEMASK) == SS_CENTER, c.align == ui::Align::Centre);
        }
        if (c.font) {
            // "MS Sans Serif", a bitmap font, drawn by its TrueType twin.
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(item, WM_GETFONT, 0, 0)),
                         sizeof font, &font);
            EXPECT_EQ(font.lfHeight, -static_cast<LONG>(std::lround(c.font->points * dpi / 72.0)));
            EXPECT_EQ(font.lfWeight >= FW_BOLD, c.font->bold);
            EXPECT_EQ(std::wstring(font.lfFaceName), L"Microsoft Sans Serif");
            // The colour the window gives the label to draw with.
            ::SendMessageW(form.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(item));
            EXPECT_EQ(::GetTextColor(dc), RGB(c.colour.red, c.colour.green, c.colour.blue));
        }
        // The whole caption in the control's own font.
        const int room = ui::win32::CaptionRoom(c.kind, place.right - place.left, dpi);
        if (room >= 0) {
            std::wstring caption = ToUtf16(Text(item));
            std::erase(caption, L'&');
            HGDIOBJ previous = ::SelectObject(
                dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(item, WM_GETFONT, 0, 0)));
            SIZE size{};
            ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            ::SelectObject(dc, previous);
            EXPECT_LE(size.cx, room) << Text(item);
            // The letters, from the capitals' top to the descenders' bottom.
            EXPECT_LE(size.cy - metrics.tmInternalLeading, place.bottom - place.top) << Text(item);
        }
    }
    ::ReleaseDC(form.Handle(), dc);
    RECT client;
    ::GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, Px(design.width, dpi));
    EXPECT_EQ(client.bottom, Px(design.height, dpi));
    ExpectAccessible(form);
}

// Centred on the work area of its monitor, within a pixel.
void ExpectCentred(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_NEAR(rect.left + rect.right, monitor.rcWork.left + monitor.rcWork.right, 2);
    EXPECT_NEAR(rect.top + rect.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2);
}

// --- Windows the tests open -----------------------------------------------

// Answers the dialogs from `answers` and records every dialog and message.
struct ScriptedUser {
    std::vector<std::optional<std::string>> answers;
    std::vector<ui::FileDialogRequest> requests;
    std::vector<ui::Message> messages;
    ScriptedUser() {
        ui::SetFileDialogScript([this](const ui::FileDialogRequest& r) {
            requests.push_back(r);
            std::optional<std::string> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.erase(answers.begin());
            }
            return answer;
        });
        ui::SetMessageScript([this](const ui::Message& m) { messages.push_back(m); });
    }
    ~ScriptedUser() {
        ui::SetFileDialogScript({});
        ui::SetMessageScript({});
    }
};

// The program's main window, shown as at start.
class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        window_ = Win32Form::Create(form_);
        window_->Show();
        Pump();
    }
    void TearDown() override {
        window_.reset();
        Pump();
    }
    HWND Main() const { return window_->Handle(); }
    HWND Get(const char* name) const { return Item(Main(), kFrmMainDesign, name); }

    // Runs `inside` on the modal window that choosing `command` opens, from
    // within its own loop; returns when the modal window has closed.
    void WithModal(const char* command, const std::function<void(HWND modal)>& inside) {
        pending_ = inside;
        Choose(Main(), kFrmMainDesign, command);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &MainWindowTest::OnTimer);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (pending_ || Modal()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no modal window came or went";
            MSG message;
            if (::GetMessageW(&message, nullptr, 0, 0) <= 0) break;
            ui::win32::DispatchFormMessage(message);
        }
        ::KillTimer(nullptr, timer);
    }

    static HWND Modal() {
        HWND found = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND hwnd, LPARAM out) -> BOOL {
                if (!::IsWindowVisible(hwnd) || !::GetWindow(hwnd, GW_OWNER) ||
                    ClassOf(hwnd) != "VaglianteForm")
                    return TRUE;
                *reinterpret_cast<HWND*>(out) = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND modal = Modal();
        if (!modal || !pending_) return;
        auto inside = std::move(pending_);
        pending_ = nullptr;
        inside(modal);
        if (::IsWindowVisible(modal)) {  // a test that failed before closing it
            ADD_FAILURE() << "the modal window was left open";
            ::PostMessageW(modal, WM_CLOSE, 0, 0);
        }
    }

    static inline std::function<void(HWND)> pending_;
    frmMain form_;
    std::unique_ptr<Win32Form> window_;
};

TEST_F(MainWindowTest, OpensAsDescribedCentredWithTheFocusOnFiltra) {
    EXPECT_EQ(Text(Main()), "Vagliante 1.2.1 - by Quadrivio");
    ExpectControlsAsDescribed(*window_);
    ExpectCentred(Main());
    // Fixed border, a close box, no maximise or minimise box; in the task bar.
    const LONG_PTR style = ::GetWindowLongPtrW(Main(), GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(Main(), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(::GetWindow(Main(), GW_OWNER), nullptr);
    EXPECT_NE(::SendMessageW(Main(), WM_GETICON, ICON_SMALL, 0), 0) << "the program's icon";
    EXPECT_NE(::SendMessageW(Main(), WM_GETICON, ICON_BIG, 0), 0) << "the program's icon";

    EXPECT_EQ(::GetFocus(), Get("Command1"));
    EXPECT_TRUE(Checked(Get("Option1")));
    EXPECT_FALSE(Checked(Get("Option2")));
    EXPECT_EQ(::SendMessageW(Get("ProgressBar1"), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(Get("ProgressBar1"), PBM_GETRANGE, FALSE, 0), 1000);

    // Tab visits the buttons, the selected option, the two boxes.
    EXPECT_EQ(TabCycle(Main(), Get("Command1")),
              (std::vector<HWND>{Get("Command1"), Get("Command2"), Get("Command3"), Get("Command4"),
                                 Get("Option1"), Get("Text1"), Get("Text2")}));
    Press(Get("Option2"));
    EXPECT_TRUE(Checked(Get("Option2")));
    EXPECT_FALSE(Checked(Get("Option1")));
    EXPECT_EQ(TabCycle(Main(), Get("Command1"))[4], Get("Option2"));

    // The menu bar, with its access letters.
    HMENU menu = ::GetMenu(Main());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(::GetMenuItemCount(menu), 2);
    auto itemText = [](HMENU m, int position) {
        wchar_t text[64] = {};
        ::GetMenuStringW(m, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
        return ToUtf8(text);
    };
    EXPECT_EQ(itemText(menu, 0), "T&ools");
    EXPECT_EQ(itemText(menu, 1), "&?");
    HMENU tools = ::GetSubMenu(menu, 0);
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(itemText(tools, 0), "Conversione &BIN->TXT");
    EXPECT_EQ(itemText(tools, 1), "Conversione &TXT->BIN");
    EXPECT_EQ(::GetMenuItemID(tools, 0),
              static_cast<UINT>(ui::win32::MenuCommandId(kFrmMainDesign, "T1")));
    EXPECT_EQ(::GetSubMenu(menu, 1), nullptr);  // "&?" is chosen itself
}

// Runs `during` from within the run that `act` starts (a timer of the run's
// own message loop); fails when no run was busy by then.
void DuringRun(const std::function<void()>& act, const std::function<void()>& during) {
    static std::function<void()> pending;
    static bool ran;
    pending = during;
    ran = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        if (!pending) return;
        auto run = std::move(pending);
        pending = nullptr;
        ran = true;
        run();
    });
    act();
    ::KillTimer(nullptr, timer);
    pending = nullptr;
    EXPECT_TRUE(ran) << "the run had ended before the test looked";
}

// The controls disabled for a run, and those that stay live.
void ExpectBusyLook(HWND window, const FormDesign& design, bool busy) {
    for (const ui::ControlDesign& c : design.controls) {
        SCOPED_TRACE(std::string(c.name));
        const bool live = !busy || !ui::TakesFocus(c.kind) || c.name == design.exitButton;
        EXPECT_EQ(::IsWindowEnabled(Item(window, design, std::string(c.name).c_str())) != FALSE,
                  live);
    }
    if (HMENU menu = ::GetMenu(window)) {
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i)
            EXPECT_EQ((::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0,
                      busy);
    }
}

TEST_F(MainWindowTest, ARunLooksBusyTakesOnlyEsciThenAllIsAsBefore) {
    ScriptedUser user;
    test::TempDir dir;
    test::WriteFile(dir.File("BIG.BIN"), std::string(64 << 20, '\x84'));
    Type(Get("Text1"), dir.File("BIG.BIN"));
    Type(Get("Text2"), dir.File("OUT.TXT"));
    // The old report held by another program until the test has looked: the
    // run, however fast its reading, is still going then, waiting to replace it.
    test::WriteFile(dir.File("OUT.TXT"), "earlier");
    HANDLE held = ::CreateFileW(SystemPath(dir.File("OUT.TXT")).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // What the bar is told to show, seen from inside the control.
    static WNDPROC barProc;
    static LPARAM barSeen;
    barSeen = 0;
    HWND bar = Get("ProgressBar1");
    barProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        bar, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT message, WPARAM w, LPARAM l) -> LRESULT {
            if (message == PBM_SETPOS) barSeen = std::max<LPARAM>(barSeen, static_cast<LPARAM>(w));
            return ::CallWindowProcW(barProc, hwnd, message, w, l);
        })));
    ::SetFocus(Get("Command1"));
    DuringRun([&] { Key(Get("Command1"), VK_RETURN); },
              [&] {
                  ExpectBusyLook(Main(), kFrmMainDesign, true);
                  // The window holds the focus: Enter held down after the one
                  // that started the run reaches no button.
                  EXPECT_EQ(::GetFocus(), Main());
                  Key(Main(), VK_RETURN);
                  Key(Main(), VK_SPACE);
                  // Clicks on the other buttons and the menu do nothing.
                  Press(Get("Command3"));
                  Choose(Main(), kFrmMainDesign, "T1");
                  Pump();
                  EXPECT_TRUE(user.requests.empty());
                  EXPECT_EQ(MainWindowTest::Modal(), nullptr);
                  for (int i = 0; i < 200 && barSeen == 0; ++i) {
                      Pump();
                      ::Sleep(5);
                  }
                  ::CloseHandle(held);
              });
    ::SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(barProc));
    Pump();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "File creato con successo");
    EXPECT_TRUE(::IsWindowVisible(Main()));
    EXPECT_GT(barSeen, 0) << "the bar did not move during the run";
    EXPECT_EQ(::SendMessageW(Get("ProgressBar1"), PBM_GETPOS, 0, 0), 0);  // empty again
    ExpectBusyLook(Main(), kFrmMainDesign, false);
    EXPECT_EQ(::GetFocus(), Get("Command1"));  // as before the run
}

TEST_F(MainWindowTest, EsciDuringARunStopsItAndEndsTheProgramLeavingEveryFile) {
    ScriptedUser user;
    test::TempDir dir;
    test::WriteFile(dir.File("BIG.BIN"), std::string(128 << 20, '\x84'));
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        test::WriteFile(dir.File(name), "earlier");
    Type(Get("Text1"), dir.File("BIG.BIN"));
    Type(Get("Text2"), dir.File("OUT.TXT"));
    Press(Get("Option2"));
    DuringRun([&] { Press(Get("Command1")); }, [&] { Press(Get("Command2")); });
    EXPECT_TRUE(user.messages.empty());  // a stop is no failure
    EXPECT_FALSE(::IsWindowVisible(Main()));
    MSG message;
    EXPECT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        EXPECT_EQ(test::ReadFile(dir.File(name)), "earlier");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"BIG.BIN", "OUT-5C.TXT", "OUT-63-70.TXT",
                                                    "OUT-63-71.TXT"}));
}

TEST_F(MainWindowTest, TheEndOfTheSessionStopsARunBeforeTheSystemEndsTheProgram) {
    ScriptedUser user;
    test::TempDir dir;
    test::WriteFile(dir.File("BIG.BIN"), std::string(128 << 20, '\x84'));
    test::WriteFile(dir.File("OUT.TXT"), "earlier");
    Type(Get("Text1"), dir.File("BIG.BIN"));
    Type(Get("Text2"), dir.File("OUT.TXT"));
    DuringRun([&] { Press(Get("Command1")); },
              [&] {
                  EXPECT_TRUE(::SendMessageW(Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
                  // Returns once the run has unwound: the system may end
                  // the program then.
                  ::SendMessageW(Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
                  EXPECT_EQ(test::ReadFile(dir.File("OUT.TXT")), "earlier");
                  EXPECT_EQ(dir.List(), (std::vector<std::string>{"BIG.BIN", "OUT.TXT"}));
              });
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(MainWindowTest, EnterPressesTheFocusedButtonOnceEnterInABoxAndEscNothing) {
    ScriptedUser user;
    ::SetFocus(Get("Command3"));
    Key(Get("Command3"), VK_RETURN);
    ASSERT_EQ(user.requests.size(), 1u);
    EXPECT_EQ(user.requests[0].dialogTitle, "Scegli il file sorgente");
    // Held down: the repeats (bit 30, the key was down) press nothing more.
    MSG repeat{};
    repeat.hwnd = Get("Command4");
    repeat.message = WM_KEYDOWN;
    repeat.wParam = VK_RETURN;
    repeat.lParam = (1 << 30) | 1;
    ui::win32::DispatchFormMessage(repeat);
    Pump();
    EXPECT_EQ(user.requests.size(), 1u);
    ::SetFocus(Get("Text1"));
    Key(Get("Text1"), VK_RETURN);
    Key(Get("Text1"), VK_ESCAPE);
    EXPECT_EQ(user.requests.size(), 1u);
    EXPECT_TRUE(user.messages.empty());
    // Enter on "Filtra" with empty boxes: the message names the source box.
    ::SetFocus(Get("Command1"));
    Key(Get("Command1"), VK_RETURN);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text,
              "Errore 52: Nome o numero di file non valido: il campo \"File .bin sorgente\" è "
              "vuoto");
    EXPECT_TRUE(::IsWindowVisible(Main()));
}

// A file dropped from Explorer, as the system hands it to the window.
void DropFile(HWND window, POINT at, const std::string& path) {
    const std::wstring name = ToUtf16(path);
    const std::size_t bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->pt = at;
    files->fWide = TRUE;
    name.copy(reinterpret_cast<wchar_t*>(files + 1), name.size());
    ::GlobalUnlock(memory);
    ::SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

POINT CentreOf(HWND control) {
    const RECT place = PlaceOf(control);
    return {(place.left + place.right) / 2, (place.top + place.bottom) / 2};
}

TEST_F(MainWindowTest, AFileDroppedFillsTheBoxUnderItElseTheSourceAndTheNameGivenAtStart) {
    EXPECT_TRUE(::GetWindowLongPtrW(Main(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DropFile(Main(), CentreOf(Get("Text2")), "C:\\Журнал\\OUT.TXT");
    EXPECT_EQ(Text(Get("Text2")), "C:\\Журнал\\OUT.TXT");
    EXPECT_EQ(Text(Get("Text1")), "");
    for (const char* elsewhere : {"Command1", "Label4", "ProgressBar1", "Option2"}) {
        Type(Get("Text1"), "");
        DropFile(Main(), CentreOf(Get(elsewhere)), "C:\\Log città\\Log1.bin");
        EXPECT_EQ(Text(Get("Text1")), "C:\\Log città\\Log1.bin") << elsewhere;
    }
    EXPECT_EQ(Text(Get("Text2")), "C:\\Журнал\\OUT.TXT");

    // vagliante.exe LOG.BIN (a log dropped on the program's icon), or its
    // address, which the window's drop reads as the path it names.
    using ui::win32::FileArgument;
    const std::string address = "file:///C:/Log%20citt%C3%A0/Log2.bin";
    EXPECT_EQ(FileArgument(L"vagliante.exe file:///C:/Log%20citt%C3%A0/Log2.bin"), address);
    EXPECT_TRUE(form_.FileDropped({}, address));
    EXPECT_EQ(Text(Get("Text1")), "C:\\Log città\\Log2.bin");
    EXPECT_EQ(FileArgument(L"vagliante.exe"), "");
    EXPECT_EQ(FileArgument(L"\"C:\\Programmi\\vagliante.exe\" \"C:\\Log città\\Log1.bin\""),
              "C:\\Log città\\Log1.bin");
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    std::string here = ToUtf8(current);
    if (here.back() != '\\') here += '\\';
    EXPECT_EQ(FileArgument(L"vagliante.exe LOG.BIN"), here + "LOG.BIN");
}

TEST_F(MainWindowTest, PathsPastedInQuotesRunAndTheLogsNameIsUpperCasedWhole) {
    ScriptedUser user;
    test::TempDir dir;
    test::WriteFile(dir.File("log è 1.bin"), test::ReadFile(VAGLIANTE_SAMPLES_DIR "/misto.BIN"));
    Type(Get("Text1"), "\"" + dir.File("log è 1.bin") + "\"");  // Explorer's "Copy as path"
    Type(Get("Text2"), " \"" + dir.File("OUT.TXT") + "\" ");
    Press(Get("Command1"));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "File creato con successo");
    const auto lines = test::SplitCrLf(test::ReadFile(dir.File("OUT.TXT")));
    ASSERT_GT(lines.size(), 3u);
    // The log's short name: the system's 8.3 name when it keeps one (Wine
    // does), else the name upper-cased letter by letter.
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(ToUtf16(dir.File("log è 1.bin")).c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    ::FindClose(search);
    const std::string shortName =
        found.cAlternateFileName[0] ? ToUtf8(found.cAlternateFileName) : "LOG È 1.BIN";
    EXPECT_EQ(lines[2], "## Log name:        " + shortName);
}

TEST_F(MainWindowTest, EsciAndTheCloseBoxEndTheProgram) {
    for (bool closeBox : {false, true}) {
        if (closeBox) {
            window_ = Win32Form::Create(form_);
            window_->Show();
            ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            Press(Get("Command2"));
        }
        EXPECT_FALSE(::IsWindowVisible(Main()));
        MSG message;
        EXPECT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            << "the program's loop goes on";
    }
}

// The system's own file dialogs and message boxes, as a user answers them:
// found among the program's windows, read, filled in and confirmed.
class SystemDialogTest : public MainWindowTest {
  protected:
    // Runs `act`; `answer` gets the first dialog of the system that opens
    // meanwhile. A dialog still open after the deadline is cancelled.
    void WhenADialogOpens(const std::function<void()>& act,
                          const std::function<void(HWND dialog)>& answer) {
        answer_ = answer;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &SystemDialogTest::OnTimer);
        act();
        ::KillTimer(nullptr, timer);
        if (answer_) ADD_FAILURE() << "no dialog opened";
        answer_ = nullptr;
        Pump();
    }

    static HWND OpenDialog() {
        HWND found = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND hwnd, LPARAM out) -> BOOL {
                if (!::IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770") return TRUE;
                *reinterpret_cast<HWND*>(out) = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = OpenDialog();
        if (!dialog) return;
        if (answer_) {
            auto answer = std::move(answer_);
            answer_ = nullptr;
            answer(dialog);
        } else if (std::chrono::steady_clock::now() > deadline_) {
            ADD_FAILURE() << "a dialog was left open: " << Text(dialog);
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }

    // The file dialog's parts: the name box and the list of file types.
    static constexpr int kFileName = 0x47C;
    static constexpr int kFileTypes = 0x470;

    static std::string TypeAt(HWND dialog, int index) {
        HWND types = ::GetDlgItem(dialog, kFileTypes);
        std::wstring text(
            static_cast<std::size_t>(::SendMessageW(types, CB_GETLBTEXTLEN, index, 0)), L'\0');
        ::SendMessageW(types, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        return ToUtf8(text);
    }

    static void Confirm(HWND dialog, const std::string& fileName) {
        ::SetDlgItemTextW(dialog, kFileName, ToUtf16(fileName).c_str());
        ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }

    static bool HasIcon(HWND box) {
        for (HWND child = ::GetWindow(box, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (ClassOf(child) == "Static" && ::SendMessageW(child, STM_GETICON, 0, 0)) return true;
        return false;
    }

    static std::string BoxText(HWND box) { return Text(::GetDlgItem(box, 0xFFFF)); }

    // The child of `box` of class `kind` whose text starts with `text`.
    static HWND Child(HWND box, const char* kind, const std::string& text) {
        for (HWND child = ::GetWindow(box, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (ClassOf(child) == kind && Text(child).rfind(text, 0) == 0) return child;
        return nullptr;
    }

    static std::string Native(std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    // Names on Windows are the same in either case (Wine writes some in
    // lower case).
    static std::string Lower(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    static inline std::function<void(HWND)> answer_;
    static inline std::chrono::steady_clock::time_point deadline_;
};

TEST_F(SystemDialogTest, TheOpenDialogOffersTheLogsAndGivesThePathChosen) {
    test::TempDir dir;
    const std::string folder = dir.File("Log città");
    test::MakeFolder(folder);
    test::WriteFile(folder + "/Log1.bin", "\x84");
    WhenADialogOpens([&] { Press(Get("Command3")); },
                     [&](HWND dialog) {
                         EXPECT_EQ(Text(dialog), "Scegli il file sorgente");
                         EXPECT_EQ(::SendDlgItemMessageW(dialog, kFileTypes, CB_GETCOUNT, 0, 0), 1);
                         EXPECT_EQ(TypeAt(dialog, 0), "Log file (*.BIN)");
                         EXPECT_EQ(::SendDlgItemMessageW(dialog, kFileTypes, CB_GETCURSEL, 0, 0),
                                   0);
                         EXPECT_EQ(Text(::GetDlgItem(dialog, kFileName)), "");
                         Confirm(dialog, Native(folder + "/Log1.bin"));
                     });
    EXPECT_EQ(Native(Text(Get("Text1"))), Native(folder + "/Log1.bin"));

    // Opened again, it shows the folder of the path in the box.
    WhenADialogOpens([&] { Press(Get("Command3")); },
                     [&](HWND dialog) {
                         wchar_t shown[MAX_PATH] = {};
                         ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH,
                                        reinterpret_cast<LPARAM>(shown));
                         EXPECT_EQ(Lower(ToUtf8(shown)), Lower(Native(folder)));
                         EXPECT_EQ(Text(::GetDlgItem(dialog, kFileName)), "");
                         ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                     });
    EXPECT_EQ(Text(Get("Text1")), "");  // cancelled: emptied
}

TEST_F(SystemDialogTest, TheSaveDialogAddsTxtAndAsksNothingAboutAnExistingReport) {
    test::TempDir dir;
    const std::string folder = dir.File("Журнал");
    test::MakeFolder(folder);
    test::WriteFile(folder + "/RAPPORTO.TXT", "old");
    WhenADialogOpens([&] { Press(Get("Command4")); },
                     [&](HWND dialog) {
                         EXPECT_EQ(Text(dialog), "Scegli il file destinazione");
                         EXPECT_EQ(TypeAt(dialog, 0), "Text file (*.TXT)");
                         Confirm(dialog, Native(folder + "/RAPPORTO"));
                     });
    // The extension in upper case, as the Qt windows give it (the system's
    // dialog would add ".txt").
    const std::string chosen = Native(Text(Get("Text2")));
    EXPECT_EQ(Lower(chosen), Lower(Native(folder + "/RAPPORTO.TXT")));
    EXPECT_EQ(chosen.substr(chosen.size() - 4), ".TXT");
    EXPECT_EQ(test::ReadFile(folder + "/RAPPORTO.TXT"), "old");  // replaced only by a run
}

TEST_F(SystemDialogTest, MessagesAreSystemBoxesWithTheirTitleTextAndIcon) {
    test::TempDir dir;
    Type(Get("Text1"), dir.File("missing.bin"));
    Type(Get("Text2"), dir.File("OUT.TXT"));
    WhenADialogOpens([&] { Press(Get("Command1")); },
                     [](HWND box) {
                         EXPECT_EQ(Text(box), "Vagliante");
                         EXPECT_EQ(BoxText(box).rfind("Errore 53", 0), 0u) << BoxText(box);
                         EXPECT_TRUE(HasIcon(box));
                         ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                     });
    test::WriteFile(dir.File("missing.bin"), "");
    // Should Esc not close it, OK does, after a while.
    const UINT_PTR okLater = ::SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        ADD_FAILURE() << "Esc did not close the completion message";
        if (HWND box = OpenDialog()) ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    WhenADialogOpens([&] { Press(Get("Command1")); },
                     [](HWND box) {
                         // A filter's: the system's task dialog, the run's
                         // summary below its text for the user to open.
                         EXPECT_EQ(Text(box), "Messaggio");
                         HWND text = Child(box, "Static", "File creato con successo");
                         EXPECT_TRUE(text && ::IsWindowVisible(text));
                         HWND details = Child(box, "Static", "Record nel log: 0\n");
                         ASSERT_NE(details, nullptr);
                         EXPECT_FALSE(::IsWindowVisible(details));
                         HWND more = Child(box, "Button", "Mostra dettagli");
                         ASSERT_NE(more, nullptr);
                         ::SendMessageW(more, BM_CLICK, 0, 0);
                         EXPECT_TRUE(::IsWindowVisible(details));
                         EXPECT_NE(Text(details).find("Righe scritte in "), std::string::npos);
                         // Esc closes it, as it closes any message box.
                         HWND focus = ::GetFocus();
                         ::PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_ESCAPE, 1);
                     });
    ::KillTimer(nullptr, okLater);
    EXPECT_TRUE(::IsWindowVisible(Main()));

    // The About window's message has no icon.
    test::FakeRegistry registry;
    test::FakeLauncher launcher;
    frmAbout about(registry, launcher);
    auto window = Win32Form::Create(about, window_.get());
    window->Show();
    WhenADialogOpens([&] { Press(window->Control("cmdSysInfo")); },
                     [](HWND box) {
                         EXPECT_EQ(Text(box), "Vagliante");
                         EXPECT_EQ(BoxText(box),
                                   "Le informazioni sul sistema non sono attualmente disponibili.");
                         EXPECT_FALSE(HasIcon(box));
                         ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                     });
}

// The sample logs, in folders named outside the user's code page.
class SampleRunTest : public MainWindowTest {
  protected:
    static std::vector<std::string> Samples() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(SamplesFolder()))
            if (entry.path().extension() == ".BIN") names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string SamplesFolder() { return VAGLIANTE_SAMPLES_DIR; }

    // Runs vagliante-cli.exe as a user would from cmd.exe.
    static int Cli(const std::string& command, const std::string& source,
                   const std::string& destination) {
        return test::RunCommandLine(test::Quoted(VAGLIANTE_CLI_PATH) + " " + command + " " +
                                    test::Quoted(source) + " " + test::Quoted(destination) + " >" +
                                    test::NullDevice());
    }

    static void ExpectSameFiles(const std::string& windowFolder, const std::string& cliFolder,
                                const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            const std::vector<std::string> fromWindow =
                test::SplitCrLf(test::ReadFile(windowFolder + "/" + name));
            const std::vector<std::string> fromCli =
                test::SplitCrLf(test::ReadFile(cliFolder + "/" + name));
            EXPECT_FALSE(fromWindow.empty());
            EXPECT_EQ(fromWindow.size(), fromCli.size());
            // The first line that differs, if any.
            for (std::size_t i = 0; i < std::min(fromWindow.size(), fromCli.size()); ++i) {
                if (fromWindow[i] == fromCli[i]) continue;
                ADD_FAILURE() << "line " << i + 1 << ": window " << fromWindow[i] << "\n   cli "
                              << fromCli[i];
                break;
            }
        }
    }
};

TEST_F(SampleRunTest, FiltraWritesWhatVaglianteCliWrites) {
    ScriptedUser user;
    test::TempDir dir;
    for (const char* folder : {"Log città", "Журнал"}) {
        const std::string base = dir.File(folder);
        test::MakeFolder(base);
        test::MakeFolder(base + "/cli");
        for (const std::string& sample : Samples()) {
            SCOPED_TRACE(sample + " in " + folder);
            const std::string log = base + "/Log1.bin";
            test::WriteFile(log, test::ReadFile(sample));
            // Aggiornamento, then Attivazione, by the window and by the CLI.
            Press(Get("Option1"));
            Type(Get("Text1"), log);
            Type(Get("Text2"), base + "/AGG.TXT");
            Press(Get("Command1"));
            ASSERT_FALSE(user.messages.empty());
            EXPECT_EQ(user.messages.back().text, "File creato con successo");
            Press(Get("Option2"));
            Type(Get("Text2"), base + "/ATT.TXT");
            Press(Get("Command1"));
            EXPECT_EQ(user.messages.back().text, "Files creati con successo");
            EXPECT_EQ(user.messages.back().title, "Messaggio");
            EXPECT_EQ(user.messages.back().icon, ui::MessageIcon::Information);

            // The header's facts of the log are found (its name fits 8.3).
            EXPECT_EQ(test::SplitCrLf(test::ReadFile(base + "/AGG.TXT")).at(2),
                      "## Log name:        LOG1.BIN");
            ASSERT_EQ(Cli("aggiornamento", log, base + "/cli/AGG.TXT"), 0);
            ASSERT_EQ(Cli("attivazione", log, base + "/cli/ATT.TXT"), 0);
            ExpectSameFiles(base, base + "/cli",
                            {"AGG.TXT", "ATT-5C.TXT", "ATT-63-70.TXT", "ATT-63-71.TXT"});
        }
    }
    EXPECT_EQ(user.messages.size(), 2 * 2 * Samples().size());
}

TEST_F(SampleRunTest, TheConversionWindowInBothModesWritesWhatVaglianteCliWrites) {
    ScriptedUser user;
    test::TempDir dir;
    const std::string base = dir.File("Log città");
    test::MakeFolder(base);
    test::MakeFolder(base + "/cli");
    const std::string sample = Samples().front();
    test::WriteFile(base + "/Log1.bin", test::ReadFile(sample));

    struct Run {
        const char* command;
        const ConversionMode* mode;
        const char* source;
        const char* destination;
        const char* cli;
    };
    const Run runs[] = {
        {"T1", &kBinToTxt, "Log1.bin", "HEX.TXT", "bin2txt"},
        {"T2", &kTxtToBin, "HEX.TXT", "BACK.BIN", "txt2bin"},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.command);
        bool seen = false;
        WithModal(run.command, [&](HWND modal) {
            seen = true;
            EXPECT_EQ(Text(modal), run.mode->title);
            auto item = [&](const char* name) { return Item(modal, kFrmCnvDesign, name); };
            EXPECT_EQ(Text(item("Label2")), run.mode->sourceCaption);
            EXPECT_EQ(Text(item("Label4")), run.mode->destinationCaption);
            EXPECT_EQ(Text(item("Text1")), "");  // a new window each time
            // Modal over the main window, a tool window without a task bar entry.
            EXPECT_EQ(::GetWindow(modal, GW_OWNER), Main());
            EXPECT_FALSE(::IsWindowEnabled(Main()));
            EXPECT_TRUE(::GetWindowLongPtrW(modal, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
            EXPECT_FALSE(::GetWindowLongPtrW(modal, GWL_STYLE) &
                         (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
            EXPECT_EQ(::GetMenu(modal), nullptr);
            ExpectCentred(modal);
            EXPECT_EQ(::GetFocus(), item("Command1"));
            EXPECT_EQ(TabCycle(modal, item("Command1")),
                      (std::vector<HWND>{item("Command1"), item("Command2"), item("Command3"),
                                         item("Command4"), item("Text1"), item("Text2")}));
            // Esc does not close it.
            Key(item("Command1"), VK_ESCAPE);
            EXPECT_TRUE(::IsWindowVisible(modal));

            Type(item("Text1"), base + "/" + run.source);
            Type(item("Text2"), base + "/" + run.destination);
            Press(item("Command1"));
            ASSERT_FALSE(user.messages.empty());
            EXPECT_EQ(user.messages.back().text, "Conversione conclusa");
            Press(item("Command2"));  // Esci
            EXPECT_FALSE(::IsWindowVisible(modal));
        });
        EXPECT_TRUE(seen);
        EXPECT_TRUE(::IsWindowEnabled(Main()));
        EXPECT_EQ(Text(Main()), "Vagliante 1.2.1 - by Quadrivio");
        ASSERT_EQ(Cli(run.cli, base + "/" + run.source, base + "/cli/" + run.destination), 0);
        ExpectSameFiles(base, base + "/cli", {run.destination});
    }
    EXPECT_EQ(test::ReadFile(base + "/BACK.BIN"), test::ReadFile(sample));
}

TEST_F(MainWindowTest, TheCloseBoxDuringAConversionStopsItAndClosesTheConversionWindow) {
    ScriptedUser user;
    test::TempDir dir;
    test::WriteFile(dir.File("in.BIN"), std::string(128 << 20, '\x01'));
    test::WriteFile(dir.File("out.TXT"), "old");
    bool during = false;
    WithModal("T1", [&](HWND modal) {
        auto item = [&](const char* name) { return Item(modal, kFrmCnvDesign, name); };
        Type(item("Text1"), dir.File("in.BIN"));
        Type(item("Text2"), dir.File("out.TXT"));
        DuringRun([&] { Press(item("Command1")); },
                  [&] {
                      during = true;
                      ExpectBusyLook(modal, kFrmCnvDesign, true);
                      ::SendMessageW(modal, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
                      EXPECT_TRUE(::IsWindowVisible(modal));  // until the run has unwound
                  });
        EXPECT_FALSE(::IsWindowVisible(modal));
    });
    EXPECT_TRUE(during);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(::IsWindowVisible(Main()));  // the program goes on
    EXPECT_TRUE(::IsWindowEnabled(Main()));
    EXPECT_EQ(test::ReadFile(dir.File("out.TXT")), "old");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.BIN", "out.TXT"}));
}

TEST_F(MainWindowTest, QuestionMarkOpensTheAboutWindow) {
    bool seen = false;
    WithModal("INF", [&](HWND modal) {
        seen = true;
        EXPECT_EQ(Text(modal), "Informazioni su VAGLIANTE");
        auto item = [&](const char* name) { return Item(modal, kFrmAboutDesign, name); };
        EXPECT_EQ(Text(item("lblTitle")), "VAGLIANTE");
        EXPECT_EQ(Text(item("lblVersion")), "Versione 1.2.1");
        EXPECT_EQ(::GetWindow(modal, GW_OWNER), Main());
        EXPECT_FALSE(::IsWindowEnabled(Main()));
        const LONG_PTR exStyle = ::GetWindowLongPtrW(modal, GWL_EXSTYLE);
        EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
        EXPECT_FALSE(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW));
        EXPECT_EQ(::SendMessageW(modal, WM_GETICON, ICON_SMALL, 0), 0) << "a dialog: no icon";
        ExpectCentred(modal);
        EXPECT_EQ(::GetFocus(), item("cmdOK"));
        Key(item("cmdOK"), VK_ESCAPE);
        EXPECT_TRUE(::IsWindowVisible(modal));
        Press(item("cmdOK"));
        EXPECT_FALSE(::IsWindowVisible(modal));
    });
    EXPECT_TRUE(seen);
    EXPECT_TRUE(::IsWindowEnabled(Main()));
}

// The About window, shown on its own.
class AboutWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        window = Win32Form::Create(form);
        window->Show();
        Pump();
    }
    test::FakeRegistry registry;
    test::FakeLauncher launcher;
    frmAbout form{registry, launcher};
    std::unique_ptr<Win32Form> window;
};

TEST_F(AboutWindowTest, OpensAsDescribed) { ExpectControlsAsDescribed(*window); }

// In high contrast the About window's red and black labels take the
// system's colours: they are drawn as the system's own text is.
TEST_F(AboutWindowTest, InHighContrastItsLabelsTakeTheSystemsColours) {
    test::HighContrast contrast;
    ::SendMessageW(window->Handle(), WM_SYSCOLORCHANGE, 0, 0);
    HDC dc = ::GetDC(window->Handle());
    int labels = 0;
    for (const ui::ControlDesign& c : kFrmAboutDesign.controls) {
        if (c.kind != ControlKind::Label) continue;
        ::SendMessageW(window->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(window->Control(c.name)));
        EXPECT_EQ(::GetTextColor(dc), RGB(255, 255, 255)) << c.name;
        EXPECT_EQ(::GetBkColor(dc), RGB(0, 0, 0)) << c.name;
        ++labels;
    }
    ::ReleaseDC(window->Handle(), dc);
    EXPECT_EQ(labels, 5);
}

TEST(ConversionWindowTest, KeepsItsDesignCaptionsUntilActivated) {
    frmCnv form;
    auto window = Win32Form::Create(form);
    EXPECT_EQ(Text(window->Handle()), "Conversione");
    EXPECT_EQ(Text(window->Control("Label2")), "File sorgente");
    EXPECT_EQ(Text(window->Control("Label4")), "File destinazione");
    form.Chiamatoda = &kTxtToBin;
    window->Show();  // activated
    Pump();
    EXPECT_EQ(Text(window->Handle()), kTxtToBin.title);
    EXPECT_EQ(Text(window->Control("Label2")), kTxtToBin.sourceCaption);
    ExpectControlsAsDescribed(*window);
}

TEST(TaskDialogTest, DetailsLongerThanAScreenAreCutSayingHowManyLinesMore) {
    using ui::win32::ExpandedInformation;
    EXPECT_EQ(ExpandedInformation("Record nel log: 3\nRecord esclusi: 0", 2),
              "Record nel log: 3\nRecord esclusi: 0");
    EXPECT_EQ(ExpandedInformation("1\n2\n3\n4\n5", 3), "1\n2\n3\n… e altre 2 righe");
    EXPECT_EQ(ExpandedInformation("", 3), "");
}

TEST(ProgramTest, RunsWithUtf8AsItsCodePage) {
    EXPECT_EQ(::GetACP(), 65001u) << "the manifest's code page was not applied";
}

}  // namespace
}  // namespace vagliante
