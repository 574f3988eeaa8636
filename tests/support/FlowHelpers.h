#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <QWidget>

// The program built beside the tests (STAVELY_BIN_DIR names another folder).
inline QString programPath() {
    QString dir = qEnvironmentVariable("STAVELY_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    return dir + QStringLiteral("/stavely");
}

// Keeps a picture of the widget in the folder STAVELY_SCREENSHOTS names, when it names one.
inline void keepPicture(QWidget& widget, const char* name) {
    const QString folder = qEnvironmentVariable("STAVELY_SCREENSHOTS");
    if (!folder.isEmpty())
        widget.grab().save(QDir(folder).filePath(QLatin1String(name)));
}

// Lets the event loop run for a while, so replies and timers are handled as they come.
inline void readFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
