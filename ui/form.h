// Helpers shared by the windows: placement in twips, the font, the icon,
// paths from text boxes, and running a core operation from a handler.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <QString>
#include <QWidget>
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

// A control of `parent`, named as the code calls it.
template <typename W>
W* Make(QWidget* parent, const char* name) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A push button that answers neither Enter nor Esc.
inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = Make<QPushButton>(parent, name);
    button->setText(caption);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The path typed or chosen in a text box, in the file system's encoding.
std::string LocalPath(const QString& text);

// Runs `work` to its end (RunWhileBusy), then shows the completion message
// `doneText`; a failure is shown instead as an error message. The window
// goes on either way. Returns whether the work succeeded.
bool RunAndReport(QWidget* window, const std::function<void()>& work, const QString& doneText);

// Centres a top-level window on its screen.
void CentreOnScreen(QWidget* window);

}  // namespace vagliante::ui
