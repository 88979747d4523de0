// Helpers shared by the windows: placement in twips, the font, the icon,
// paths from text boxes, and running a core operation from a handler.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace vagliante::ui {

// Positions are given in twips: 15 twips to a pixel at 96 dots per inch.
constexpr int Px(int twips) { return twips / 15; }
void Place(QWidget* widget, int left, int top, int width, int height);

// The windows' font: small enough that every caption fits its box.
QFont FormFont();

// The 32 by 32 icon of the main and the conversion window.
QIcon AppIcon();

// The path typed or chosen in a text box, in the file system's encoding.
std::string LocalPath(const QString& text);

// Runs `work` to its end (RunWhileBusy), then shows the completion message
// `doneText`; a failure is shown instead as an error message. The window
// goes on either way. Returns whether the work succeeded.
bool RunAndReport(QWidget* window, const std::function<void()>& work, const QString& doneText);

// Centres a top-level window on its screen.
void CentreOnScreen(QWidget* window);

}  // namespace vagliante::ui
