#include "store/StoreExport.h"
#include "tests/store/StoreRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {
// Records of a CSV file as RFC 4180 reads them: a quoted field may hold commas, quotes (doubled)
// and line ends; outside quotes CR LF, LF or a lone CR ends a record.
QList<QStringList> csvRecords(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            records << (record << field);
            record.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        records << (record << field);
    return records;
}
struct Run {
    int exitCode = -1;
    QString out, err;
};

// The real program on the store beside `settings`.
Run stavely(const QString& settings, QStringList arguments) {
    QProcess p;
    arguments.prepend(settings);
    arguments.prepend(QStringLiteral("--settings"));
    p.start(programPath(), arguments);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray fingerprint(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray("none");
}

// The store's files in a folder: the store and whatever SQLite keeps beside it.
QStringList storeFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("STAVELY-results.sqlite*")}, QDir::Files);
}
} // namespace

// What the store's commands write and read can be trusted: an export reads back as the records it
// holds, every filter a command accepts filters, a store checks its own pages, nothing is written
// into a damaged store, and reading commands leave a store exactly as it was.
class StoreTrustTest : public QObject {
    Q_OBJECT
private slots:
    // Texts with line ends of every kind, commas and quotes (a data file's name may hold a CR) come
    // back from the CSV as they were, one record a result.
    void csvFieldsReadBackWhole() {
        QTemporaryDir dir;
        const QStringList texts{QStringLiteral("run\rA.dat"), QStringLiteral("two\nlines"),
                                QStringLiteral("a,b \"c\""), QStringLiteral("ends\r\n"),
                                QStringLiteral("plain")};
        const int columns = int(ResultsDatabase::ResultColumns().size());
        QList<ResultView> views;
        for (const QString& text : texts) {
            ResultView view;
            view.values.resize(columns);
            for (const char* column : {"uuid", "data_file", "comment", "sample", "conditions"})
                view.values[ResultView::IndexOf(QLatin1String(column))] = text;
            view.currentFields = SheetRig::result(1, text);
            view.inDataFile = true;
            views << view;
        }
        const QString csv = dir.filePath(QStringLiteral("out.csv"));
        QString error;
        const std::optional<qint64> written = StoreExport::Write(
            [&views](const std::function<bool(const ResultView&)>& take, QString*) {
                for (const ResultView& v : views)
                    take(v);
                return true;
            },
            csv, &error);
        QCOMPARE(written, 5);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> records = csvRecords(QString::fromUtf8(file.readAll()));
        QCOMPARE(records.size(), texts.size() + 1);
        const QStringList& names = records.front();
        for (qsizetype r = 1; r < records.size(); ++r) {
            QCOMPARE(records[r].size(), names.size());
            for (const char* name :
                 {"uuid", "data_file", "comment", "sample", "conditions", "current_comment"})
                QCOMPARE(records[r].at(names.indexOf(QLatin1String(name))), texts.at(r - 1));
        }
    }

    // A byte flipped in a page of the store's placements or of its trail: --audit-verify finds it (4),
    // an import and an export refuse (4) and say how to get back without losing the trail, and the
    // file is not changed by any of them. Filters of the export filter, unknown ones are refused.
    void damagedPagesAreFoundAndNothingIsWrittenIntoThem() {
        if (!QFileInfo::exists(programPath()))
            QSKIP("the stavely executable is not built");
        for (const char* table : {"placements", "events"}) {
            StoreRig rig;
            const QString settings = rig.dir.filePath(QStringLiteral("STAVELY.ini"));
            const QString store = rig.dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
            const QString data = rig.dataFile(QStringLiteral("batch7.dat"), 400);
            Run r = stavely(settings, {QStringLiteral("--db-import"), data});
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
            if (QLatin1String(table) == QLatin1String("placements")) {
                const QString csv = rig.dir.filePath(QStringLiteral("all.csv"));
                const QList<QPair<QStringList, QString>> filters{
                    {{}, QStringLiteral("400 results")},
                    {{QStringLiteral("--until"), QStringLiteral("2000-01-01")}, QStringLiteral("0 results")},
                    {{QStringLiteral("--since"), QStringLiteral("2000-01-01")},
                     QStringLiteral("400 results")},
                    {{QStringLiteral("--instrument"), QStringLiteral("NO-SUCH")},
                     QStringLiteral("0 results")},
                };
                for (const auto& [filter, written] : filters) {
                    r = stavely(settings, QStringList{QStringLiteral("--db-export"), csv} + filter);
                    QVERIFY2(r.exitCode == 0 && r.out.startsWith(written),
                             qPrintable(filter.join(' ') + r.out));
                }
                r = stavely(settings, {QStringLiteral("--db-export"), csv, QStringLiteral("--colour"),
                                       QStringLiteral("red")});
                QCOMPARE(r.exitCode, 2);
                QVERIFY(r.err.contains(QStringLiteral("Unknown argument \"--colour\"")));
            }
            // Every page is in the file itself (readers leave at most an empty log beside it).
            QCOMPARE(QFileInfo(store + QStringLiteral("-wal")).size(), 0);

            // The first byte of the table's top page says what kind of page it is.
            qint64 page = 0, pageSize = 0;
            {
                QSqlDatabase db =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
                db.setDatabaseName(store);
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
                QVERIFY(db.open());
                QSqlQuery q(db);
                QVERIFY(q.exec(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'")
                                   .arg(QLatin1String(table))) &&
                        q.next());
                page = q.value(0).toLongLong();
                QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
                pageSize = q.value(0).toLongLong();
                q = QSqlQuery();
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("pages"));
            QVERIFY(page > 1);
            {
                QFile file(store);
                QVERIFY(file.open(QIODevice::ReadWrite));
                QVERIFY(file.seek((page - 1) * pageSize));
                char kind = 0;
                QVERIFY(file.getChar(&kind));
                QVERIFY(file.seek((page - 1) * pageSize));
                QVERIFY(file.putChar(char(kind ^ 0x7F)));
            }
            const QByteArray damaged = fingerprint(store);

            r = stavely(settings, {QStringLiteral("--audit-verify")});
            QCOMPARE(r.exitCode, 4);
            QVERIFY2(r.out.startsWith(QStringLiteral("Audit trail broken: the store's pages are damaged (")),
                     qPrintable(r.out));
            QVERIFY(r.err.contains(QStringLiteral("--db-restore")));
            const QString csv = rig.dir.filePath(QStringLiteral("damaged.csv"));
            const QList<QStringList> refused{
                {QStringLiteral("--db-import"), rig.dataFile(QStringLiteral("batch8.dat"), 300)},
                {QStringLiteral("--db-export"), csv}};
            for (const QStringList& command : refused) {
                r = stavely(settings, command);
                QVERIFY2(r.exitCode == 4, qPrintable(command.first() + r.err));
                QVERIFY2(r.err.startsWith(QStringLiteral("The results store \"%1\" is damaged (").arg(store)),
                         qPrintable(r.err));
                QVERIFY(r.err.contains(QStringLiteral("Keep the file as it is")));
            }
            QVERIFY(!QFileInfo::exists(csv));
            QCOMPARE(fingerprint(store), damaged);
        }
    }

    // Reading commands never create or change a store: a missing or empty store is said to be so,
    // and a store on a read-only medium or a full disc is verified and exported as it lies. An import
    // that the full disc rolls back leaves no log behind to hold the disc.
    void readingCommandsLeaveTheStoreAsItLies() {
        if (!QFileInfo::exists(programPath()))
            QSKIP("the stavely executable is not built");
        StoreRig rig;
        const QString settings = rig.dir.filePath(QStringLiteral("STAVELY.ini"));
        const QString store = rig.dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        const QString csv = rig.dir.filePath(QStringLiteral("out.csv"));
        const QList<QStringList> reading{{QStringLiteral("--audit-verify")},
                                         {QStringLiteral("--db-export"), csv},
                                         {QStringLiteral("--history"), store, QStringLiteral("1")}};
        for (const QStringList& command : reading) {
            Run r = stavely(settings, command);
            QCOMPARE(r.exitCode, 2);
            QVERIFY2(r.err.startsWith(QStringLiteral("No results store at")), qPrintable(r.err));
            QCOMPARE(storeFiles(rig.dir.path()), QStringList());
            QFile(store).open(QIODevice::WriteOnly);
            r = stavely(settings, command);
            QCOMPARE(r.exitCode, 2);
            QCOMPARE(r.err.trimmed(),
                     QStringLiteral("The results store \"%1\" is empty (0 bytes): it holds no "
                                    "results and no audit trail.")
                         .arg(store));
            QCOMPARE(storeFiles(rig.dir.path()), QStringList{QStringLiteral("STAVELY-results.sqlite")});
            QCOMPARE(QFileInfo(store).size(), 0);
            QFile::remove(store);
        }
        QVERIFY(!QFileInfo::exists(csv));

#ifdef Q_OS_LINUX
        // A small real disc of its own: only the superuser may mount one.
        if (::geteuid() != 0)
            QSKIP("mounting a small disc needs the superuser");
        QTemporaryDir disc;
        const QByteArray where = QFile::encodeName(disc.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=3m") != 0)
            QSKIP("no small disc could be mounted");
        const QString onDisc = disc.filePath(QStringLiteral("STAVELY.ini"));
        const QString discStore = disc.filePath(QStringLiteral("STAVELY-results.sqlite"));
        Run r = stavely(onDisc, {QStringLiteral("--db-import"), rig.dataFile(QStringLiteral("b1.dat"), 300)});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray whole = fingerprint(discStore);
        // Full: an import fails and gives its log back; the reading commands still read.
        r = stavely(onDisc, {QStringLiteral("--db-import"), rig.dataFile(QStringLiteral("b2.dat"), 20000)});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(QFileInfo(discStore + QStringLiteral("-wal")).size() == 0);
        {
            QFile fill(disc.filePath(QStringLiteral("fill")));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(64 * 1024, 'x');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }
        auto readsAsItLies = [&](const char* state) {
            QFile::remove(csv);
            Run v = stavely(onDisc, {QStringLiteral("--audit-verify")});
            QVERIFY2(v.exitCode == 0 && v.out.startsWith(QStringLiteral("Audit trail intact:")),
                     qPrintable(state + v.out + v.err));
            v = stavely(onDisc, {QStringLiteral("--db-export"), csv});
            QVERIFY2(v.exitCode == 0 && v.out.startsWith(QStringLiteral("300 results written")),
                     qPrintable(state + v.out + v.err));
            QCOMPARE(fingerprint(discStore), whole);
        };
        readsAsItLies("full disc: ");
        QVERIFY(::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=3m") == 0);
        readsAsItLies("read-only disc: ");
        QCOMPARE(::umount(where.constData()), 0);
#endif
    }
};

STAVELY_TEST(StoreTrustTest)
#include "StoreTrustTest.moc"
