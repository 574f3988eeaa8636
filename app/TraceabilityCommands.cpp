#include "app/TraceabilityCommands.h"

#include "app/ProgramOptions.h"
#include "app/StoreCommands.h"
#include "results/DataFileRows.h"
#include "results/DataLine.h"
#include "store/PasswordHash.h"
#include "store/ResultsDatabase.h"
#include "store/ResultsStore.h"
#include "store/Signatures.h"
#include "store/StoreTexts.h"
#include "store/TraceabilityTexts.h"
#include "store/Users.h"

#include <QDir>
#include <QFileInfo>
#include <array>

#if defined(Q_OS_UNIX)
#include <termios.h>
#include <unistd.h>
#endif

namespace Tr = TraceabilityTexts;

namespace {
void sayLine(std::FILE* to, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

// One line of standard input, without its line end; echo is off while a terminal types it.
std::optional<QByteArray> readPassword(std::FILE* in, std::FILE* err, const QString& prompt) {
    // A script's passwords come without prompts; a person at a terminal sees one, typing unseen.
    bool prompted = true;
#if defined(Q_OS_UNIX)
    termios saved{};
    const int fd = fileno(in);
    const bool terminal = isatty(fd) && tcgetattr(fd, &saved) == 0;
    prompted = terminal;
#endif
    if (prompted) {
        const QByteArray p = prompt.toUtf8();
        std::fwrite(p.constData(), 1, std::size_t(p.size()), err);
        std::fflush(err);
    }
#if defined(Q_OS_UNIX)
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
#endif
    std::array<char, 1024> buffer{};
    const bool got = std::fgets(buffer.data(), int(buffer.size()), in) != nullptr;
#if defined(Q_OS_UNIX)
    if (terminal) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputc('\n', err);
    }
#endif
    QByteArray line(got ? buffer.data() : "");
    std::fill(buffer.begin(), buffer.end(), '\0');
    if (!got)
        return std::nullopt;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

QString signedFileKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

struct StoreSession {
    ResultsDatabase db;
    std::optional<Users> users;
};

bool openUsersStore(StoreSession& s, const QString& path, bool create, std::FILE* err) {
    if (!create && !QFileInfo::exists(path)) {
        sayLine(err, QStringLiteral("No results store at \"") + path + QStringLiteral("\" yet."));
        return false;
    }
    if (!s.db.open(path)) {
        sayLine(err, QStringLiteral("Cannot use the results store: ") + s.db.error() + QStringLiteral(". ") +
                         StoreTexts::RebuildHint);
        return false;
    }
    s.users.emplace(s.db, ResultsStore::SystemUser());
    if (!s.users->ready()) {
        sayLine(err, QStringLiteral("Cannot use the results store: ") + s.users->error());
        return false;
    }
    return true;
}

// Signs in name with a password read from in: 0 accepted, else the exit code (the reason on err).
int signIn(Users& users, const QString& name, const QString& purpose, std::FILE* in, std::FILE* err,
           UserInfo* who) {
    std::optional<QByteArray> password = readPassword(in, err, QStringLiteral("Password of %1: ").arg(name));
    if (!password) {
        sayLine(err, QStringLiteral("No password on standard input."));
        return 2;
    }
    const Users::SignIn result = users.signIn(name, *password, purpose);
    PasswordHash::Wipe(*password);
    if (result.outcome == Users::Outcome::Failed) {
        sayLine(err, QStringLiteral("Cannot use the results store: ") + result.message);
        return 2;
    }
    if (result.outcome != Users::Outcome::Accepted) {
        sayLine(err, result.message);
        return 6;
    }
    *who = result.user;
    return 0;
}

int userAdd(const ProgramOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
    const TraceabilityOptions& o = options.trace;
    if (const QString bad = Users::CheckName(o.userAdd); !bad.isEmpty()) {
        sayLine(err, bad);
        return 2;
    }
    if (!Users::Roles().contains(o.role)) {
        sayLine(err, QStringLiteral("--role is operator, reviewer or admin."));
        return 2;
    }
    StoreSession s;
    if (!openUsersStore(s, StoreCommands::StorePath(options), true, err))
        return 2;
    const std::optional<bool> on = s.users->signInOn();
    if (!on) {
        sayLine(err, s.users->error());
        return 2;
    }
    QString admin;
    if (*on) {
        if (o.as.isEmpty()) {
            sayLine(err, Tr::NeedsAdmin);
            return 6;
        }
        UserInfo who;
        if (const int code = signIn(*s.users, o.as, QStringLiteral("add user ") + o.userAdd, in, err, &who))
            return code;
        if (who.role != Tr::RoleAdmin) {
            sayLine(err, Tr::NotAllowed.arg(who.name, who.role, QStringLiteral("add users")));
            return 6;
        }
        admin = who.name;
    }
    std::optional<QByteArray> first =
        readPassword(in, err, QStringLiteral("New password of %1: ").arg(o.userAdd));
    std::optional<QByteArray> again =
        first ? readPassword(in, err, QStringLiteral("New password of %1 again: ").arg(o.userAdd))
              : std::nullopt;
    const bool same = first && again && *first == *again;
    int code = 0;
    if (!first || !again) {
        sayLine(err, QStringLiteral("No password on standard input (twice)."));
        code = 2;
    } else if (!same) {
        sayLine(err, Tr::PasswordsDiffer);
        code = 2;
    } else if (!s.users->add(o.userAdd, o.role, *first, admin)) {
        sayLine(err, s.users->error());
        code = 2;
    }
    if (first)
        PasswordHash::Wipe(*first);
    if (again)
        PasswordHash::Wipe(*again);
    if (code != 0)
        return code;
    const std::optional<std::optional<UserInfo>> added = s.users->find(o.userAdd);
    const QString role = added && *added ? (*added)->role : o.role;
    sayLine(out,
            QStringLiteral("User %1 added (%2)").arg(o.userAdd, role) +
                (*on ? QString() : QStringLiteral(": the first user, the administrator; sign-in is on")));
    return 0;
}

int listUsers(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    StoreSession s;
    if (!openUsersStore(s, StoreCommands::StorePath(options), false, err))
        return 2;
    const std::optional<QList<UserInfo>> users = s.users->list();
    if (!users) {
        sayLine(err, s.users->error());
        return 2;
    }
    if (users->isEmpty())
        sayLine(out, QStringLiteral("No users: sign-in is off (the first user added is the administrator)."));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const UserInfo& u : *users) {
        const QDateTime until = QDateTime::fromString(u.lockedUntil, Qt::ISODate);
        sayLine(out,
                u.name + QLatin1Char('\t') + u.role + QStringLiteral("\tsince ") + u.createdUtc +
                    (until.isValid() && until > now ? QStringLiteral("\tlocked out until ") + u.lockedUntil
                                                    : QString()));
    }
    sayLine(out, QStringLiteral("Idle lock: %1 minutes").arg(s.users->idleLockMinutes()));
    return 0;
}

QString describeSignature(const Signature& sig) {
    QString line = sig.utc + QLatin1Char('\t') + sig.meaning + QStringLiteral("\tby ") + sig.name +
                   QStringLiteral("\t%1 results\tsha256 ").arg(sig.items.size()) +
                   QString::fromLatin1(sig.sha256);
    if (!sig.note.isEmpty())
        line += QStringLiteral("\tnote \"") + sig.note + QLatin1Char('"');
    return line + QLatin1Char('\t') + sig.state;
}

int sign(const ProgramOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
    const TraceabilityOptions& o = options.trace;
    if (!Signatures::Meanings().contains(o.meaning)) {
        sayLine(err, QStringLiteral("--meaning is reviewed, approved or rejected."));
        return 2;
    }
    const QString file = signedFileKey(o.signFile);
    QString error;
    const std::optional<std::vector<DataRow>> rows = ReadDataFileRows(o.signFile, &error);
    if (!rows) {
        sayLine(err, QStringLiteral("Cannot read \"") + o.signFile + QStringLiteral("\": ") + error);
        return 2;
    }
    StoreSession s;
    if (!openUsersStore(s, StoreCommands::StorePath(options), false, err))
        return 2;
    const std::optional<bool> on = s.users->signInOn();
    if (!on || !*on) {
        sayLine(err,
                on ? QStringLiteral("No users: add one with --user-add before signing.") : s.users->error());
        return on ? 6 : 2;
    }
    UserInfo who;
    if (const int code = signIn(*s.users, o.as, QStringLiteral("sign ") + file, in, err, &who))
        return code;
    if (who.role == Tr::RoleOperator) {
        sayLine(err, Tr::NotAllowed.arg(who.name, who.role, QStringLiteral("sign")));
        return 6;
    }
    Signatures signatures(s.db);
    // What is signed is what the data file shows: a file changed since the store last saw it is taken
    // in first.
    const std::optional<Signatures::Current> now = signatures.current(file);
    if (!now) {
        sayLine(err, signatures.error());
        return 2;
    }
    QStringList fileLines;
    for (const DataRow& row : *rows)
        fileLines.append(DataLine::FileLine(row));
    if (fileLines != now->lines) {
        sayLine(err,
                QStringLiteral("The data file \"%1\" differs from the results store: run stavely --db-import "
                               "\"%1\" first, then sign.")
                    .arg(o.signFile));
        return 2;
    }
    const std::optional<Signature> made =
        signatures.sign(file, who.name, ResultsStore::SystemUser(), o.meaning, o.note);
    if (!made) {
        sayLine(err, signatures.error());
        return 2;
    }
    sayLine(out, QStringLiteral("Signed: ") + describeSignature(*made));
    return 0;
}

int listSignatures(const ProgramOptions& options, std::FILE* out, std::FILE* err) {
    StoreSession s;
    if (!openUsersStore(s, StoreCommands::StorePath(options), false, err))
        return 2;
    Signatures signatures(s.db);
    const std::optional<QList<Signature>> all = signatures.of(signedFileKey(options.trace.signaturesFile));
    if (!all) {
        sayLine(err, signatures.error());
        return 2;
    }
    if (all->isEmpty())
        sayLine(out, QStringLiteral("No signatures of %1").arg(options.trace.signaturesFile));
    bool broken = false;
    for (const Signature& sig : *all) {
        sayLine(out, describeSignature(sig));
        broken = broken || !sig.valid;
    }
    return broken ? 4 : 0;
}

int idleLock(const ProgramOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
    StoreSession s;
    if (!openUsersStore(s, StoreCommands::StorePath(options), false, err))
        return 2;
    UserInfo who;
    if (const int code =
            signIn(*s.users, options.trace.as, QStringLiteral("set the idle lock"), in, err, &who))
        return code;
    if (!s.users->setIdleLockMinutes(options.trace.idleLock, who.name)) {
        sayLine(err, s.users->error());
        return who.role == Tr::RoleAdmin ? 2 : 6;
    }
    sayLine(out, QStringLiteral("Idle lock: %1 minutes").arg(options.trace.idleLock));
    return 0;
}
} // namespace

int TraceabilityCommands::Run(const ProgramOptions& options, std::FILE* in, std::FILE* out, std::FILE* err) {
    const TraceabilityOptions& o = options.trace;
    if (!o.userAdd.isEmpty())
        return userAdd(options, in, out, err);
    if (o.users)
        return listUsers(options, out, err);
    if (!o.signFile.isEmpty())
        return sign(options, in, out, err);
    if (!o.signaturesFile.isEmpty())
        return listSignatures(options, out, err);
    if (o.idleLock != 0)
        return idleLock(options, in, out, err);
    return 2;
}
