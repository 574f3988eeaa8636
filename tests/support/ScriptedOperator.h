#pragma once

#include "base/Operator.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// What the program put before the operator.
struct Prompt {
    QString kind; // "msgBox", "myMsgBox", "inputBox", "passwordBox", "openFile", "saveFile", "countdown",
                  // "longString"
    QString title;
    QString text;
    int style = 0;       // msgBox: buttons + icon; myMsgBox: icons
    QStringList buttons; // myMsgBox captions (non-empty ones)
    MyMsgBoxRequest request;
    FileDialogRequest file;
};

// An operator that answers from a script and records every prompt exactly.
// An answer may be an int (button / MsgResult), a QString (input box, file name), an invalid
// QVariant (cancel an input box or a dialog), or a function that inspects the prompt.
// A prompt with no scripted answer is a test failure.
class ScriptedOperator : public Operator {
public:
    using Handler = std::function<QVariant(const Prompt&)>;

    void answer(const QVariant& value) {
        m_answers.append([value](const Prompt&) { return value; });
    }
    void answerWith(Handler handler) { m_answers.append(std::move(handler)); }
    void cancel() { answer(QVariant()); }

    QList<Prompt> prompts;  // every prompt, in order
    QStringList statusLog;  // "show:<title>|<text>", "update:<text>", "append:<text>", "done", "click"
    QStringList unexpected; // prompts that found no answer
    int beeps = 0;
    bool failOnUnexpected = true;

    int remainingAnswers() const { return int(m_answers.size()); }
    const Prompt& last() const { return prompts.last(); }
    QString statusText() const { return m_statusText; }

    int msgBox(const QString& prompt, int style, const QString& title) override;
    int myMsgBox(const MyMsgBoxRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                                    int helpContext) override;
    std::optional<QString> passwordBox(const QString& prompt, const QString& title) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    void showStatus(const QString& text, const QString& title, int alignment,
                    const QString& buttonCaption) override;
    void appendStatus(const QString& text) override;
    void updateStatus(const QString& text) override;
    void statusDone() override;
    void waitForClick() override;
    void showProgress(const QString& text, const QString& label2, double minimum, double maximum) override;
    void progressAppend(const QString& text) override;
    void updateProgress(double& value, const QString& newText) override;
    void progressDone() override;
    bool waitCountdown(double seconds, const QString& title) override;
    void showLongString(const QString& title, const QString& caption, const QString& text) override;
    void beep() override { ++beeps; }
    bool watched() const override { return !m_answers.isEmpty(); }

private:
    QVariant next(const Prompt& prompt);

    QList<Handler> m_answers;
    QString m_statusText;
    double m_progressMin = 0, m_progressMax = 0;
};
