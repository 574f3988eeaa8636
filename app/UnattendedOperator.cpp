#include "app/UnattendedOperator.h"

#include <QtGlobal>

QString UnattendedOperator::line(const QString& kind, const QString& title, const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return kind + QStringLiteral(" [") + title + QStringLiteral("] ") + shown;
}

void UnattendedOperator::write(const QString& kind, const QString& title, const QString& text) {
    std::fprintf(m_stream, "%s\n", line(kind, title, text).toLocal8Bit().constData());
    std::fflush(m_stream);
}

int UnattendedOperator::msgBox(const QString& prompt, int style, const QString& title) {
    write(QStringLiteral("msgBox"), title, prompt);
    switch (style & 0x0F) {
    case MsgStyle::OkCancel:
    case MsgStyle::RetryCancel:
    case MsgStyle::YesNoCancel:
        return MsgResult::Cancel;
    case MsgStyle::AbortRetryIgnore:
        return MsgResult::Abort;
    case MsgStyle::YesNo:
        return MsgResult::No;
    default:
        return MsgResult::Ok;
    }
}

int UnattendedOperator::myMsgBox(const MyMsgBoxRequest& request) {
    write(QStringLiteral("myMsgBox"), request.title, request.prompt);
    return request.focusButton;
}

std::optional<QString> UnattendedOperator::inputBox(const QString& prompt, const QString& title,
                                                    const QString&, int) {
    write(QStringLiteral("inputBox"), title, prompt);
    return std::nullopt;
}

QString UnattendedOperator::openFileName(const FileDialogRequest& request) {
    write(QStringLiteral("openFile"), request.title, QString());
    return {};
}

QString UnattendedOperator::saveFileName(const FileDialogRequest& request) {
    write(QStringLiteral("saveFile"), request.title, QString());
    return {};
}

void UnattendedOperator::showStatus(const QString& text, const QString& title, int, const QString&) {
    write(QStringLiteral("status"), title, text);
}

void UnattendedOperator::showProgress(const QString& text, const QString&, double minimum, double maximum) {
    m_progressMin = minimum;
    m_progressMax = maximum;
    write(QStringLiteral("progress"), QString(), text);
}

void UnattendedOperator::updateProgress(double& value, const QString&) {
    value = qBound(m_progressMin, value, m_progressMax);
}

bool UnattendedOperator::waitCountdown(double seconds, const QString& title) {
    write(QStringLiteral("countdown"), title, QString::number(seconds));
    return true; // cancelled: nothing starts behind an unwatched count-down
}

void UnattendedOperator::showLongString(const QString& title, const QString& caption, const QString& text) {
    write(QStringLiteral("longString"), title, caption + QLatin1Char('\n') + text);
}
