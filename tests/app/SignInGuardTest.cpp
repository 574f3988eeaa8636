#include "app/SignInGuard.h"
#include "app/SignInTexts.h"
#include "store/ResultsDatabase.h"
#include "store/TraceabilityTexts.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

// The idle lock waits while work is in progress, then asks for a sign-in that may switch the user;
// without users nothing is asked at all.
class SignInGuardTest : public QObject {
    Q_OBJECT
private slots:
    void idleLockWaitsForWorkThenSwitches() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.sqlite"));
        ScriptedOperator op;
        {
            // A store without users: off, no question, no reason asked.
            ResultsDatabase db;
            QVERIFY(db.open(path));
        }
        SignInGuard off(op, path, QStringLiteral("lab"));
        QVERIFY(!off.on());
        QCOMPARE(off.askReason(3, QStringLiteral("row deleted")), std::optional<QString>(QString()));
        QVERIFY(op.prompts.isEmpty());
        {
            ResultsDatabase db;
            QVERIFY(db.open(path));
            Users users(db, QStringLiteral("lab"));
            QVERIFY(users.ready());
            QVERIFY(users.add(QStringLiteral("ann"), TraceabilityTexts::RoleAdmin, "Kestrel-4417", {}));
            QVERIFY(users.add(QStringLiteral("olga"), TraceabilityTexts::RoleOperator, "olga-pulls-fibers",
                              QStringLiteral("ann")));
        }
        SignInGuard guard(op, path, QStringLiteral("lab"));
        QVERIFY(guard.on());
        QStringList signedIn;
        guard.setSignedIn([&](const UserInfo& user) { signedIn << user.name; });
        bool busy = true;
        guard.setBusy([&] { return busy; });
        op.answer(QStringLiteral("olga"));
        op.answer(QStringLiteral("olga-pulls-fibers"));
        QVERIFY(guard.signIn(SignInTexts::SignInTitle));
        guard.setIdleMs(40);
        // A run in progress: the lock waits.
        QTest::qWait(300);
        QVERIFY(!guard.locked());
        QCOMPARE(op.prompts.size(), 2);
        // Idle at last: locked until someone signs in; ann takes over.
        op.answer(QStringLiteral("ann"));
        op.answer(QStringLiteral("Kestrel-4417"));
        busy = false;
        QTRY_COMPARE(signedIn.size(), 2);
        QCOMPARE(op.prompts[2].title, SignInTexts::LockedTitle);
        QCOMPARE(op.prompts[2].text, SignInTexts::LockedPrompt.arg(Users::DefaultIdleMinutes));
        QCOMPARE(op.prompts[2].buttons, QStringList({QStringLiteral("olga")})); // offered again
        QCOMPARE(signedIn, QStringList({QStringLiteral("olga"), QStringLiteral("ann")}));
        QVERIFY(!guard.locked());
        QCOMPARE(guard.user()->role, TraceabilityTexts::RoleAdmin);
        guard.setIdleMs(0);
    }
};

STAVELY_TEST(SignInGuardTest)
#include "SignInGuardTest.moc"
