#include "app/SignInTexts.h"
#include "app/frmMain.h"
#include "store/ResultsStore.h"
#include "store/Signatures.h"
#include "store/StoreTexts.h"
#include "store/TraceabilityTexts.h"
#include "store/Users.h"
#include "store/frmResultsStore.h"
#include "tests/e2e/DefaultFiberRig.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace Tr = TraceabilityTexts;

// The whole program on the simulator with users in its store: sign-in at start makes the signed-in
// user the operator of the result; a comment edit asks for a reason, which the trail keeps; a change
// made after a reviewer signed breaks the signature, named with its reason; a cancelled reason leaves
// the comment as it was.
class TraceabilityFlowTest : public QObject {
    Q_OBJECT
private slots:
    void signedInBreakEditWithReasonAndSignature() {
        DefaultFiberRig rig;
        const QByteArray adminPassword = "Kestrel-4417", operatorPassword = "olga-pulls-fibers";
        const QString storePath = rig.dir.filePath(QStringLiteral("STAVELY-results.sqlite"));
        {
            ResultsDatabase db;
            QVERIFY(db.open(storePath));
            Users users(db, QStringLiteral("lab"));
            QVERIFY(users.ready());
            QVERIFY(users.add(QStringLiteral("ann"), Tr::RoleAdmin, adminPassword, {}));
            QVERIFY(
                users.add(QStringLiteral("olga"), Tr::RoleOperator, operatorPassword, QStringLiteral("ann")));
            QVERIFY(users.add(QStringLiteral("rob"), Tr::RoleReviewer, adminPassword, QStringLiteral("ann")));
        }
        rig.moreAnswers = [&](ScriptedOperator& op) {
            op.answer(QStringLiteral("olga"));
            op.answer(QStringLiteral("olga-pulls-fiber")); // one letter short
            op.answer(int(MsgResult::Ok));
            op.answer(QStringLiteral("olga"));
            op.answer(QString::fromLatin1(operatorPassword));
        };
        QVERIFY(rig.start({{QStringLiteral("Operator"), QStringLiteral("Typed Name")},
                           {QStringLiteral("ExptType"), QStringLiteral("1")},
                           {QStringLiteral("ExptStressRate"), QStringLiteral("600")},
                           {QStringLiteral("PreloadType"), QStringLiteral("0")}}));
        QStringList kinds;
        for (const Prompt& p : rig.op->prompts)
            kinds << p.kind + QLatin1Char(' ') + p.title;
        QCOMPARE(kinds.mid(1),
                 QStringList({QStringLiteral("inputBox SIGN IN"), QStringLiteral("passwordBox SIGN IN"),
                              QStringLiteral("msgBox SIGN IN"), QStringLiteral("inputBox SIGN IN"),
                              QStringLiteral("passwordBox SIGN IN")}));
        auto* box = rig.program->mainWindow()->findChild<QLineEdit*>(QStringLiteral("txtOperator"));
        QVERIFY(box && box->isReadOnly());
        QCOMPARE(box->text(), QStringLiteral("olga"));
        auto* who = rig.program->mainWindow()->findChild<QLabel*>(QStringLiteral("lblSignedIn"));
        QVERIFY(who);
        QCOMPARE(who->text(), SignInTexts::SignedInAs(QStringLiteral("olga"), Tr::RoleOperator));

        rig.breakFiber();
        QCOMPARE(rig.resultLines().size(), 1);
        Datasheet& sheet = rig.program->datasheet();
        rig.op->answer(QString()); // an empty reason is asked again
        rig.op->answer(QStringLiteral("  broke at the capstan "));
        sheet.SetComment(0, QStringLiteral("ignore"), QString());
        QCOMPARE(rig.op->last().title, SignInTexts::ReasonTitle);
        QCOMPARE(rig.op->last().text,
                 SignInTexts::ReasonPrompt(1, QStringLiteral("comment \"\" changed to \"ignore\"")));
        ResultsStore& store = rig.program->resultsStore();
        QTRY_COMPARE(store.waiting(), 0);
        const QString dataFile = QFileInfo(rig.dataFile()).absoluteFilePath();

        ResultsDatabase db;
        QVERIFY(db.open(storePath));
        QString operatorName;
        db.forEachResult({}, [&](const ResultView& v) {
            operatorName = v.text(QStringLiteral("operator"));
            return true;
        });
        QCOMPARE(operatorName, QStringLiteral("olga"));
        QList<AuditEvent> story = *db.history(dataFile, 1);
        QCOMPARE(story.size(), 3);
        QCOMPARE(story[1].kind, StoreTexts::EventIgnore);
        QCOMPARE(story[1].operatorName, QStringLiteral("olga"));
        QCOMPARE(story[2].kind, Tr::EventReason);
        QCOMPARE(story[2].after, QStringLiteral("broke at the capstan"));

        Signatures signatures(db);
        QVERIFY(
            signatures.sign(dataFile, QStringLiteral("rob"), QStringLiteral("lab"), Tr::MeaningApproved, {}));
        // Cancelled: nothing changes, the signature holds.
        rig.op->cancel();
        sheet.SetComment(0, QStringLiteral("ignore: slipped"), QStringLiteral("ignore"));
        QCOMPARE(sheet.model().cell(0, DataLine::CommentsColumn), QStringLiteral("ignore"));
        QVERIFY(rig.resultLines().first().contains(QStringLiteral(",ignore,")));
        QVERIFY(signatures.of(dataFile)->first().valid);
        rig.op->answer(QStringLiteral("slipped in the grip"));
        sheet.SetComment(0, QStringLiteral("ignore: slipped"), QStringLiteral("ignore"));
        QTRY_COMPARE(store.waiting(), 0);
        const Signature broken = signatures.of(dataFile)->first();
        QVERIFY2(!broken.valid &&
                     broken.state.startsWith(QStringLiteral("broken by the change of row 1 on ")) &&
                     broken.state.endsWith(QStringLiteral(" by olga (comment edited: slipped in the grip)")),
                 qPrintable(broken.state));
        QVERIFY(db.verify().intact);
        // The Results store window shows the chosen result's signature and its state.
        frmResultsStore window(storePath);
        QCOMPARE(window.Search(), 1);
        window.ShowCurve(0);
        QCOMPARE(window.lblSignatures->text(), Signatures::ReportLine(broken));
        QVERIFY(rig.op->unexpected.isEmpty());
    }
};

STAVELY_TEST(TraceabilityFlowTest)
#include "TraceabilityFlowTest.moc"
