#pragma once

#include "base/Operator.h"

#include <cstdio>

// An operator for runs nobody watches (scripted checks of the real executable): every message is
// written as one line to a stream and answered at once with the answer that changes least —
// OK, No, Cancel, Abort, the focus button; dialogs and input boxes are cancelled.
class UnattendedOperator : public Operator {
public:
    explicit UnattendedOperator(std::FILE* stream = stderr) : m_stream(stream) {}

    // "<kind> [<title>] <text>" with CR and LF written as \r and \n.
    static QString line(const QString& kind, const QString& title, const QString& text);

    int msgBox(const QString& prompt, int style, const QString& title) override;
    int myMsgBox(const MyMsgBoxRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                                    int helpContext) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    void showStatus(const QString& text, const QString& title, int alignment,
                    const QString& buttonCaption) override;
    void appendStatus(const QString&) override {}
    void updateStatus(const QString&) override {}
    void statusDone() override {}
    void waitForClick() override {}
    void showProgress(const QString& text, const QString& label2, double minimum, double maximum) override;
    void progressAppend(const QString&) override {}
    void updateProgress(double& value, const QString& newText) override;
    void progressDone() override {}
    bool waitCountdown(double seconds, const QString& title) override;
    void showLongString(const QString& title, const QString& caption, const QString& text) override;
    void beep() override {}
    bool watched() const override { return false; }

private:
    void write(const QString& kind, const QString& title, const QString& text);

    std::FILE* m_stream;
    double m_progressMin = 0, m_progressMax = 0;
};
