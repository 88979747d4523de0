// Helpers for the window tests.
#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <QtTest>
#include <optional>
#include <vector>

#include "ui/message.h"
#include "ui/scripts.h"

namespace vagliante::test {

// Saves a picture of a window into the folder the test run keeps its
// screenshots in (VAGLIANTE_SCREENSHOTS), so that anyone can look at it.
inline void SaveScreenshot(QWidget* window, const QString& name) {
    QString folder = qEnvironmentVariable("VAGLIANTE_SCREENSHOTS", QDir::tempPath());
    QDir().mkpath(folder);
    QVERIFY(window->grab().save(folder + "/" + name + ".png"));
}

// A file dialog request and a message as a test compares them.
struct DialogRequest {
    ui::FileDialogKind kind;
    QString fileName;
    QString dialogTitle;
    QString filter;
    int filterIndex;
    QString defaultExt;
};
struct MessageSeen {
    QString text;
    QString title;
    ui::MessageIcon icon;
};

// Answers the file dialogs from `answers`, in order (nothing: cancelled),
// and records every request and every message, while it lives.
class ScriptedUser {
  public:
    std::vector<DialogRequest> requests;
    std::vector<std::optional<QString>> answers;
    std::vector<MessageSeen> messages;

    ScriptedUser() {
        ui::SetFileDialogScript([this](const ui::FileDialogRequest& r) {
            requests.push_back({r.kind, QString::fromStdString(r.fileName),
                                QString::fromStdString(r.dialogTitle),
                                QString::fromStdString(r.filter), r.filterIndex,
                                QString::fromStdString(r.defaultExt)});
            std::optional<std::string> answer;
            if (!answers.empty()) {
                if (answers.front()) answer = answers.front()->toStdString();
                answers.erase(answers.begin());
            }
            return answer;
        });
        ui::SetMessageScript([this](const ui::Message& m) {
            messages.push_back(
                {QString::fromStdString(m.text), QString::fromStdString(m.title), m.icon});
        });
    }
    ~ScriptedUser() {
        ui::SetFileDialogScript({});
        ui::SetMessageScript({});
    }
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;
};

}  // namespace vagliante::test
