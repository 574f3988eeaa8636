#include "app/frmMain.h"
#include "instrument/LoadCell.h"
#include "store/ResultsStore.h"
#include "store/StoreTexts.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTest>

namespace T = StoreTexts;

// The whole program on the simulator: a break goes to the data file and the store with its record
// and context, an edit is recorded, and a data file changed while the program was away is told.
class StoreFlowTest : public QObject {
    Q_OBJECT
private slots:
    void breakEditAndReopen() {
        DefaultFiberRig rig;
        const QList<QPair<QString, QString>> settings = {
            {QStringLiteral("ExptType"), QStringLiteral("1")},
            {QStringLiteral("ExptStressRate"), QStringLiteral("600")},
            {QStringLiteral("PreloadType"), QStringLiteral("0")},
            {QStringLiteral("Operator"), QStringLiteral("Ann Lee")},
            {QStringLiteral("Sample"), QStringLiteral("B7")}};
        QVERIFY(rig.start(settings));
        rig.breakFiber();
        QVERIFY(rig.plotsSeen);
        QCOMPARE(rig.resultLines().size(), 1);
        Datasheet& sheet = rig.program->datasheet();
        sheet.SetComment(0, QStringLiteral("ignore: broke at the capstan"), QString());
        // Test parameters typed into the main window: one entry per value taken, none per key and
        // none for a value typed again unchanged.
        frmMain& main = *rig.program->mainWindow();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        const QString gaugeWas = QString::number(double(rig.program->parameters().GaugeLength), 'g', 10);
        for (const auto& [box, text] :
             {std::pair{"txtLoadGap", "450"}, std::pair{"txtLoadGap", "450"}, std::pair{"txtRate1", "60"}}) {
            auto* edit = main.findChild<QLineEdit*>(QLatin1String(box));
            QVERIFY(edit && edit->isEnabled());
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QLatin1String(text));
            QTest::keyClick(edit, Qt::Key_Tab);
        }
        QCOMPARE(rig.program->parameters().GaugeLength, 450.0f);
        // The longest hold decides which holds are run-outs: its change is told like the others.
        rig.program->parameters().StaticMaxHold = 1.5;
        emit main.parametersSaved();
        ResultsStore& store = rig.program->resultsStore();
        QTRY_COMPARE(store.waiting(), 0);
        const QString storePath = store.path();
        QCOMPARE(QFileInfo(storePath).absolutePath(), QFileInfo(rig.dataFile()).absolutePath());
        const QString dataFile = QFileInfo(rig.dataFile()).absoluteFilePath();
        {
            ResultsDatabase db;
            QVERIFY(db.open(storePath));
            QList<ResultView> found;
            db.forEachResult({}, [&](const ResultView& view) {
                found << view;
                return true;
            });
            QCOMPARE(found.size(), 1);
            const ResultView& r = found[0];
            QCOMPARE(r.text(QStringLiteral("origin")), QStringLiteral("test"));
            QCOMPARE(r.text(QStringLiteral("sample")), QStringLiteral("B7"));
            QCOMPARE(r.text(QStringLiteral("operator")), QStringLiteral("Ann Lee"));
            QCOMPARE(r.text(QStringLiteral("calibration_serial")), QStringLiteral("SIM-2041"));
            QVERIFY(!r.text(QStringLiteral("firmware")).isEmpty());
            QVERIFY(r.text(QStringLiteral("parameters")).contains(QStringLiteral("ExptStressRate=600")));
            // The default fiber breaks near 5 GPa; its record has the samples of the pull.
            QVERIFY2(r.number(QStringLiteral("stress_mpa")).value_or(0) > 3000,
                     qPrintable(r.text("stress_mpa")));
            QVERIFY(r.number(QStringLiteral("record_samples")).value_or(0) > 20);
            QVERIFY(db.record(r.text(QStringLiteral("uuid"))).contains(QLatin1Char('\t')));
            QCOMPARE(r.currentFields.value(15), QStringLiteral("ignore: broke at the capstan"));
            const auto story = db.history(dataFile, 1);
            QVERIFY(story && story->size() == 2);
            QCOMPARE(story->at(1).kind, T::EventIgnore);
            QCOMPARE(story->at(1).operatorName, QStringLiteral("Ann Lee"));
            QVERIFY(db.verify().intact);
            QStringList options;
            QSqlDatabase read =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("options"));
            read.setDatabaseName(storePath);
            QVERIFY(read.open());
            QSqlQuery q(read);
            QVERIFY(q.exec(
                QStringLiteral("SELECT before, after, operator FROM events WHERE kind = '%1' ORDER BY seq")
                    .arg(T::EventOption)));
            while (q.next())
                options << q.value(0).toString() + QStringLiteral(" > ") + q.value(1).toString() +
                               QStringLiteral(" by ") + q.value(2).toString();
            QCOMPARE(options,
                     QStringList({QStringLiteral("GaugeLength=%1 > GaugeLength=450 by Ann Lee").arg(gaugeWas),
                                  QStringLiteral("ExptStressRate=600 > ExptStressRate=60 by Ann Lee"),
                                  QStringLiteral("StaticMaxHold=0 > StaticMaxHold=1.5 by Ann Lee")}));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("options"));

        // Closed, the file edited in a spreadsheet, opened again: one message, nothing added twice.
        rig.program.reset();
        QFile file(rig.dataFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        const QStringList fields = rig.resultLines().at(0).split(QLatin1Char(','));
        bytes.replace(fields[3].toLatin1(), "1234.5");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        // The position kept, as when the rig started.
        rig.sim.update(
            [](SimInstrument& instrument) { instrument.receive("s000007D0\r", instrument.now()); });
        auto scripted = std::make_unique<ScriptedOperator>();
        ScriptedOperator* op = scripted.get();
        ProgramOptions options;
        options.settingsFile = rig.dir.filePath(QStringLiteral("Corvane.ini"));
        options.instanceName =
            QStringLiteral("stavely-store-flow-") + QUuid::createUuid().toString(QUuid::Id128).left(8);
        rig.program = std::make_unique<Program>(options, std::move(scripted));
        rig.program->setEndHook([](const ProgramEnded& how) { throw how; });
        op->answer(MsgResult::Yes); // the position the instrument kept
        op->answer(MsgResult::Ok);  // the changed row
        QVERIFY(rig.program->start() == Program::Started::Running);
        QTRY_VERIFY(!op->prompts.isEmpty() && op->last().title == T::ChangedOutsideTitle);
        QVERIFY2(op->last().text.contains(QStringLiteral("row 1: ") + T::EventChangedOutside),
                 qPrintable(op->last().text));
        QTRY_COMPARE(rig.program->resultsStore().waiting(), 0);
        ResultsDatabase db;
        QVERIFY(db.open(storePath));
        QCOMPARE(db.count(QStringLiteral("results")), 1);
        QVERIFY(db.verify().intact);
    }
};

STAVELY_TEST(StoreFlowTest)
#include "StoreFlowTest.moc"
