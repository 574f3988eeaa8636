#include "app/UpdateCheck.h"

#include "app/UpdateTexts.h"
#include "app/VersionFile.h"
#include "base/Operator.h"
#include "params/SettingsStore.h"

#include <QClipboard>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimer>
#include <QUrl>

namespace T = UpdateTexts;

namespace {
bool webScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
} // namespace

UpdateCheck::UpdateCheck(Operator& op, const SettingsStore& settings, const QString& title,
                         const QString& version, QObject* parent)
    : QObject(parent), m_op(op), m_settings(settings), m_title(title), m_version(version) {
    m_clipboard = [](const QString& text) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
    };
}

QString UpdateCheck::ServerAddress() const {
    QString address = qEnvironmentVariable(T::EnvironmentVariable.toLatin1().constData()).trimmed();
    if (address.isEmpty())
        address = m_settings.getText(m_title, T::SettingKey, QString()).trimmed();
    if (address.isEmpty())
        address = T::DefaultServer;
    if (!address.endsWith(QLatin1Char('/')))
        address += QLatin1Char('/');
    return address;
}

UpdateCheck::Fetched UpdateCheck::fetch(const QUrl& url) {
    Fetched result;
    if (!url.isValid() || !webScheme(url) || url.host().isEmpty()) {
        result.error = T::BadAddress + url.toString();
        return result;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setRawHeader("Accept", "text/plain");

    QPointer<QNetworkReply> reply = m_network.get(request);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QString ownError;
    auto fail = [&](const QString& error) {
        if (ownError.isEmpty())
            ownError = error;
        if (reply && reply->isRunning())
            reply->abort();
    };
    auto take = [&] {
        if (!reply)
            return;
        result.body += reply->read(VersionFile::MaxBytes + 1 - result.body.size());
        if (result.body.size() > VersionFile::MaxBytes)
            fail(T::TooLarge);
    };
    QUrl current = url;
    connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl& target) {
        // Most servers send http on to https; a secure address must never fall back to plain http.
        if (RedirectAllowed(current, target)) {
            current = target;
            emit reply->redirectAllowed();
        } else {
            fail(T::OtherScheme + target.toString());
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > VersionFile::MaxBytes)
            fail(T::TooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, &loop, take);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&deadline, &QTimer::timeout, &loop, [&] { fail(T::TimedOut); });
    m_abort = [&] { fail(T::Cancelled); };
    deadline.start(m_timeoutMs);
    if (reply->isRunning())
        loop.exec();
    deadline.stop();
    m_abort = nullptr;

    if (ownError.isEmpty())
        take();
    if (!ownError.isEmpty())
        result.error = ownError;
    else if (reply->error() != QNetworkReply::NoError)
        result.error =
            reply->error() == QNetworkReply::OperationCanceledError ? T::TimedOut : reply->errorString();
    if (!result.error.isEmpty())
        result.body.clear();
    reply->deleteLater();
    return result;
}

bool UpdateCheck::RedirectAllowed(const QUrl& from, const QUrl& to) {
    const QString was = from.scheme().toLower();
    const QString next = to.scheme().toLower();
    if (!webScheme(to) || to.host().isEmpty())
        return false;
    return next == was || (was == QLatin1String("http") && next == QLatin1String("https"));
}

void UpdateCheck::checkForNewerVersion() {
    // A second request while the first one waits: the operator may give up waiting.
    if (m_busy) {
        if (m_op.msgBox(T::StillWaiting, MsgStyle::YesNo | MsgStyle::Question, T::WaitingTitle) ==
                MsgResult::Yes &&
            m_abort) {
            m_cancelled = true;
            m_abort();
        }
        return;
    }
    const QScopedValueRollback busy(m_busy, true);
    m_cancelled = false;
    const QString folder = ServerAddress();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_waitNotice)
        m_waitNotice(T::Waiting);
    const Fetched fetched = fetch(QUrl(folder + T::VersionFileName));
    if (m_waitNotice)
        m_waitNotice(QString());
    QGuiApplication::restoreOverrideCursor();
    // Cancelled by the operator: nothing more to say.
    if (m_cancelled)
        return;
    const VersionVerdict verdict =
        VersionFile::Decide(folder, fetched.body, fetched.error, m_title, m_version);
    if (!verdict.clipboard.isEmpty() && m_clipboard)
        m_clipboard(verdict.clipboard);
    MyMsgBoxRequest box;
    box.prompt = verdict.text;
    box.buttons = {T::OK, QString(), QString(), QString()};
    box.icons = verdict.failed ? MsgStyle::Exclamation : MsgStyle::Information;
    box.title = verdict.title;
    m_op.myMsgBox(box);
}
