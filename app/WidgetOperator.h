#pragma once

#include "base/Operator.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class Status;
class Progress;

// The operator seam over the program's own windows and the platform's dialogs.
class WidgetOperator : public Operator {
public:
    WidgetOperator();
    ~WidgetOperator() override;

    // Dialogs are centred on this window while it is enabled.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }

    int msgBox(const QString& prompt, int style = MsgStyle::OkOnly, const QString& title = {}) override;
    int myMsgBox(const MyMsgBoxRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                                    int helpContext = 0) override;
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

    void beep() override;

    // The single status and progress windows (made on first use).
    Status& status();
    Progress& progress();

private:
    QWidget* dialogParent() const;
    QString fileDialog(const FileDialogRequest& request, bool save);

    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<Status> m_status;
    std::unique_ptr<Progress> m_progress;
};
