// Modal message boxes with a text, a title, an icon and a single OK button.
// Tests install a script that records each message instead of waiting.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace vagliante {
class RunError;
}

namespace vagliante::ui {

enum class MessageIcon { None, Information, Critical };

struct Message {
    QString text;
    QString title;
    MessageIcon icon;
};

// Shows the box and returns when the user has pressed OK.
void ShowMessage(QWidget* parent, const QString& text, const QString& title, MessageIcon icon);

// A failed run: the error's number, description and path, critical icon.
void ShowRunError(QWidget* parent, const RunError& error);

// The title of every completion message.
inline const QString kMessageTitle = QStringLiteral("Messaggio");

// Installs (or, with an empty function, removes) the test script.
void SetMessageScript(std::function<void(const Message&)> script);

}  // namespace vagliante::ui
