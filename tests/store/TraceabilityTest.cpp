#include "store/PasswordHash.h"
#include "store/Signatures.h"
#include "store/StoreTexts.h"
#include "store/TraceabilityTexts.h"
#include "store/Users.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QDirIterator>
#include <QTest>

namespace Tr = TraceabilityTexts;

namespace {
// Every byte the store keeps on disc (the database, its write-ahead log and anything beside them).
QByteArray everythingWritten(const QString& folder) {
    QByteArray all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

QStringList kinds(ResultsDatabase& db) {
    QStringList out;
    const QList<AuditEvent> events = db.eventsAfter(0, 1000).value_or(QList<AuditEvent>());
    for (const AuditEvent& e : events)
        out << e.kind;
    return out;
}
} // namespace

// Users and signatures kept in a real store file beside its results.
class TraceabilityTest : public QObject {
    Q_OBJECT
private slots:
    // The first user is the administrator whatever was asked; after that only an administrator adds
    // users. Five wrong passwords lock a user out (recorded), during which even the right one is
    // refused; the lock runs out. No password is kept in any form but its slow hash.
    void usersRolesAndLockOut() {
        StoreRig rig;
        ResultsDatabase db;
        QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
        Users users(db, QStringLiteral("lab"));
        QVERIFY2(users.ready(), qPrintable(users.error()));
        QDateTime now = QDateTime::fromString(QStringLiteral("2026-03-02T08:00:00Z"), Qt::ISODate);
        users.setClock([&now] { return now; });
        QCOMPARE(*users.signInOn(), false);

        const QByteArray adminPassword = "Kestrel-4417";
        const QByteArray reviewerPassword = "pale blue capstan";
        QVERIFY(!users.add(QStringLiteral("ann"), Tr::RoleOperator, "short", {}));
        QCOMPARE(users.error(), Tr::ShortPassword.arg(Users::MinPasswordLength));
        QVERIFY(!users.add(QStringLiteral(" ann"), Tr::RoleOperator, adminPassword, {}));
        QVERIFY2(users.add(QStringLiteral("ann"), Tr::RoleOperator, adminPassword, {}),
                 qPrintable(users.error()));
        QCOMPARE((*users.find(QStringLiteral("ann")))->role, Tr::RoleAdmin);
        QCOMPARE(*users.signInOn(), true);
        // Now an administrator is needed, and names are unique whatever their case.
        QVERIFY(!users.add(QStringLiteral("rob"), Tr::RoleReviewer, reviewerPassword, {}));
        QCOMPARE(users.error(), Tr::NeedsAdmin);
        QVERIFY(users.add(QStringLiteral("rob"), Tr::RoleReviewer, reviewerPassword, QStringLiteral("ann")));
        QVERIFY(
            !users.add(QStringLiteral("carl"), Tr::RoleOperator, reviewerPassword, QStringLiteral("rob")));
        QVERIFY(!users.add(QStringLiteral("ROB"), Tr::RoleOperator, reviewerPassword, QStringLiteral("ann")));
        QCOMPARE(users.error(), Tr::UserExists.arg(QStringLiteral("rob")));

        QCOMPARE(users.signIn(QStringLiteral("rob"), reviewerPassword, QStringLiteral("test")).outcome,
                 Users::Outcome::Accepted);
        QCOMPARE(users.signIn(QStringLiteral("nobody"), reviewerPassword, QStringLiteral("test")).outcome,
                 Users::Outcome::UnknownUser);
        for (int attempt = 1; attempt <= Users::MaxFailures; ++attempt) {
            const Users::SignIn wrong =
                users.signIn(QStringLiteral("rob"), "pale blue capstam", QStringLiteral("sign"));
            QVERIFY2(wrong.outcome == Users::Outcome::WrongPassword, qPrintable(wrong.message));
            QCOMPARE(wrong.attemptsLeft, Users::MaxFailures - attempt);
        }
        const Users::SignIn locked =
            users.signIn(QStringLiteral("rob"), reviewerPassword, QStringLiteral("sign"));
        QCOMPARE(locked.outcome, Users::Outcome::LockedOut);
        QCOMPARE(locked.message,
                 Tr::LockedOut.arg(QStringLiteral("rob"), QStringLiteral("2026-03-02 08:15")).arg(5));
        now = now.addSecs(14 * 60);
        QCOMPARE(users.signIn(QStringLiteral("rob"), reviewerPassword, {}).outcome,
                 Users::Outcome::LockedOut);
        now = now.addSecs(2 * 60);
        QCOMPARE(users.signIn(QStringLiteral("rob"), reviewerPassword, {}).outcome, Users::Outcome::Accepted);
        // A success clears the count: four more wrong ones do not lock.
        for (int attempt = 1; attempt < Users::MaxFailures; ++attempt)
            users.signIn(QStringLiteral("rob"), "wrong password", {});
        QCOMPARE(users.signIn(QStringLiteral("rob"), reviewerPassword, {}).outcome, Users::Outcome::Accepted);

        // Every refusal and the lock-out are in the trail, which still verifies.
        const QStringList trail = kinds(db);
        QCOMPARE(trail.count(Tr::EventUserAdded), 2);
        QCOMPARE(trail.count(Tr::EventSignInRefused), 1 + 5 + 2 + 4);
        QCOMPARE(trail.count(Tr::EventUserLocked), 1);
        QVERIFY(db.verify().intact);

        db.close();
        const QByteArray disc = everythingWritten(rig.dir.path());
        QVERIFY(disc.contains("$argon2id$"));
        for (const QByteArray& password : {adminPassword, reviewerPassword})
            QVERIFY2(!disc.contains(password), password.constData());
        QVERIFY(!PasswordHash::Matches("$argon2id$v=19$m=65536,t=2,p=1$bogus", adminPassword));
        QVERIFY(!PasswordHash::Matches(adminPassword, adminPassword));
    }

    // A signature covers exactly the results it names: a change to one of them breaks it (and says by
    // which change), results added, changed or removed beside them do not; the trail stays intact and
    // a signature's own entry cannot be altered unseen.
    void signatureCoversExactlyWhatWasSigned() {
        StoreRig rig;
        ResultsDatabase db;
        QVERIFY2(db.open(rig.storePath), qPrintable(db.error()));
        const QString file = rig.dataFile(QStringLiteral("batch.dat"), 4);
        const QString other = rig.dataFile(QStringLiteral("other.dat"), 2);
        QVERIFY(db.reconcile(file, rig.rows(file), QStringLiteral("import"), false));
        QVERIFY(db.reconcile(other, rig.rows(other), QStringLiteral("import"), false));
        Signatures signatures(db);
        QVERIFY(
            !signatures.sign(other, QStringLiteral("rob"), QStringLiteral("lab"), QStringLiteral("ok"), {}));
        QVERIFY(!signatures.sign(rig.dir.filePath(QStringLiteral("none.dat")), QStringLiteral("rob"),
                                 QStringLiteral("lab"), Tr::MeaningApproved, {}));

        const std::optional<Signature> made =
            signatures.sign(file, QStringLiteral("rob"), QStringLiteral("lab"), Tr::MeaningApproved,
                            QStringLiteral("batch 7 released"));
        QVERIFY2(made, qPrintable(signatures.error()));
        QCOMPARE(made->items.size(), 4);
        QCOMPARE(made->name, QStringLiteral("rob"));
        QVERIFY(made->valid);
        QCOMPARE(made->sha256, Signatures::Digest(signatures.current(file)->items));

        struct Step {
            const char* what;
            std::function<bool()> change;
            bool valid;
        };
        const std::vector<Step> steps = {
            {"another file's result",
             [&] { return db.commentEdited(other, 1, SheetRig::result(1, QStringLiteral("ignore")), {}); },
             true},
            {"a later row of the file",
             [&] {
                 QFile append(file);
                 return append.open(QIODevice::Append) &&
                        append.write(SheetRig::line(SheetRig::result(5))) > 0 &&
                        (append.close(),
                         db.reconcile(file, rig.rows(file), QStringLiteral("reconcile"), true));
             },
             true},
            {"the later row deleted",
             [&] { return db.rowDeleted(file, 5, DataLine::FileLine(SheetRig::result(5))); }, true},
            {"a signed row's comment",
             [&] { return db.commentEdited(file, 3, SheetRig::result(3, QStringLiteral("slipped")), {}); },
             false},
        };
        for (const Step& step : steps) {
            QVERIFY2(step.change(), step.what);
            const std::optional<QList<Signature>> now = signatures.of(file);
            QVERIFY2(now && now->size() == 1, step.what);
            QVERIFY2(now->first().valid == step.valid,
                     qPrintable(QString::fromLatin1(step.what) + QLatin1String(": ") + now->first().state));
        }
        const Signature broken = signatures.of(file)->first();
        QVERIFY2(broken.state.startsWith(QStringLiteral("broken by the change of row 3 on ")),
                 qPrintable(broken.state));
        QVERIFY2(broken.state.endsWith(QStringLiteral("(") + StoreTexts::EventComment + QStringLiteral(": ") +
                                       Tr::NoReason + QLatin1Char(')')),
                 qPrintable(broken.state));
        // Signed again; a change made with its reason: the signature names the reason, and the row's
        // history holds it right after the change.
        QVERIFY(signatures.sign(file, QStringLiteral("rob"), QStringLiteral("lab"), Tr::MeaningReviewed, {}));
        QVERIFY(db.commentEdited(file, 1, SheetRig::result(1, QStringLiteral("re-measured")), {},
                                 QStringLiteral("diameter typed wrong")));
        const Signature second = signatures.of(file)->last();
        QVERIFY2(!second.valid &&
                     second.state.startsWith(QStringLiteral("broken by the change of row 1 on ")) &&
                     second.state.endsWith(QStringLiteral(" (comment edited: diameter typed wrong)")),
                 qPrintable(second.state));
        QVERIFY(signatures.of(file)->first().state.startsWith(
            QStringLiteral("broken by the change of row 3 on ")));
        const QList<AuditEvent> history = *db.history(file, 1);
        QCOMPARE(history.last().kind, Tr::EventReason);
        QCOMPARE(history.last().after, QStringLiteral("diameter typed wrong"));
        QCOMPARE(history[history.size() - 2].kind, StoreTexts::EventComment);
        QVERIFY(
            db.rowDeleted(file, 4, DataLine::FileLine(SheetRig::result(4)), QStringLiteral("wrong fiber")));
        QCOMPARE(kinds(db).last(), Tr::EventReason);
        QVERIFY(db.verify().intact);

        // The signature's entry altered in the store: the chain finds it.
        QVERIFY(rig.tamper(
            QStringLiteral(
                "UPDATE events SET after = replace(after, 'approved', 'rejected') WHERE kind = '") +
            Tr::EventSigned + QLatin1Char('\'')));
        QVERIFY(!db.verify().intact);
    }

    // A store from before users and signatures gains their tables in place: nothing of it is lost, its
    // trail verifies, and a store whose users were written by a newer program is not touched.
    void olderStoreUpgradedInPlace() {
        StoreRig rig;
        const QString file = rig.dataFile(QStringLiteral("old.dat"), 6);
        qint64 results = 0, events = 0;
        {
            ResultsDatabase db;
            QVERIFY(db.open(rig.storePath));
            QVERIFY(db.reconcile(file, rig.rows(file), QStringLiteral("import"), false));
            QVERIFY(db.commentEdited(file, 2, SheetRig::result(2, QStringLiteral("ignore")), {}));
            results = db.count(QStringLiteral("results"));
            events = db.count(QStringLiteral("events"));
        }
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        Users users(db, QStringLiteral("lab"));
        QVERIFY2(users.ready(), qPrintable(users.error()));
        QVERIFY(users.ready());
        QCOMPARE(*users.signInOn(), false);
        QCOMPARE(users.idleLockMinutes(), Users::DefaultIdleMinutes);
        QCOMPARE(db.count(QStringLiteral("results")), results);
        QCOMPARE(db.count(QStringLiteral("events")), events);
        QVERIFY(db.verify().intact);
        QVERIFY(users.add(QStringLiteral("ann"), Tr::RoleAdmin, "Kestrel-4417", {}));
        QVERIFY(users.setIdleLockMinutes(5, QStringLiteral("ann")));
        QCOMPARE(users.idleLockMinutes(), 5);
        QVERIFY(
            Signatures(db).sign(file, QStringLiteral("ann"), QStringLiteral("lab"), Tr::MeaningReviewed, {}));
        QVERIFY(db.verify().intact);
        db.close();

        QVERIFY(rig.tamper(QStringLiteral("UPDATE meta SET value = '99' WHERE key = 'users_version'")));
        QVERIFY(db.open(rig.storePath));
        Users newer(db, QStringLiteral("lab"));
        QVERIFY(!newer.ready());
    }
};

STAVELY_TEST(TraceabilityTest)
#include "TraceabilityTest.moc"
