#include "app/WidgetOperator.h"

#include "app/FileDialogFilter.h"
#include "app/MyMsgBox.h"
#include "app/Progress.h"
#include "app/Status.h"
#include "app/TitleWidth.h"
#include "app/WindowTexts.h"
#include "app/frmShowLongString.h"
#include "app/frmWait.h"
#include "base/ProductIdentity.h"
#include "results/SafeReplace.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
constexpr int ButtonBits = 0x0F;
constexpr int IconBits = 0x70;
constexpr int DefaultButtonBits = 0x300;

QList<QMessageBox::StandardButton> buttonsFor(int style) {
    switch (style & ButtonBits) {
    case MsgStyle::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel};
    case MsgStyle::AbortRetryIgnore:
        return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case MsgStyle::YesNoCancel:
        return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MsgStyle::YesNo:
        return {QMessageBox::Yes, QMessageBox::No};
    case MsgStyle::RetryCancel:
        return {QMessageBox::Retry, QMessageBox::Cancel};
    default:
        return {QMessageBox::Ok};
    }
}

QMessageBox::Icon iconFor(int style) {
    switch (style & IconBits) {
    case MsgStyle::Critical:
        return QMessageBox::Critical;
    case MsgStyle::Question:
        return QMessageBox::Question;
    case MsgStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int resultFor(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    case QMessageBox::Abort:
        return MsgResult::Abort;
    case QMessageBox::Retry:
        return MsgResult::Retry;
    case QMessageBox::Ignore:
        return MsgResult::Ignore;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        return 0;
    }
}

// What a box closed without a button answers: the most cautious of its buttons.
int closedResult(int style) {
    switch (style & ButtonBits) {
    case MsgStyle::OkOnly:
        return MsgResult::Ok;
    case MsgStyle::YesNo:
        return MsgResult::No;
    case MsgStyle::AbortRetryIgnore:
        return MsgResult::Abort;
    default:
        return MsgResult::Cancel;
    }
}

QString titleOrApp(const QString& title) {
    return title.isEmpty() ? ProductIdentity::AppTitle : title;
}
} // namespace

WidgetOperator::WidgetOperator() = default;
WidgetOperator::~WidgetOperator() = default;

QWidget* WidgetOperator::dialogParent() const {
    return m_mainWindow && m_mainWindow->isVisible() && m_mainWindow->isEnabled() ? m_mainWindow.data()
                                                                                  : nullptr;
}

int WidgetOperator::msgBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(titleOrApp(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(WindowTexts::toDisplayLines(prompt));
    box.setIcon(iconFor(style));
    const QList<QMessageBox::StandardButton> buttons = buttonsFor(style);
    for (QMessageBox::StandardButton b : buttons)
        box.addButton(b);
    const int defaultIndex = (style & DefaultButtonBits) >> 8;
    box.setDefaultButton(buttons.value(defaultIndex, buttons.first()));
    TitleWidth::fit(box);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr)
        return closedResult(style);
    const int result = resultFor(box.standardButton(clicked));
    return result != 0 ? result : closedResult(style);
}

int WidgetOperator::myMsgBox(const MyMsgBoxRequest& request) {
    MyMsgBox box(*this, dialogParent());
    return box.run(request);
}

std::optional<QString> WidgetOperator::inputBox(const QString& prompt, const QString& title,
                                                const QString& defaultText, int) {
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(titleOrApp(title));
    dialog.setLabelText(WindowTexts::toDisplayLines(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> WidgetOperator::passwordBox(const QString& prompt, const QString& title) {
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(titleOrApp(title));
    dialog.setLabelText(WindowTexts::toDisplayLines(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString WidgetOperator::fileDialog(const FileDialogRequest& request, bool save) {
    // A folder that is not there would be offered as a file name: start in the nearest one that is.
    QString folder = request.initialFolder;
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).absolutePath();
        folder = up == QFileInfo(folder).absoluteFilePath() ? QString() : up;
    }
    if (folder.isEmpty() && !request.initialFolder.isEmpty())
        folder = QDir::homePath();
    QFileDialog dialog(dialogParent(), titleOrApp(request.title), folder,
                       FileDialogFilter::toQt(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && request.confirmOverwrite));
    // A name typed without an extension gets that of the chosen kind, as the usual dialogs do; the
    // dialog adds it before its overwrite question, so the question names the file written.
    if (request.filterIndex > 0 && request.filterIndex < dialog.nameFilters().size())
        dialog.selectNameFilter(dialog.nameFilters().at(request.filterIndex));
    if (save) {
        dialog.setDefaultSuffix(FileDialogFilter::suffix(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& entry) {
            dialog.setDefaultSuffix(FileDialogFilter::suffix(entry));
        });
    }
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return {};
        const QString file = dialog.selectedFiles().value(0);
        if (file.isEmpty())
            return {};
        if (request.refuseReadOnly && SafeReplace::ReadOnly(file)) {
            msgBox(file + WindowTexts::ReadOnlyRefused, MsgStyle::OkOnly + MsgStyle::Exclamation,
                   request.title);
            continue;
        }
        if (!request.confirmCreate || QFileInfo::exists(file))
            return file;
        const QString question = file + QLatin1Char('\r') + WindowTexts::FileDoesNotExist +
                                 QLatin1Char('\r') + WindowTexts::CreateFile;
        if (msgBox(question, MsgStyle::YesNo + MsgStyle::Exclamation, request.title) == MsgResult::Yes)
            return file;
    }
}

QString WidgetOperator::openFileName(const FileDialogRequest& request) {
    return fileDialog(request, false);
}

QString WidgetOperator::saveFileName(const FileDialogRequest& request) {
    return fileDialog(request, true);
}

Status& WidgetOperator::status() {
    if (!m_status)
        m_status = std::make_unique<Status>();
    return *m_status;
}

Progress& WidgetOperator::progress() {
    if (!m_progress)
        m_progress = std::make_unique<Progress>();
    return *m_progress;
}

void WidgetOperator::showStatus(const QString& text, const QString& title, int alignment,
                                const QString& buttonCaption) {
    status().ShowStatus(text, title, alignment, buttonCaption);
}

void WidgetOperator::appendStatus(const QString& text) {
    status().AppendStatus(text);
}

void WidgetOperator::updateStatus(const QString& text) {
    status().UpdateStatus(text);
}

void WidgetOperator::statusDone() {
    status().StatusDone();
}

void WidgetOperator::waitForClick() {
    status().WaitForClick();
}

void WidgetOperator::showProgress(const QString& text, const QString& label2, double minimum,
                                  double maximum) {
    progress().ShowProgress(text, label2, minimum, maximum);
}

void WidgetOperator::progressAppend(const QString& text) {
    progress().ProgressAppend(text);
}

void WidgetOperator::updateProgress(double& value, const QString& newText) {
    progress().UpdateProgress(value, newText);
}

void WidgetOperator::progressDone() {
    progress().ProgressDone();
}

bool WidgetOperator::waitCountdown(double seconds, const QString& title) {
    frmWait wait(dialogParent());
    wait.Init(seconds, title);
    return wait.Cancelled;
}

void WidgetOperator::showLongString(const QString& title, const QString& caption, const QString& text) {
    frmShowLongString window(dialogParent());
    window.Go(title, caption, text);
}

void WidgetOperator::beep() {
    QApplication::beep();
}
