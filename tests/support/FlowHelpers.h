#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// The program built beside the tests (STAVELY_BIN_DIR names another folder).
inline QString programPath() {
    QString dir = qEnvironmentVariable("STAVELY_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    return dir + QStringLiteral("/stavely");
}

// What a run of the real program without a window gave back.
struct ProgramRun {
    int exitCode = -1; // -1: it crashed or did not end within a minute
    QString out;
    QString err;
};

// Runs the program with these arguments (and input on its standard input) to its end.
inline ProgramRun runProgram(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(programPath(), arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    ProgramRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
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
