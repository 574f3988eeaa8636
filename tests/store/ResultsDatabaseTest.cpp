#include "store/StoreExport.h"
#include "store/StoreTexts.h"
#include "tests/store/StoreRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace T = StoreTexts;

class ResultsDatabaseTest : public QObject {
    Q_OBJECT
private slots:
    // A data file compared with the store: rows taken once, a row a kill left out taken in, rows
    // changed, removed or put in outside the program listed and recorded, the chain intact.
    void reconcileTakesEveryRowOnce() {
        StoreRig rig;
        ResultsDatabase db;
        QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
        const QString file = rig.dataFile(QStringLiteral("run1.dat"), 5);
        auto report = db.reconcile(file, rig.rows(file), QStringLiteral("import"), false);
        QVERIFY(report && report->firstSeen);
        QCOMPARE(report->added, 5);
        report = db.reconcile(file, rig.rows(file), QStringLiteral("import"), false);
        QVERIFY(report && !report->firstSeen);
        QCOMPARE(report->added, 0);
        QVERIFY(report->changes.isEmpty());

        // Killed between the two writes: the file has a sixth row the store lacks.
        QFile append(file);
        QVERIFY(append.open(QIODevice::Append));
        append.write(SheetRig::line(SheetRig::result(6)));
        append.close();
        report = db.reconcile(file, rig.rows(file), QStringLiteral("reconcile"), true);
        QCOMPARE(report->added, 1);
        QVERIFY(report->changes.isEmpty());

        // A spreadsheet saved over it: row 2's stress changed, a row put in after row 3, the last
        // row gone.
        QByteArray bytes = SheetRig::header();
        for (int n : {1, 2, 3, 4, 5}) {
            QStringList fields = SheetRig::result(n);
            if (n == 2)
                fields[3] = QStringLiteral("9999");
            bytes += SheetRig::line(fields);
            if (n == 3)
                bytes += SheetRig::line(SheetRig::result(77));
        }
        QFile over(file);
        QVERIFY(over.open(QIODevice::WriteOnly));
        over.write(bytes);
        over.close();
        report = db.reconcile(file, rig.rows(file), QStringLiteral("reconcile"), true);
        QVERIFY(report);
        // Rows 4 and 5 moved down by one: only the changed, the new and the lost rows are told.
        QCOMPARE(report->changes, QStringList({QStringLiteral("row 2: ") + T::EventChangedOutside,
                                               QStringLiteral("row 4: ") + T::EventAddedOutside,
                                               QStringLiteral("row 6: ") + T::EventRemovedOutside}));
        QVERIFY(StoreRig::rowsOnce(db, file).isEmpty());
        report = db.reconcile(file, rig.rows(file), QStringLiteral("reconcile"), true);
        QVERIFY(report->changes.isEmpty());
        const VerifyOutcome outcome = db.verify();
        QVERIFY2(outcome.intact, qPrintable(outcome.broken));
        QCOMPARE(outcome.results, 7);

        // The row changed outside has its story: added, then changed with both texts.
        const auto story = db.history(file, 2);
        QVERIFY(story && story->size() == 2);
        QCOMPARE(story->at(0).kind, T::EventAdded);
        QCOMPARE(story->at(1).kind, T::EventChangedOutside);
        QVERIFY(story->at(1).after.contains(QStringLiteral("9999")));
    }

    // A row kept as the file's bytes hashes as its text does, so that the store finds a row again
    // whichever way it came (a result of a test, a line read from the file).
    void rowsHashAsTheirText() {
        QString everyCharacter;
        for (int b = 1; b < 256; ++b)
            everyCharacter += QChar(Cp1252::decodeByte(static_cast<unsigned char>(b)));
        const QStringList narrow = SheetRig::result(3, everyCharacter);
        QStringList wide = narrow;
        wide[16] = QStringLiteral("\u03bc \u2192");
        for (const QStringList& fields : {narrow, wide})
            QCOMPARE(ResultsDatabase::LineHash(DataRow(3, fields)), ResultsDatabase::LineHash(fields));
    }

    // Each kind of tampering is found, at the entry where it shows.
    void tamperingIsFound_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("found");
        QTest::newRow("a stored stress changed")
            << "UPDATE results SET stress_mpa = stress_mpa + 1 WHERE row_number = 2"
            << "row 2 (entry 3)";
        QTest::newRow("the line of a result changed")
            << "UPDATE results SET line = replace(line, '4812', '4813') WHERE row_number = 2"
            << "row 2 (entry 3)";
        QTest::newRow("one entry deleted") << "DELETE FROM events WHERE seq = 3"
                                           << "(entry 4)";
        QTest::newRow("two entries swapped")
            << "UPDATE events SET seq = 100 WHERE seq = 3; UPDATE events SET seq = 3 WHERE seq = 4; "
               "UPDATE events SET seq = 4 WHERE seq = 100"
            << "(entry 3)";
        QTest::newRow("the last entry deleted") << "DELETE FROM events WHERE seq = 7"
                                                << "the end of the audit trail";
        QTest::newRow("a result put in")
            << "INSERT INTO results SELECT 99, 'forged', data_file, file_identity, "
               "row_number, line, specimen, total_load_n, glass_load_n, stress_mpa, "
               "strain_percent, nominal_rate, nominal_rate_value, nominal_rate_unit, "
               "speed_um_s, speed_spread_um_s, strain_rate_percent_min, "
               "strain_rate_spread_percent_min, stress_rate_mpa_s, "
               "stress_rate_spread_mpa_s, time_to_break_s, tested_at, comment, "
               "conditions, operator, sample, parameters, calibration_serial, "
               "calibration_slope, calibration_date, program_version, host, firmware, "
               "recorded_utc, origin, record_samples, record_sha256, identity FROM results "
               "WHERE row_number = 1"
            << "put in outside the program";
        QTest::newRow("a record changed") << "UPDATE records SET data = zeroblob(40)"
                                          << "load/time record";
    }
    void tamperingIsFound() {
        QFETCH(QString, sql);
        QFETCH(QString, found);
        StoreRig rig;
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            db.setWho(QStringLiteral("lab"), QStringLiteral("Ann"));
            QVERIFY(db.addEvent(T::EventOption, {}, QStringLiteral("GaugeLength=500"),
                                QStringLiteral("GaugeLength=400")));
            const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
            for (int n = 1; n <= 5; ++n) {
                StoredResult r;
                r.uuid = QStringLiteral("uuid-%1").arg(n);
                r.dataFile = file;
                r.rowNumber = n;
                r.fields = SheetRig::result(n);
                r.origin = QStringLiteral("test");
                r.record = QStringLiteral("1\t0.1\t2.5\t200\t0.3\t500\r\n");
                QVERIFY2(db.addResult(r), qPrintable(db.error()));
            }
            QVERIFY(db.commentEdited(file, 2, SheetRig::result(2, QStringLiteral("ignore")), {}));
            const VerifyOutcome clean = db.verify();
            QVERIFY2(clean.intact, qPrintable(clean.broken));
            QCOMPARE(clean.events, 7);
        }
        QVERIFY(rig.tamper(sql));
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        const VerifyOutcome outcome = db.verify();
        QVERIFY(!outcome.intact);
        QVERIFY2(outcome.broken.contains(found), qPrintable(outcome.broken));
    }

    // A test's result, then every edit: recorded in order, rows following the deletion, the save
    // under a new name keeping the results, the export carrying it all with units.
    void editsAreRecordedAndExported() {
        StoreRig rig;
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        db.setWho(QStringLiteral("lab"), QStringLiteral("Ann"));
        const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
        for (int n = 1; n <= 3; ++n) {
            StoredResult r;
            r.uuid = QStringLiteral("u%1").arg(n);
            r.dataFile = file;
            r.rowNumber = n;
            r.fields = SheetRig::result(n);
            r.fields[16] += n == 3 ? QStringLiteral(" operator:Ann sample:B7") : QString();
            r.origin = QStringLiteral("test");
            r.context.calibrationSerial = QStringLiteral("SIM-2041");
            r.context.calibrationSlope = 51;
            QVERIFY(db.addResult(r));
            // Handed over twice (a retry): nothing added the second time.
            QVERIFY(db.addResult(r));
        }
        QCOMPARE(db.count(QStringLiteral("results")), 3);
        QVERIFY(db.commentEdited(file, 3, SheetRig::result(3, QStringLiteral("ignore: slipped")), {}));
        QVERIFY(db.rowDeleted(file, 1, DataLine::FileLine(SheetRig::result(1))));
        // Row 3 is row 2 now.
        const auto story = db.history(file, 2);
        QVERIFY(story);
        QStringList kinds;
        for (const AuditEvent& e : *story)
            kinds << e.kind;
        QCOMPARE(kinds, QStringList({T::EventAdded, T::EventIgnore}));
        QCOMPARE(story->at(1).operatorName, QStringLiteral("Ann"));
        QCOMPARE(story->at(1).systemUser, QStringLiteral("lab"));
        QCOMPARE(story->at(1).after, QStringLiteral("ignore: slipped"));
        const auto first = db.history(file, 1);
        QVERIFY(first && first->size() == 1);
        QCOMPARE(first->at(0).resultUuid, QStringLiteral("u2"));

        // Saved under a new name in sorted order: the same results, no new ones.
        const QString saved = rig.dir.filePath(QStringLiteral("saved.dat"));
        std::vector<DataRow> grid{DataRow(2, SheetRig::result(3, QStringLiteral("ignore: slipped"))),
                                  DataRow(1, SheetRig::result(2))};
        QVERIFY(db.savedAs(file, saved, grid));
        auto report = db.reconcile(saved, grid, QStringLiteral("reconcile"), true);
        QVERIFY(report && report->added == 0 && report->changes.isEmpty());
        QCOMPARE(db.count(QStringLiteral("results")), 3);
        QVERIFY(db.verify().intact);

        const QString json = rig.dir.filePath(QStringLiteral("out.json"));
        QString error;
        ResultFilter filter;
        filter.sample = QStringLiteral("B7");
        QCOMPARE(StoreExport::Write(db, filter, json, &error), 1);
        QFile in(json);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QJsonObject doc = QJsonDocument::fromJson(in.readAll()).object();
        QCOMPARE(doc.value(QStringLiteral("schema")).toString(), StoreExport::SchemaId);
        QCOMPARE(doc.value(QStringLiteral("units")).toObject().value(QStringLiteral("stress_MPa")).toString(),
                 QStringLiteral("MPa"));
        const QJsonObject result = doc.value(QStringLiteral("results")).toArray().at(0).toObject();
        QCOMPARE(result.value(QStringLiteral("stress_MPa")).toDouble(), 4812.0);
        QCOMPARE(result.value(QStringLiteral("operator")).toString(), QStringLiteral("Ann"));
        QCOMPARE(result.value(QStringLiteral("calibration_slope_au_per_N")).toDouble(), 51.0);
        QCOMPARE(result.value(QStringLiteral("tested_at")).toString(), QStringLiteral("2026-12-07T10:03:00"));
        QCOMPARE(result.value(QStringLiteral("current_comment")).toString(),
                 QStringLiteral("ignore: slipped"));
        QCOMPARE(result.value(QStringLiteral("in_data_file")).toBool(), true);
        // The shipped schema describes exactly what is written: every key it requires, no other key,
        // each number with the unit the export names.
        QFile schemaFile(QFINDTESTDATA("../../docs/results-export.schema.json"));
        QVERIFY(schemaFile.open(QIODevice::ReadOnly));
        const QJsonObject schema = QJsonDocument::fromJson(schemaFile.readAll()).object();
        QCOMPARE(doc.value(QStringLiteral("schema")).toString(), schema.value(QStringLiteral("properties"))
                                                                     .toObject()
                                                                     .value(QStringLiteral("schema"))
                                                                     .toObject()
                                                                     .value(QStringLiteral("const"))
                                                                     .toString());
        const QJsonObject items = schema.value(QStringLiteral("properties"))
                                      .toObject()
                                      .value(QStringLiteral("results"))
                                      .toObject()
                                      .value(QStringLiteral("items"))
                                      .toObject();
        const QJsonObject properties = items.value(QStringLiteral("properties")).toObject();
        QStringList required;
        for (const QJsonValue& key : items.value(QStringLiteral("required")).toArray())
            required << key.toString();
        QStringList written = result.keys();
        written.sort();
        required.sort();
        QCOMPARE(written, required);
        QStringList schemaKeys = properties.keys();
        schemaKeys.sort();
        QCOMPARE(written, schemaKeys);
        const QJsonObject units = doc.value(QStringLiteral("units")).toObject();
        for (const QString& key : units.keys())
            QCOMPARE(properties.value(key).toObject().value(QStringLiteral("x-unit")).toString(),
                     units.value(key).toString());
        // The first result was deleted from its file and is still exported, marked so.
        const QString csv = rig.dir.filePath(QStringLiteral("out.csv"));
        QCOMPARE(StoreExport::Write(db, {}, csv, &error), 3);
        QFile csvIn(csv);
        QVERIFY(csvIn.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csvIn.readAll().split('\n');
        QVERIFY(lines.at(1).contains(",0,"));
    }

    // The program's store stays whole while other programs use it: a second connection of the
    // program (the Results store window, the lab sender) and a command run meanwhile that opens and
    // closes the store (--audit-verify here) leave what the program writes next where all can read it.
    void otherProgramsLeaveTheStoreWhole() {
        StoreRig rig;
        const QString settings = rig.dir.filePath(QStringLiteral("STAVELY.ini"));
        const QString path = rig.dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
        auto result = [&](int n) {
            StoredResult r;
            r.uuid = QStringLiteral("w%1").arg(n);
            r.dataFile = file;
            r.rowNumber = n;
            r.fields = SheetRig::result(n);
            r.origin = QStringLiteral("test");
            return r;
        };
        auto verifiedElsewhere = [&] {
            QProcess verify;
            verify.start(programPath(),
                         {QStringLiteral("--settings"), settings, QStringLiteral("--audit-verify")});
            return verify.waitForFinished(30000) ? QString::fromUtf8(verify.readAllStandardOutput()).trimmed()
                                                 : QStringLiteral("no answer");
        };
        ResultsDatabase writer;
        QVERIFY(writer.open(path));
        QVERIFY(writer.addResult(result(1)));
        for (int n = 2; n <= 3; ++n) {
            {
                ResultsDatabase window;
                QVERIFY2(window.open(path), qPrintable(window.error()));
                QCOMPARE(window.count(QStringLiteral("results")), n - 1);
            }
            QCOMPARE(verifiedElsewhere(),
                     QStringLiteral("Audit trail intact: %1 entries, %1 results").arg(n - 1));
            QVERIFY2(writer.addResult(result(n)), qPrintable(writer.error()));
        }
        QCOMPARE(verifiedElsewhere(), QStringLiteral("Audit trail intact: 3 entries, 3 results"));
    }

    // A store that cannot be used says why in plain words; the file is left as it was.
    void unusableStoresAreNamed_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("pageLimit");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not SQLite") << QByteArray("N,Lt (N)\r\n1,2\r\n") << false << 0
                                    << "not a results store";
        QTest::newRow("damaged") << QByteArray("damage") << false << 0 << "damaged";
        QTest::newRow("read-only") << QByteArray() << true << 0 << "cannot be written (read-only)";
        QTest::newRow("full disc") << QByteArray() << false << 12 << "is full";
    }
    void unusableStoresAreNamed() {
        QFETCH(QByteArray, contents);
        QFETCH(bool, readOnly);
        QFETCH(int, pageLimit);
        QFETCH(QString, reason);
        StoreRig rig;
        if (!contents.isEmpty() || readOnly) {
            if (contents.isEmpty() || contents == "damage") {
                ResultsDatabase db;
                QVERIFY(db.open(rig.storePath));
            }
            QFile file(rig.storePath);
            if (contents == "damage") {
                // The table of tables overwritten in the middle of the first page.
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.seek(1000);
                file.write(QByteArray(3000, '\x5a'));
                file.close();
            } else if (!contents.isEmpty()) {
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(contents);
                file.close();
            }
            if (readOnly)
                file.setPermissions(QFileDevice::ReadOwner);
        }
        ResultsDatabase db;
        db.setPageLimit(pageLimit);
        bool ok = db.open(rig.storePath);
        if (ok) {
            // Results with their records until the disc is full.
            const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
            for (int n = 1; ok && n < 200; ++n) {
                StoredResult r;
                r.uuid = QString::number(n);
                r.dataFile = file;
                r.rowNumber = n;
                r.fields = SheetRig::result(n);
                r.record = QString::number(n).repeated(3000);
                r.origin = QStringLiteral("test");
                ok = db.addResult(r);
            }
        }
        QVERIFY(!ok);
        QVERIFY2(db.error().contains(reason), qPrintable(db.error()));
        QFile::setPermissions(rig.storePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
};

STAVELY_TEST(ResultsDatabaseTest)
#include "ResultsDatabaseTest.moc"
