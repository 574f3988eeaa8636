#include "experiments/CalibrationFile.h"
#include "experiments/CalibrationTexts.h"
#include "params/Cp1252.h"
#include "tests/experiments/CalibrationRig.h"
#include "tests/support/TestRegistry.h"

#include <QFile>
#include <QTest>

namespace {
const QString Fields8 = QStringLiteral("\"LC-1\",0,50.9,0.02,100.1,0.3,600,0.1,10");

bool writeFile(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

// Calibration files: what is accepted, loading into the channel in use, saving.
class CalibrationFileTest : public QObject {
    Q_OBJECT
private slots:
    void acceptsOnlyWholeNumericRecords_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("9 fields") << Fields8 << true;
        QTest::newRow("10 fields") << Fields8 + QStringLiteral(",12.5") << true;
        QTest::newRow("empty tare") << Fields8 + QStringLiteral(",") << true;
        QTest::newRow("tare not a number") << Fields8 + QStringLiteral(",abc") << false;
        QTest::newRow("tare too large") << Fields8 + QStringLiteral(",1e999") << false;
        QTest::newRow("tare nan") << Fields8 + QStringLiteral(",nan") << false;
        QTest::newRow("11 fields") << Fields8 + QStringLiteral(",12.5,0") << false;
        QTest::newRow("8 fields") << Fields8.section(QLatin1Char(','), 0, 7) << false;
        QTest::newRow("text fit field")
            << QStringLiteral("\"LC-1\",0,50.9,0.02,100.1,------,600,0.1,10") << false;
        QTest::newRow("slope too small")
            << QStringLiteral("\"\",0,0.000009,0.02,100,0.3,600,0.1,10") << false;
        QTest::newRow("smallest slope") << QStringLiteral("\"\",0,0.00001,0.02,100,0.3,600,0.1,10") << true;
        QTest::newRow("channel 12") << QStringLiteral("\"\",12,50,0.02,100,0.3,600,0.1,10") << true;
        QTest::newRow("channel 13") << QStringLiteral("\"\",13,50,0.02,100,0.3,600,0.1,10") << false;
        QTest::newRow("channel -1") << QStringLiteral("\"\",-1,50,0.02,100,0.3,600,0.1,10") << false;
        QTest::newRow("line ends and blanks")
            << QStringLiteral("  ") + Fields8 + QStringLiteral("\r\n\r\n") << true;
        QTest::newRow("two lines") << Fields8 + QStringLiteral("\r\n") + Fields8 << false;
        QTest::newRow("empty") << QString() << false;
    }
    void acceptsOnlyWholeNumericRecords() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(CalibrationFile::parse(text).has_value(), accepted);
    }

    void nineFieldsMeanNoTare() {
        const auto nine = CalibrationFile::parse(Fields8);
        QCOMPARE(nine->SerialNumber, QStringLiteral("LC-1"));
        QCOMPARE(nine->ZeroOffset.value, 0.0);
        QVERIFY(nine->ZeroOffset.numeric);
        QCOMPARE(nine->Slope.value, 50.9);
        QCOMPARE(nine->MeanLoad.value, 10.0);
        const auto ten = CalibrationFile::parse(Fields8 + QStringLiteral(",12.5"));
        QCOMPARE(ten->ZeroOffset.value, 12.5);
    }

    // Cancelling, a file that is no calibration, and one that would not count as calibrated all leave
    // the channel as it was and say so; a good file replaces the channel in use.
    void loadingReplacesOnlyWithAGoodFile() {
        CalibrationRig rig;
        rig.params.ADchannel = 2;
        const LoadCalibration before = rig.cell.current();
        const QString bad = rig.dir.filePath(QStringLiteral("bad.cal"));
        const QString zeroError = rig.dir.filePath(QStringLiteral("zero.cal"));
        const QString good = rig.dir.filePath(QStringLiteral("good.cal"));
        QVERIFY(writeFile(bad, "\"LC-1\",0,50.9\r\n"));
        QVERIFY(writeFile(zeroError, "\"LC-1\",0,50.9,0,100.1,0.3,600,0.1,10\r\n"));
        QVERIFY(writeFile(good, Fields8.toLatin1() + "\r\n"));

        rig.op.cancel();
        rig.op.answer(MsgResult::Ok);
        rig.calibrator.LoadFromDisc();
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("READ CALIBRATION PARAMETERS FROM FILE"));
        QCOMPARE(rig.op.prompts[0].file.filter,
                 QStringLiteral("Calibration files (*.cal)|*.cal|All files (*.*)|*.*"));
        QCOMPARE(rig.op.last().text, QStringLiteral("Cancelled - no changes made"));
        QCOMPARE(rig.op.last().style, MsgStyle::OkOnly | MsgStyle::Information);

        for (const QString& name : {bad, zeroError, rig.dir.filePath(QStringLiteral("missing.cal"))}) {
            rig.op.answer(name);
            rig.op.answer(MsgResult::Ok);
            rig.calibrator.LoadFromDisc();
            QCOMPARE(rig.op.last().text, QStringLiteral("Invalid calibration information - no changes made"));
            QCOMPARE(rig.op.last().style, MsgStyle::OkOnly | MsgStyle::Exclamation);
            QVERIFY(rig.cell.current() == before);
        }

        rig.op.answer(good);
        rig.calibrator.LoadFromDisc();
        QCOMPARE(rig.op.remainingAnswers(), 0);
        QCOMPARE(rig.cell.current().SerialNumber, QStringLiteral("LC-1"));
        QCOMPARE(rig.cell.current().Channel, qint16(2));
        QCOMPARE(rig.cell.current().Intercept.value, 100.1);
        QVERIFY(!IsCalibrated(rig.cell.record(0)));
    }

    void savingWritesTheRecordOrSaysWhyNot() {
        CalibrationRig rig;
        rig.op.answer(MsgResult::Ok);
        rig.calibrator.SaveToDisc();
        QCOMPARE(rig.op.last().text,
                 QStringLiteral("The load cell is not calibrated - can not save calibration parameters"));
        QCOMPARE(rig.op.prompts.size(), 1);

        LoadCalibration r = CalibrationRig::record(0, 51.25, 99.5, QString::fromUtf8("Z\u00c4-7"));
        r.ZeroOffset = CalField::number(-3.5);
        rig.cell.current() = r;
        const QString name = rig.dir.filePath(QStringLiteral("saved.cal"));
        rig.op.answer(name);
        rig.calibrator.SaveToDisc();
        const FileDialogRequest& request = rig.op.last().file;
        QCOMPARE(rig.op.last().title, QStringLiteral("SAVE CALIBRATION PARAMETERS"));
        QVERIFY(request.confirmOverwrite);
        QCOMPARE(request.initialName, QString::fromUtf8("Z\u00c4-7.cal"));
        QFile f(name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\"Z\xc4-7\",0,51.25,0.05,99.5,0.5,600,0.2,10,-3.5\r\n"));

        rig.cell.current() = LoadCalibration::uncalibrated(0);
        rig.op.answer(name);
        rig.calibrator.LoadFromDisc();
        QVERIFY(rig.cell.current() == r);

        rig.cell.current() = r;
        rig.op.answer(rig.dir.filePath(QStringLiteral("no/such/folder/x.cal")));
        rig.op.answer(MsgResult::Ok);
        rig.calibrator.SaveToDisc();
        QCOMPARE(rig.op.last().title, QStringLiteral("ERROR WRITING CALIBRATION FILE"));
        QCOMPARE(rig.op.last().style, MsgStyle::OkOnly | MsgStyle::Critical);
        QVERIFY(rig.op.last().text.startsWith(QStringLiteral("Error ")));
        QVERIFY(rig.op.last().text.endsWith(
            QStringLiteral("\rencountered while writing calibration parameters.")));
    }

    // The file shipped for the simulated load cell reads back the simulator's own loads closely.
    void shippedFileFitsTheSimulatedCell() {
        const QString name = QFINDTESTDATA("../../data/SIM-2041.cal");
        QVERIFY(!name.isEmpty());
        const SimConfig sim;
        QVERIFY(name.endsWith(QString::fromLatin1(sim.loadCellSerial) + QStringLiteral(".cal")));
        const auto text = CalibrationFile::read(name);
        QVERIFY(text);
        const auto record = CalibrationFile::parse(*text);
        QVERIFY(record);
        QVERIFY(IsCalibrated(*record));
        QCOMPARE(record->SerialNumber, QString::fromLatin1(sim.loadCellSerial));
        QCOMPARE(record->Channel, qint16(0));

        CalibrationRig rig;
        rig.cell.record(0) = *record;
        for (double load : {1.0, 10.0, 50.0}) {
            const double signal = sim.intercept[0] + sim.gain[0] * load;
            QVERIFY2(std::abs(rig.cell.SignalToLoad(signal, 0) - load) < 0.01 * load,
                     qPrintable(QString::number(load)));
        }
    }
};

STAVELY_TEST(CalibrationFileTest)
#include "CalibrationFileTest.moc"
