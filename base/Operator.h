#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Button and icon codes of a plain message box; values are those the program has always used,
// so a style is buttons + icon (e.g. YesNo + Question).
namespace MsgStyle {
enum : int {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton2 = 256, // the second button answers Enter
};
}

// Answers of a plain message box.
namespace MsgResult {
enum : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
}

// Arguments of MyMsgBox.Go / GoVertical.
struct MyMsgBoxRequest {
    QString prompt;
    std::array<QString, 4> buttons;      // empty caption: no such button
    std::array<QString, 4> descriptions; // vertical layout only
    bool vertical = false;
    bool expandButtons = false;
    int icons = 0;
    QString title;       // empty: the application title
    int focusButton = 1; // 1..4
    double width = 1.0;  // multiple of 5745 twips
};

struct FileDialogRequest {
    QString title;
    QString filter; // "Description (*.ext)|*.ext|..." as the program writes it
    QString initialFolder;
    QString initialName;
    int filterIndex = 0;           // the filter entry chosen at first (0: the first)
    bool mustExist = false;        // open dialogs
    bool confirmOverwrite = false; // save dialogs
    bool confirmCreate = false;
    bool refuseReadOnly = false; // a read-only file (or one the user may not write) is not accepted
};

// Everything the program's logic asks or tells the operator goes through here, so that the
// windows can be replaced by a script in tests. Texts are passed exactly as shown.
class Operator {
public:
    virtual ~Operator() = default;

    // Plain message box; style = buttons + icon; an empty title shows the application title.
    virtual int msgBox(const QString& prompt, int style = MsgStyle::OkOnly, const QString& title = {}) = 0;
    // The program's own box with caller-defined buttons; returns the button number (1..4).
    virtual int myMsgBox(const MyMsgBoxRequest& request) = 0;
    // Text input box; nullopt when cancelled.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText, int helpContext = 0) = 0;
    // A password, typed unseen; nullopt when cancelled. An operator that cannot hide what is typed
    // asks nothing.
    virtual std::optional<QString> passwordBox(const QString& prompt, const QString& title) {
        Q_UNUSED(prompt);
        Q_UNUSED(title);
        return std::nullopt;
    }
    // File dialogs; an empty result means cancelled.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;

    // The modeless status window.
    virtual void showStatus(const QString& text, const QString& title, int alignment,
                            const QString& buttonCaption) = 0;
    virtual void appendStatus(const QString& text) = 0;
    virtual void updateStatus(const QString& text) = 0;
    virtual void statusDone() = 0;
    virtual void waitForClick() = 0;

    // The modeless progress window.
    virtual void showProgress(const QString& text, const QString& label2, double minimum, double maximum) = 0;
    virtual void progressAppend(const QString& text) = 0;
    // Clamps value to the bar's range and hands the clamped value back.
    virtual void updateProgress(double& value, const QString& newText) = 0;
    virtual void progressDone() = 0;

    // The count-down window; returns true when the operator cancelled.
    virtual bool waitCountdown(double seconds, const QString& title) = 0;
    // A long text in a scrollable box, until "&Ok".
    virtual void showLongString(const QString& title, const QString& caption, const QString& text) = 0;

    virtual void beep() = 0;

    // False when nobody is there to answer (a run nobody watches, a script that has run out), so
    // that a question the operator may not leave unanswered is not asked for ever.
    virtual bool watched() const { return true; }
};
