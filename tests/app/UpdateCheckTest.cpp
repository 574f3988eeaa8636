#include "app/UpdateCheck.h"
#include "app/VersionFile.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// A small HTTP server: each path answers with the raw bytes given for it (status line and all), or
// keeps silent when told to.
class LocalServer : public QObject {
public:
    QHash<QByteArray, QByteArray> responses; // path -> whole response
    QSet<QByteArray> silent;                 // paths that never answer
    QList<QByteArray> requested;

    LocalServer() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString url(const QByteArray& path = "/") const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) + QString::fromLatin1(path);
    }
    quint16 port() const { return m_server.serverPort(); }

    static QByteArray ok(const QByteArray& body, const QByteArray& extraHeaders = {}) {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + body;
    }
    static QByteArray status(const QByteArray& line, const QByteArray& headers = {}) {
        return "HTTP/1.1 " + line + "\r\nContent-Length: 0\r\n" + headers + "Connection: close\r\n\r\n";
    }

private:
    void serve(QTcpSocket* socket) {
        QByteArray& buffer = m_pending[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray path = buffer.split(' ').value(1);
        m_pending.remove(socket);
        requested << path;
        if (silent.contains(path))
            return;
        socket->write(responses.value(path, status("404 Not Found")));
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

const QString Support =
    QStringLiteral("Please contact Corvane support at support@corvane.example for help, or try again later.");

QString errorText(const QString& error) {
    return QStringLiteral("An error occurred while attempting to obtain version information:\r\n\r\n") +
           error + QStringLiteral("\r\n\r\n") + Support;
}
} // namespace

// The check for a newer version against a real local HTTP server.
class UpdateCheckTest : public QObject {
    Q_OBJECT

    struct Rig {
        QTemporaryDir dir;
        SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
        ScriptedOperator op;
        LocalServer server;
        UpdateCheck check{op, store, QStringLiteral("STAVELY"), QStringLiteral("1.05")};
        QStringList clipboard;

        Rig() {
            check.setClipboard([this](const QString& text) { clipboard << text; });
            store.saveText(QStringLiteral("STAVELY"), QStringLiteral("UpdateServer"), server.url("/dl"));
        }
        // Serves the version file and runs the check; returns the one message shown.
        Prompt run(const QByteArray& response) {
            server.responses["/dl/versions.txt"] = response;
            op.answer(1);
            check.checkForNewerVersion();
            return op.prompts.value(0);
        }
    };

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void versionLinesAreComparedAsPlainText_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clipboard");
        const QString newer =
            QStringLiteral("A newer version of STAVELY exists. Version %1 dated 2026-11-02, 5123456 "
                           "bytes, can be downloaded at:\r\n\r\n%2\r\n                    "
                           "stavely_%1.deb\r\n\r\nFor your convenience, this URL has been copied "
                           "to the clipboard.");
        auto line = [](const char* version) {
            return QByteArray("STAVELY,") + version + ",stavely_" + version + ".deb,2026-11-02,5123456\n";
        };
        QTest::newRow("1.10 is newer") << ("OTHER,9.99,x,y,z\n" + line("1.10")) << "NEWER VERSION AVAILABLE"
                                       << newer.arg("1.10") << "stavely_1.10.deb";
        QTest::newRow("1.1 is newer")
            << line("1.1") << "NEWER VERSION AVAILABLE" << newer.arg("1.1") << "stavely_1.1.deb";
        QTest::newRow("1.00 is older")
            << line("1.00") << "RUNNING NEWER THAN NEW VERSION !"
            << "The version of STAVELY that you are running (1.05) is newer than the "
               "\"latest\" version (1.00) !"
            << "";
        QTest::newRow("same") << QByteArray(" stavely ,1.05,a,b,c,extra\r\n") << "RUNNING LATEST VERSION"
                              << "You have the latest version of STAVELY."
                              << "";
        QTest::newRow("four fields")
            << QByteArray("STAVELY,1.10,stavely.deb,2026-11-02\n" + line("1.00"))
            << "RUNNING NEWER THAN NEW VERSION !"
            << "The version of STAVELY that you are running (1.05) is newer than the "
               "\"latest\" version (1.00) !"
            << "";
        QTest::newRow("no line") << QByteArray("STAVELY,1.10,x,y\nBIRCHEN,2.00,b,c,d\n\n")
                                 << "NEWER VERSION AVAILABLE"
                                 << "No information on the latest version was found."
                                 << "";
        // Only a plain file name is offered for download; a line with anything else, or without a
        // version, is skipped as bad.
        const QString noInformation = QStringLiteral("No information on the latest version was found.");
        for (const char* file :
             {"../../../etc/passwd", "https://evil.example/x.exe", "a b c;rm -rf ~", "/usr/bin/stavely.deb",
              "", ".hidden", "C:\\x.exe", "x.deb\"", "stavely\u00e9.deb"})
            QTest::newRow(QByteArray("file name ") + file)
                << QByteArray("STAVELY,1.10,") + file + ",2026-11-02,5123456\n"
                << "NEWER VERSION AVAILABLE" << noInformation << "";
        QTest::newRow("empty version") << QByteArray("STAVELY, ,stavely.deb,2026-11-02,5123456\n")
                                       << "NEWER VERSION AVAILABLE" << noInformation << "";
        QTest::newRow("bad line, then a good one")
            << ("STAVELY,1.10,../x.deb,2026-11-02,5123456\n" + line("1.10")) << "NEWER VERSION AVAILABLE"
            << newer.arg("1.10") << "stavely_1.10.deb";
        // A file name is cut as the other fields are, in the dialog and on the clipboard alike.
        const QByteArray longName = QByteArray(3000, 'a') + ".deb";
        QTest::newRow("long file name")
            << "STAVELY,1.10," + longName + ",2026-11-02,5123456\n"
            << "NEWER VERSION AVAILABLE"
            << newer.arg("1.10").replace(QStringLiteral("stavely_1.10.deb"), QString(256, QLatin1Char('a')))
            << QString(256, QLatin1Char('a'));
        QTest::newRow("empty") << QByteArray() << "EMPTY VERSION FILE"
                               << "The version information file was empty.\r\n\r\n" + Support << "";
        QTest::newRow("binary") << QByteArray("\x7f"
                                              "ELF\x02\x01\x01\0\0\0STAVELY,9,x,y,z\n",
                                              24)
                                << "EMPTY VERSION FILE"
                                << "The version information file was empty.\r\n\r\n" + Support << "";
        QTest::newRow("error page") << QByteArray("<html><h1>Page Not Found</h1></html>")
                                    << "ERROR ACCESSING VERSION SERVER" << errorText("File not found") << "";
    }
    void versionLinesAreComparedAsPlainText() {
        QFETCH(QByteArray, file);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, clipboard);
        Rig r;
        const Prompt shown = r.run(LocalServer::ok(file));
        QCOMPARE(r.server.requested, QList<QByteArray>{"/dl/versions.txt"});
        QCOMPARE(shown.kind, QStringLiteral("myMsgBox"));
        QCOMPARE(shown.buttons, QStringList{"&OK"});
        QCOMPARE(shown.title, title);
        QCOMPARE(shown.text, text.contains(QLatin1String("%2")) ? text.arg(r.server.url("/dl/")) : text);
        QCOMPARE(r.clipboard,
                 clipboard.isEmpty() ? QStringList() : QStringList{r.server.url("/dl/") + clipboard});
        QCOMPARE(r.op.prompts.size(), 1);
    }

    void untrustedBodiesAndFailedTransfers() {
        struct Case {
            const char* name;
            QByteArray response;
            QString expected; // error text, or "" when the file is read
        };
        const QByteArray big(VersionFile::MaxBytes + 1, 'x');
        // A line far longer than any field: still read, its fields cut for display.
        const QByteArray longLine = "STAVELY,2.00,stavely.deb," + QByteArray(60000, 'd') + ",1\n";
        const QList<Case> cases{
            {"404", LocalServer::status("404 Not Found"), "*Not Found"},
            {"500", LocalServer::status("500 Internal Server Error"), "*Internal Server Error"},
            {"too long, announced", LocalServer::ok(big), "The version file is larger than 65536 bytes."},
            {"too long, unannounced", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big,
             "The version file is larger than 65536 bytes."},
            {"redirect to ftp", LocalServer::status("302 Found", "Location: ftp://127.0.0.1/v.txt\r\n"), "*"},
            // Followed up to https: the error is the secure server's own (nobody listens there).
            {"redirect to https",
             LocalServer::status("301 Moved", "Location: https://127.0.0.1:1/versions.txt\r\n"), "*refused"},
            {"long line", LocalServer::ok(longLine), ""},
        };
        for (const Case& c : cases) {
            Rig r;
            const Prompt shown = r.run(c.response);
            if (c.expected.isEmpty()) {
                QCOMPARE(shown.title, QStringLiteral("NEWER VERSION AVAILABLE"));
                QVERIFY2(shown.text.size() < 1000, c.name);
                QCOMPARE(r.clipboard, QStringList{r.server.url("/dl/stavely.deb")});
                continue;
            }
            QVERIFY2(shown.title == QStringLiteral("ERROR ACCESSING VERSION SERVER"), c.name);
            if (c.expected.startsWith(QLatin1Char('*'))) {
                QVERIFY2(shown.text.startsWith(errorText(QString()).left(66)), c.name);
                QVERIFY2(shown.text.contains(c.expected.mid(1)), qPrintable(shown.text));
                QVERIFY2(shown.text.endsWith(Support), c.name);
            } else {
                QCOMPARE(shown.text, errorText(c.expected));
            }
            QVERIFY2(r.clipboard.isEmpty(), c.name);
        }
    }

    void redirectOnTheSameSchemeIsFollowed() {
        Rig r;
        r.server.responses["/moved/versions.txt"] = LocalServer::ok("STAVELY,1.05,a,b,c\n");
        const Prompt shown = r.run(LocalServer::status(
            "302 Found", "Location: " + r.server.url("/moved/versions.txt").toLatin1() + "\r\n"));
        QCOMPARE(shown.title, QStringLiteral("RUNNING LATEST VERSION"));
        QCOMPARE(r.server.requested, (QList<QByteArray>{"/dl/versions.txt", "/moved/versions.txt"}));
    }

    void redirectsKeepOrRaiseTheScheme_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("followed");
        QTest::newRow("http to http") << "http://a.example/v.txt"
                                      << "http://b.example/v.txt" << true;
        QTest::newRow("http to https") << "http://a.example/v.txt"
                                       << "https://a.example/v.txt" << true;
        QTest::newRow("HTTP to https") << "HTTP://a.example/v.txt"
                                       << "https://a.example/v.txt" << true;
        QTest::newRow("https to https") << "https://a.example/v.txt"
                                        << "https://c.example/v.txt" << true;
        QTest::newRow("https down to http") << "https://a.example/v.txt"
                                            << "http://a.example/v.txt" << false;
        QTest::newRow("http to ftp") << "http://a.example/v.txt"
                                     << "ftp://a.example/v.txt" << false;
        QTest::newRow("https to file") << "https://a.example/v.txt"
                                       << "file:///etc/passwd" << false;
        QTest::newRow("no host") << "http://a.example/v.txt"
                                 << "https:///v.txt" << false;
    }
    void redirectsKeepOrRaiseTheScheme() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, followed);
        QCOMPARE(UpdateCheck::RedirectAllowed(QUrl(from), QUrl(to)), followed);
    }

    // A second check while the first waits shows that it waits and offers to cancel it; cancelled,
    // the first ends at once without an error message.
    void aSecondCheckOffersToCancelTheWaitingOne() {
        Rig r;
        r.server.silent.insert("/dl/versions.txt");
        QStringList notices;
        r.check.setWaitNotice([&](const QString& text) { notices << text; });
        r.op.answer(MsgResult::Yes);
        QTimer::singleShot(300, [&] { r.check.checkForNewerVersion(); });
        QElapsedTimer clock;
        clock.start();
        r.check.checkForNewerVersion();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(r.op.prompts.size(), 1);
        QCOMPARE(r.op.last().title, QStringLiteral("CHECK FOR NEWER VERSION"));
        QCOMPARE(r.op.last().text, QStringLiteral("The check for a newer version is still waiting for the "
                                                  "version server.\rDo you want to cancel it?"));
        QCOMPARE(notices.size(), 2);
        QVERIFY(notices[0].startsWith(QStringLiteral("Asking the version server")));
        QCOMPARE(notices[1], QString());
        QVERIFY(!r.check.busy());

        // Answered No, the first one goes on to its own end.
        r.check.setTimeoutMs(1500);
        r.op.answer(MsgResult::No);
        r.op.answer(1);
        QTimer::singleShot(300, [&] { r.check.checkForNewerVersion(); });
        r.check.checkForNewerVersion();
        QCOMPARE(r.op.prompts.size(), 3);
        QCOMPARE(r.op.last().text, errorText("The version server did not answer within 20 seconds."));
    }

    void silentAndAbsentServersEndWithinTheTimeOut() {
        Rig r;
        r.check.setTimeoutMs(400);
        r.server.silent.insert("/dl/versions.txt");
        QElapsedTimer clock;
        clock.start();
        r.op.answer(1);
        r.check.checkForNewerVersion();
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(r.op.last().text, errorText("The version server did not answer within 20 seconds."));

        // Nobody listens on the port: the network's own reason is shown.
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            closedPort = probe.serverPort();
        }
        r.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("UpdateServer"),
                         QStringLiteral("http://127.0.0.1:%1/dl").arg(closedPort));
        r.op.answer(1);
        r.check.checkForNewerVersion();
        QCOMPARE(r.op.last().title, QStringLiteral("ERROR ACCESSING VERSION SERVER"));
        QVERIFY(r.op.last().text.contains(QStringLiteral("refused"), Qt::CaseInsensitive));
    }

    void theAddressComesFromTheEnvironmentTheSettingOrTheDefault() {
        Rig r;
        QCOMPARE(r.check.ServerAddress(), r.server.url("/dl/"));
        qputenv("STAVELY_UPDATE_URL", r.server.url("/env").toLatin1());
        QCOMPARE(r.check.ServerAddress(), r.server.url("/env/"));
        r.server.responses["/env/versions.txt"] = LocalServer::ok("STAVELY,1.05,a,b,c\n");
        r.op.answer(1);
        r.check.checkForNewerVersion();
        QCOMPARE(r.server.requested, QList<QByteArray>{"/env/versions.txt"});
        qunsetenv("STAVELY_UPDATE_URL");

        r.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("UpdateServer"), QString());
        QCOMPARE(r.check.ServerAddress(), QStringLiteral("https://downloads.corvane.example/stavely/"));

        // Only web addresses are fetched.
        r.store.saveText(QStringLiteral("STAVELY"), QStringLiteral("UpdateServer"),
                         QStringLiteral("file:///etc"));
        r.op.answer(1);
        r.check.checkForNewerVersion();
        QCOMPARE(r.op.last().text,
                 errorText(
                     "The version server address is not an http or https address: file:///etc/versions.txt"));
    }
};

STAVELY_TEST(UpdateCheckTest)
#include "UpdateCheckTest.moc"
