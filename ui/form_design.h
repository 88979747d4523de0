// A window described as data: its title, client size, border, the table of
// its controls and its menu. Each window is described once; the Qt and the
// Win32 renderers make their real controls from the same description.
//
// Positions and sizes are in twips (1/1440 inch; 15 twips to a pixel at 96
// dots per inch), measured from the top left corner of the client area or,
// for a control inside a frame, of that frame.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vagliante::ui {

enum class ControlKind { Label, TextBox, Button, OptionButton, Frame, ProgressBar };

enum class Border {
    FixedSingle,      // a main window: caption and close box, listed in the task bar
    FixedToolWindow,  // narrow title bar and close box, not in the task bar
    FixedDialog,      // dialog frame without an icon, not in the task bar
};

struct Colour {
    std::uint8_t red, green, blue;
    friend constexpr bool operator==(Colour, Colour) = default;
};
inline constexpr Colour kBlack{0, 0, 0};
inline constexpr Colour kRed{255, 0, 0};

struct FontDesign {
    std::string_view face;
    double points;
    bool bold;
};

enum class Align { Left, Centre };

// What assistive technology (a screen reader) tells of a control or a menu
// entry, beyond its caption. Both renderers give it: Qt through its
// accessibility (AT-SPI on Linux), Win32 through Active Accessibility.
struct AccessibleDesign {
    // A label: the control it names (a text box), which then takes the
    // label's caption, as it stands, as its name.
    std::string_view labelFor = {};
    // Its name where its caption does not say what it does ("..."), or a
    // control without a caption (a progress bar).
    std::string_view name = {};
    // A sentence on what it does.
    std::string_view description = {};
};

// A label that names `control`.
constexpr AccessibleDesign LabelFor(std::string_view control) { return {control, {}, {}}; }

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    std::string_view caption;  // a text box's initial text
    int left, top, width, height;
    int tabIndex;
    AccessibleDesign accessible = {};
    std::string_view container = {};   // the Frame it lies in; empty for the client area
    bool selected = false;             // an option button selected at start
    const FontDesign* font = nullptr;  // nullptr: the window's font
    Colour colour = kBlack;
    Align align = Align::Left;
};

struct MenuItemDesign {
    std::string_view name;
    std::string_view caption;
};

// A menu bar entry: either a list of items, or (without items) an entry
// that runs its own handler when chosen.
struct MenuDesign {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItemDesign> items = {};
    AccessibleDesign accessible = {};  // its name and description, where "&?" says too little
};

struct FormDesign {
    std::string_view name;
    std::string_view title;  // the design title, until a handler sets another
    int width, height;       // client area
    Border border;
    bool icon;  // shows the program's icon in its title bar
    std::span<const ControlDesign> controls;
    std::span<const MenuDesign> menu = {};
    // The text box that a file dropped elsewhere on the window fills (a box
    // dropped on takes the path itself); empty: the window takes no drops.
    std::string_view dropBox = {};
    // The button that closes the window. It stays live while a run is busy,
    // and closing the window then stops the run.
    std::string_view exitButton = {};
};

// Pixels for twips at `dpi` dots per inch.
constexpr int TwipsToPixels(int twips, int dpi) { return twips * dpi / 1440; }

// Whether the user can move the focus onto a control of this kind.
constexpr bool TakesFocus(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::Button ||
           kind == ControlKind::OptionButton;
}

const ControlDesign* FindControl(const FormDesign& form, std::string_view name);

// The controls that take the focus, by tab order; the first has the focus
// when the window opens.
std::vector<const ControlDesign*> TabOrder(const FormDesign& form);

// Every control by tab order, those that take no focus included, but for a
// label that names a control (accessible.labelFor), which comes right before
// that control: the order in which renderers make them (Active
// Accessibility names a text box by the label made just before it).
std::vector<const ControlDesign*> CreationOrder(const FormDesign& form);

// The label that names `control` (accessible.labelFor), or nullptr.
const ControlDesign* LabelOf(const FormDesign& form, std::string_view control);

// The position of a control from the client area's corner: its own plus
// that of the frame it lies in.
struct TwipsRect {
    int left, top, width, height;
};
TwipsRect ClientRect(const FormDesign& form, const ControlDesign& control);

// Whether choosing `name` in the menu runs a handler: an item, or an entry
// without items.
bool IsMenuCommand(const FormDesign& form, std::string_view name);

}  // namespace vagliante::ui
