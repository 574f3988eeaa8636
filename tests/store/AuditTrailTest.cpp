#include "store/AuditTrail.h"
#include "store/StoreTexts.h"
#include "store/frmAuditTrail.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

namespace T = StoreTexts;

// The audit trail as a person reads it: a row's story, a data file's, the option changes that
// belong to no row, with the reasons the entries give.
class AuditTrailTest : public QObject {
    Q_OBJECT
private slots:
    void scopesAndReasons() {
        StoreRig rig;
        const QString a = rig.dataFile(QStringLiteral("B7.dat"), 0);
        const QString b = rig.dataFile(QStringLiteral("C1.dat"), 0);
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            db.setWho(QStringLiteral("lab"), QStringLiteral("Ann"));
            QVERIFY(db.addEvent(T::EventOption, {}, QStringLiteral("GaugeLength=500"),
                                QStringLiteral("GaugeLength=400")));
            for (int n = 1; n <= 4; ++n) {
                StoredResult r;
                r.uuid = QStringLiteral("t%1").arg(n);
                r.dataFile = n <= 3 ? a : b;
                r.rowNumber = n <= 3 ? n : 1;
                r.fields = SheetRig::result(n, n == 1 ? QStringLiteral("broken in the grip") : QString());
                r.origin = QStringLiteral("test");
                QVERIFY2(db.addResult(r), qPrintable(db.error()));
            }
            QVERIFY(db.commentEdited(a, 2, SheetRig::result(2, QStringLiteral("ignore: slipped")), {}));
            QVERIFY(db.rowDeleted(
                a, 1, DataLine::FileLine(SheetRig::result(1, QStringLiteral("broken in the grip")))));
        }
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        struct Case {
            AuditTrail::Scope scope;
            QString file;
            int row;
            QStringList kinds;
        };
        const QList<Case> cases{
            {AuditTrail::Scope::Settings, {}, 0, {T::EventOption}},
            {AuditTrail::Scope::DataFile,
             a,
             0,
             {T::EventAdded, T::EventAdded, T::EventAdded, T::EventIgnore, T::EventDeleted}},
            {AuditTrail::Scope::DataFile, b, 0, {T::EventAdded}},
            // Row 2 was row 1 before the deletion: its result's whole story.
            {AuditTrail::Scope::Row, a, 1, {T::EventAdded, T::EventIgnore}},
            {AuditTrail::Scope::Whole,
             {},
             0,
             {T::EventOption, T::EventAdded, T::EventAdded, T::EventAdded, T::EventAdded, T::EventIgnore,
              T::EventDeleted}},
        };
        QList<AuditEvent> fileA;
        for (const Case& c : cases) {
            QString error;
            const std::optional<QList<AuditEvent>> events =
                AuditTrail::Read(db, c.scope, c.file, c.row, &error);
            QVERIFY2(events, qPrintable(error));
            QStringList kinds;
            for (const AuditEvent& e : *events)
                kinds << e.kind;
            QCOMPARE(kinds, c.kinds);
            if (c.scope == AuditTrail::Scope::DataFile && c.file == a)
                fileA = *events;
        }
        QCOMPARE(AuditTrail::Reason(fileA[3]), QStringLiteral("slipped"));
        QCOMPARE(AuditTrail::Reason(fileA[4]), QStringLiteral("broken in the grip"));
        QVERIFY(AuditTrail::Reason(fileA[0]).isEmpty());
        QVERIFY(AuditTrail::Line(fileA[4]).endsWith(QStringLiteral("\treason \"broken in the grip\"")));

        // The window: the row's story first, then whatever Show offers.
        frmAuditTrail window(rig.storePath);
        window.Show(a, 1);
        QCOMPARE(window.cboScope->count(), 4);
        QCOMPARE(window.cboScope->itemText(0), QStringLiteral("Row 1 of B7.dat"));
        QCOMPARE(window.grdTrail->rowCount(), 2);
        QCOMPARE(window.grdTrail->item(1, 1)->text(), T::EventIgnore);
        QCOMPARE(window.grdTrail->item(1, 8)->text(), QStringLiteral("slipped"));
        window.cboScope->setCurrentIndex(2);
        QCOMPARE(window.grdTrail->rowCount(), 1);
        QCOMPARE(window.grdTrail->item(0, 6)->text(), QStringLiteral("GaugeLength=500"));
        QCOMPARE(window.grdTrail->item(0, 7)->text(), QStringLiteral("GaugeLength=400"));
        QVERIFY(window.lblStatus->text().endsWith(rig.storePath));
        window.cboScope->setCurrentIndex(1);
        QCOMPARE(window.grdTrail->rowCount(), 5);
        // A deleted row's line is cut in its cell and whole in the tip.
        QTableWidgetItem* line = window.grdTrail->item(4, 6);
        QVERIFY(line->text().endsWith(QStringLiteral("...")));
        QCOMPARE(line->toolTip(),
                 DataLine::FileLine(SheetRig::result(1, QStringLiteral("broken in the grip"))));
    }
};

STAVELY_TEST(AuditTrailTest)
#include "AuditTrailTest.moc"
