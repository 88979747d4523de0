// What the Qt windows share: placement in twips, the font, the icon,
// centring, the file dialog and the message box.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

#include "ui/common_dialog.h"
#include "ui/message.h"

class QWidget;

namespace vagliante::ui::qt {

// Positions are given in twips: 15 twips to a (device-independent) pixel.
constexpr int Px(int twips) { return twips / 15; }

// The windows' font: small enough that every caption fits its box.
QFont FormFont();

// The program's icon, drawn once by make-icon.
QIcon AppIcon();

// Centres a top-level window on its screen.
void CentreOnScreen(QWidget* window);

inline QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

// The Qt name filters for a "description|pattern" filter text.
QStringList NameFilters(std::string_view filter);

// The modal file dialog (or the test script): the chosen path or nothing.
std::optional<std::string> ShowFileDialog(QWidget* parent, const FileDialogRequest& request);

// A modal message box (or the test script).
void ShowMessage(QWidget* parent, const Message& message);

// The file named among the program's arguments (`vagliante FILE.BIN`, or a
// file manager's "Open with"), as a full path, or a file: address as it is
// (the window's drop takes either); empty without one. Options (starting
// with "-") are passed over.
QString FileArgument(const QStringList& arguments);

}  // namespace vagliante::ui::qt
