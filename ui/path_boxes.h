// Path boxes: the text boxes in which users give a window its paths, typed,
// pasted (Explorer's "Copy as path" wraps them in double quotes), dropped
// from a file manager (a file:// address) or chosen in a file dialog.
//
// PathBoxes is the part of a window that the main and the conversion window
// share: a source and a destination box, each with the label that names it
// and the "..." button that fills it from the window's file dialog, and the
// progress bar of the run that reads the one and writes the other. Their
// rows of the windows' designs and their handlers are written here once,
// for both windows.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/progress.h"
#include "ui/common_dialog.h"
#include "ui/form_design.h"

namespace vagliante::ui {

class FormView;

// The path the text of a box means: a path wrapped in double quotes (blanks
// around them allowed) without them, a file:// address as the local path it
// names; any other text unchanged.
std::string PathFromBox(std::string_view text);

// The local path that a file:// address names ("file:///home/a%20b.BIN" is
// "/home/a b.BIN"; on Windows "file:///C:/Log/x.bin" is "C:\Log\x.bin" and a
// host gives a network path); nothing for another scheme, a host that is not
// this machine (on POSIX) or an escaped NUL.
std::optional<std::string> LocalPathFromUri(std::string_view uri);

// The path a file dropped on a window, or named at the program's start,
// gives: a file: address the local path it names (nothing when it names
// none), any other text the path as it is.
std::optional<std::string> DroppedPath(std::string_view text);

// The folder a file dialog opens in for the path in its box: the path itself
// when it names a folder, else the folder it lies in; for an empty box, that
// of the path in the other box of the pair (the source's for an empty
// destination). Empty when neither names one: the system chooses.
std::string DialogFolder(std::string_view boxText, std::string_view otherBoxText);

struct PathBoxes {
    std::string_view sourceLabel, sourceBox, sourceButton;
    std::string_view destinationLabel, destinationBox, destinationButton;
    std::string_view bar;
};

// Their names, the same in both windows.
inline constexpr PathBoxes kPathBoxes = {
    "Label2", "Text1", "Command3", "Label4", "Text2", "Command4", "ProgressBar1",
};

// Where the windows' path boxes differ: the labels' captions, the boxes'
// width, where the "..." buttons stand, the bar's width and the boxes'
// places in the tab order. All else is the same in both windows.
struct PathBoxesPlace {
    std::string_view sourceCaption, destinationCaption;
    int boxWidth, buttonLeft, barWidth;
    int sourceTab, destinationTab;
};

// The titles of the "..." buttons' dialogs.
inline constexpr std::string_view kChooseSourceTitle = "Scegli il file sorgente";
inline constexpr std::string_view kChooseDestinationTitle = "Scegli il file destinazione";

// What a screen reader tells of the "..." buttons, whose caption says
// nothing of which box each fills (their dialog's title), and of the bar.
inline constexpr AccessibleDesign kChooseSourceAccessible = {
    {}, kChooseSourceTitle, "Apre la finestra in cui scegliere il file sorgente"};
inline constexpr AccessibleDesign kChooseDestinationAccessible = {
    {}, kChooseDestinationTitle, "Apre la finestra in cui scegliere il file di destinazione"};
inline constexpr AccessibleDesign kBarAccessible = {
    {}, "Avanzamento", "Quanta parte del file sorgente è stata letta"};

// A window's controls: the rows of its path boxes (the source's label, box
// and "..." button, the destination's, then the bar), then its own `rows`.
template <std::size_t N>
constexpr std::array<ControlDesign, 7 + N> WithPathBoxes(const PathBoxesPlace& place,
                                                         const ControlDesign (&rows)[N]) {
    const PathBoxes& b = kPathBoxes;
    std::array<ControlDesign, 7 + N> controls = {{
        {b.sourceLabel, ControlKind::Label, place.sourceCaption, 240, 360, 2535, 255, 2,
         LabelFor(b.sourceBox)},
        {b.sourceBox, ControlKind::TextBox, "", 240, 600, place.boxWidth, 285, place.sourceTab},
        {b.sourceButton, ControlKind::Button, "...", place.buttonLeft, 600, 255, 255, 5,
         kChooseSourceAccessible},
        {b.destinationLabel, ControlKind::Label, place.destinationCaption, 240, 1080, 2535, 255, 3,
         LabelFor(b.destinationBox)},
        {b.destinationBox, ControlKind::TextBox, "", 240, 1320, place.boxWidth, 285,
         place.destinationTab},
        {b.destinationButton, ControlKind::Button, "...", place.buttonLeft, 1320, 255, 255, 6,
         kChooseDestinationAccessible},
        {b.bar, ControlKind::ProgressBar, "", 240, 1920, place.barWidth, 375, 1, kBarAccessible},
    }};
    for (std::size_t i = 0; i < N; ++i) controls[7 + i] = rows[i];
    return controls;
}

// The "..." buttons. Each prepares the window's shared file dialog (an
// empty name, its title, `filter` with its first pair shown, the folder
// where the user works: that of its box's path, or else of the other box's),
// shows it, and puts its file name in the box: empty when the user
// cancelled. A filter or extension of nullptr leaves the one last set.
// The source: an open dialog titled kChooseSourceTitle.
void ChooseSource(FormView& view, CommonDialog& dialog, const PathBoxes& boxes, const char* filter);
// The destination: a save dialog titled kChooseDestinationTitle, which
// adds `defaultExt` to a name typed without an extension.
void ChooseDestination(FormView& view, CommonDialog& dialog, const PathBoxes& boxes,
                       const char* filter, const char* defaultExt);

// A filter or a conversion: from the source path to the destination path,
// reporting on `progress`; returns the completion message's details, or an
// empty text for none.
using PathOperation = std::function<std::string(
    const std::string& source, const std::string& destination, Progress& progress)>;

// Runs `operation` on the paths in the two boxes as the user meant them
// (PathFromBox), with the bar, and reports its end (RunAndReport). An empty
// box is an error that names it by its label, the source's first.
void RunOnPaths(FormView& view, const PathBoxes& boxes, const PathOperation& operation,
                std::string_view doneText);

}  // namespace vagliante::ui
