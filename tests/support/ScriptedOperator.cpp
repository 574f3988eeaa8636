#include "tests/support/ScriptedOperator.h"

#include <QTest>

QVariant ScriptedOperator::next(const Prompt& prompt) {
    prompts.append(prompt);
    if (m_answers.isEmpty()) {
        const QString what =
            prompt.kind + QStringLiteral(" [") + prompt.title + QStringLiteral("] ") + prompt.text;
        unexpected.append(what);
        if (failOnUnexpected)
            QTest::qFail(qPrintable(QStringLiteral("unexpected prompt: ") + what), __FILE__, __LINE__);
        return {};
    }
    return m_answers.takeFirst()(prompt);
}

int ScriptedOperator::msgBox(const QString& prompt, int style, const QString& title) {
    Prompt p;
    p.kind = QStringLiteral("msgBox");
    p.title = title;
    p.text = prompt;
    p.style = style;
    const QVariant v = next(p);
    if (v.isValid())
        return v.toInt();
    switch (style & 0x0F) {
    case MsgStyle::YesNo:
    case MsgStyle::YesNoCancel:
        return MsgResult::No;
    case MsgStyle::OkCancel:
    case MsgStyle::RetryCancel:
        return MsgResult::Cancel;
    default:
        return MsgResult::Ok;
    }
}

int ScriptedOperator::myMsgBox(const MyMsgBoxRequest& request) {
    Prompt p;
    p.kind = QStringLiteral("myMsgBox");
    p.title = request.title;
    p.text = request.prompt;
    p.style = request.icons;
    for (const QString& b : request.buttons)
        if (!b.isEmpty())
            p.buttons.append(b);
    p.request = request;
    const QVariant v = next(p);
    return v.isValid() ? v.toInt() : 0;
}

std::optional<QString> ScriptedOperator::inputBox(const QString& prompt, const QString& title,
                                                  const QString& defaultText, int) {
    Prompt p;
    p.kind = QStringLiteral("inputBox");
    p.title = title;
    p.text = prompt;
    p.buttons = {defaultText};
    const QVariant v = next(p);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

std::optional<QString> ScriptedOperator::passwordBox(const QString& prompt, const QString& title) {
    Prompt p;
    p.kind = QStringLiteral("passwordBox");
    p.title = title;
    p.text = prompt;
    const QVariant v = next(p);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

QString ScriptedOperator::openFileName(const FileDialogRequest& request) {
    Prompt p;
    p.kind = QStringLiteral("openFile");
    p.title = request.title;
    p.file = request;
    return next(p).toString();
}

QString ScriptedOperator::saveFileName(const FileDialogRequest& request) {
    Prompt p;
    p.kind = QStringLiteral("saveFile");
    p.title = request.title;
    p.file = request;
    return next(p).toString();
}

void ScriptedOperator::showStatus(const QString& text, const QString& title, int, const QString&) {
    m_statusText = text;
    statusLog.append(QStringLiteral("show:") + title + QLatin1Char('|') + text);
}

void ScriptedOperator::appendStatus(const QString& text) {
    m_statusText += text;
    statusLog.append(QStringLiteral("append:") + text);
}

void ScriptedOperator::updateStatus(const QString& text) {
    m_statusText = text;
    statusLog.append(QStringLiteral("update:") + text);
}

void ScriptedOperator::statusDone() {
    statusLog.append(QStringLiteral("done"));
}

void ScriptedOperator::waitForClick() {
    statusLog.append(QStringLiteral("click"));
}

void ScriptedOperator::showProgress(const QString& text, const QString&, double minimum, double maximum) {
    m_progressMin = minimum;
    m_progressMax = maximum;
    statusLog.append(QStringLiteral("progress:") + text);
}

void ScriptedOperator::progressAppend(const QString& text) {
    statusLog.append(QStringLiteral("progress+:") + text);
}

void ScriptedOperator::updateProgress(double& value, const QString& newText) {
    value = qBound(m_progressMin, value, m_progressMax);
    if (!newText.isEmpty())
        statusLog.append(QStringLiteral("progress:") + newText);
}

void ScriptedOperator::progressDone() {
    statusLog.append(QStringLiteral("progressDone"));
}

bool ScriptedOperator::waitCountdown(double seconds, const QString& title) {
    Prompt p;
    p.kind = QStringLiteral("countdown");
    p.title = title;
    p.text = QString::number(seconds);
    const QVariant v = next(p);
    return v.isValid() && v.toBool();
}

void ScriptedOperator::showLongString(const QString& title, const QString& caption, const QString& text) {
    Prompt p;
    p.kind = QStringLiteral("longString");
    p.title = title;
    p.text = caption + QLatin1Char('\n') + text;
    next(p);
}
