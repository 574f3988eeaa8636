#include "instrument/LoadCell.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
LoadCalibration calibrated(qint16 channel, double slope, double intercept) {
    LoadCalibration r;
    r.SerialNumber = QStringLiteral("LC-7");
    r.Channel = channel;
    r.Slope = CalField::number(slope);
    r.SlopeError = CalField::number(0.012);
    r.Intercept = CalField::number(intercept);
    r.InterceptError = CalField::number(0.25);
    r.FitB = CalField::number(1.5);
    r.FitBErr = CalField::number(0.3);
    r.MeanLoad = CalField::number(9.81);
    r.ZeroOffset = CalField::number(0);
    return r;
}
} // namespace

class LoadCellTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    std::unique_ptr<SettingsStore> freshStore() {
        static int n = 0;
        return std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("s%1.ini").arg(++n)));
    }

private slots:
    void recordTextRoundTripsExactly() {
        const LoadCalibration r = calibrated(1, 50.96839959225280, 100.00000000000003);
        LoadCalibration back;
        QVERIFY(TextToRecord(RecordToText(r), back));
        QVERIFY(back == r);
        QCOMPARE(RecordToText(LoadCalibration::uncalibrated(0)),
                 QStringLiteral("\"\",0,------,------,------,------,------,------,------,"));
    }

    void nineFieldsReadWithZeroTare() {
        LoadCalibration r = LoadCalibration::uncalibrated(2);
        QVERIFY(TextToRecord(QStringLiteral("\"A1\",0,50.5,0.1,100,0.5,1,0.1,5"), r));
        QCOMPARE(r.SerialNumber, QStringLiteral("A1"));
        QVERIFY(r.ZeroOffset.numeric);
        QCOMPARE(r.ZeroOffset.value, 0.0);
        QVERIFY(IsCalibrated(r));
    }

    void badLinesLeaveTheRecord() {
        const LoadCalibration before = calibrated(0, 50, 100);
        for (const char* line : {"", "\"x\",0,1,2", "\"x\",0,1,2,3,4,5,6,7,8,9", "\"x\",zero,50,1,1,1,1,1,1,",
                                 "\"x\",0,------,1,1,1,1,1,1,"}) {
            LoadCalibration r = before;
            QVERIFY2(!TextToRecord(QString::fromLatin1(line), r), line);
            QVERIFY(r == before);
        }
    }

    void zeroSlopeErrorIsNotCalibrated() {
        LoadCalibration r = calibrated(0, 50, 100);
        r.SlopeError = CalField::number(0);
        QVERIFY(!IsCalibrated(r));
        QCOMPARE(CalibrationText(r), QStringLiteral("uncalibrated"));
    }

    // A stored record whose slope cannot be right is no calibration: its channel is not used, its
    // loads read 0, and the note for the operator names it. The record itself is kept as stored.
    void storedSlopeMustBeUsable_data() {
        QTest::addColumn<QString>("slope");
        QTest::addColumn<bool>("usable");
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("negative") << "-50.9" << false;
        QTest::newRow("denormal") << "1e-320" << false;
        QTest::newRow("0.000001") << "0.000001" << false;
        QTest::newRow("smallest") << "0.00001" << true;
        QTest::newRow("ordinary") << "50.9" << true;
    }
    void storedSlopeMustBeUsable() {
        QFETCH(QString, slope);
        QFETCH(bool, usable);
        Parameters p;
        p.ADchannel = 0;
        auto store = freshStore();
        const QString stored =
            QStringLiteral("\"LC-7\",0,") + slope + QStringLiteral(",0.012,100,0.25,1.5,0.3,9.81,0");
        store->saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData0"), stored);
        store->saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData1"),
                        RecordToText(calibrated(1, 200, 90)));
        LoadCell cell(p, *store);
        cell.LoadCalibrations();
        QCOMPARE(IsCalibrated(cell.record(0)), usable);
        QCOMPARE(int(p.ADchannel), usable ? 0 : 1);
        QCOMPARE(cell.record(0).Slope.value, slope.toDouble()); // kept, to be written back as it was
        const QStringList notes = cell.UnusableCalibrations();
        if (usable) {
            QVERIFY(notes.isEmpty());
            return;
        }
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].startsWith(QStringLiteral("The stored calibration of channel 0 has a slope of ")),
                 qPrintable(notes[0]));
        QCOMPARE(CalibrationText(cell.record(0)), QStringLiteral("uncalibrated"));
        p.ADchannel = 0;
        cell.setLoadCountSource([] { return qint32(12800); });
        QCOMPARE(cell.ReadLoad(), 0.0);
    }

    void descriptionShowsInterceptWithTare() {
        LoadCalibration r = calibrated(0, 50.9684, 100);
        r.ZeroOffset = CalField::number(30);
        QCOMPARE(CalibrationText(r), QStringLiteral("Serial # LC-7:  slope 50.968 \u00B1 0.012 au/N,  "
                                                    "intercept 130.00 \u00B1 0.25 au"));
    }

    void nothingStoredLeavesChannelZeroAndNoLoad() {
        Parameters p;
        p.ADchannel = 2;
        auto store = freshStore();
        LoadCell cell(p, *store);
        cell.setLoadCountSource([] { return qint32(12800); });
        cell.LoadCalibrations();
        QCOMPARE(int(p.ADchannel), 0);
        for (int c = 0; c < 3; ++c)
            QVERIFY(!IsCalibrated(cell.record(c)));
        QCOMPARE(cell.ReadLoad(), 0.0);
    }

    void lowestCalibratedChannelIsChosen() {
        Parameters p;
        p.ADchannel = 0;
        auto store = freshStore();
        store->saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData1"),
                        RecordToText(calibrated(7, 200, 90)));
        store->saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationData2"),
                        RecordToText(calibrated(2, 800, 80)));
        LoadCell cell(p, *store);
        cell.LoadCalibrations();
        QCOMPARE(int(p.ADchannel), 1);
        QCOMPARE(int(cell.record(1).Channel), 1); // the key decides the channel, not the text
        p.ADchannel = 2;
        cell.LoadCalibrations();
        QCOMPARE(int(p.ADchannel), 2); // a calibrated stored channel is kept
    }

    void oldSingleKeyChoosesItsChannel() {
        Parameters p;
        auto store = freshStore();
        store->saveText(QStringLiteral("STAVELY"), QStringLiteral("CalibrationParms"),
                        RecordToText(calibrated(2, 800, 80)));
        LoadCell cell(p, *store);
        cell.LoadCalibrations();
        QCOMPARE(int(p.ADchannel), 2);
        QVERIFY(IsCalibrated(cell.record(2)));
    }

    void conversionsAndSampleSums() {
        Parameters p;
        auto store = freshStore();
        LoadCell cell(p, *store);
        cell.record(0) = calibrated(0, 50, 100);
        cell.record(0).ZeroOffset = CalField::number(30);
        QCOMPARE(cell.SignalToLoad(130, 0), 0.0);
        QCOMPARE(cell.SignalToLoad(630, 0), 10.0);
        QCOMPARE(int(cell.LoadToSignal(10.0)), 630);
        cell.setSamplesPerReading(128);
        cell.setLoadCountSource([] { return qint32(630 * 128); });
        QCOMPARE(cell.ReadSignal(), 630.0);
        QCOMPARE(cell.ReadLoad(), 10.0);
        cell.record(0).Slope = CalField::number(0); // a damaged record must not divide by zero
        QCOMPARE(cell.SignalToLoad(630, 0), 0.0);
    }

    void savedRecordsReadBack() {
        Parameters p;
        auto store = freshStore();
        LoadCell cell(p, *store);
        cell.record(0) = calibrated(0, 50.123456789, 99.5);
        cell.SaveCalibrations();
        SettingsStore reread(store->filePath());
        LoadCell other(p, reread);
        other.LoadCalibrations();
        QVERIFY(other.record(0) == cell.record(0));
    }
};

STAVELY_TEST(LoadCellTest)
#include "LoadCellTest.moc"
