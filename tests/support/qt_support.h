// Helpers for the window tests.
#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace vagliante::test {

// Saves a picture of a window into the folder the test run keeps its
// screenshots in (VAGLIANTE_SCREENSHOTS), so that anyone can look at it.
inline void SaveScreenshot(QWidget* window, const QString& name) {
    QString folder = qEnvironmentVariable("VAGLIANTE_SCREENSHOTS", QDir::tempPath());
    QDir().mkpath(folder);
    QVERIFY(window->grab().save(folder + "/" + name + ".png"));
}

}  // namespace vagliante::test
