#include "app/TraceabilityOptions.h"

namespace {
const QStringList Valued = {QStringLiteral("--user-add"),   QStringLiteral("--role"),
                            QStringLiteral("--as"),         QStringLiteral("--sign"),
                            QStringLiteral("--meaning"),    QStringLiteral("--note"),
                            QStringLiteral("--signatures"), QStringLiteral("--idle-lock")};
}

bool TraceabilityOptions::Asks(const QStringList& arguments) {
    for (const char* flag : {"--user-add", "--users", "--sign", "--signatures", "--idle-lock"})
        if (arguments.contains(QLatin1String(flag)))
            return true;
    return false;
}

int TraceabilityOptions::Take(const QStringList& arguments, qsizetype& i, TraceabilityOptions& options,
                              QString* error) {
    const QString& arg = arguments[i];
    if (arg == QStringLiteral("--users")) {
        options.users = true;
        return 1;
    }
    if (!Valued.contains(arg))
        return 0;
    // A note may start with anything but "--"; names and files too.
    if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
        *error = arg + QStringLiteral(" needs a value.");
        return -1;
    }
    const QString value = arguments[++i];
    if (arg == QStringLiteral("--user-add"))
        options.userAdd = value;
    else if (arg == QStringLiteral("--role"))
        options.role = value;
    else if (arg == QStringLiteral("--as"))
        options.as = value;
    else if (arg == QStringLiteral("--sign"))
        options.signFile = value;
    else if (arg == QStringLiteral("--meaning"))
        options.meaning = value;
    else if (arg == QStringLiteral("--note"))
        options.note = value;
    else if (arg == QStringLiteral("--signatures"))
        options.signaturesFile = value;
    else {
        bool ok = false;
        options.idleLock = value.toInt(&ok);
        if (!ok || options.idleLock < 1 || options.idleLock > 24 * 60) {
            *error = QStringLiteral("--idle-lock needs a number of minutes from 1 to 1440.");
            return -1;
        }
    }
    return 1;
}

bool TraceabilityOptions::complete(QString* error) const {
    const int commands = int(!userAdd.isEmpty()) + int(users) + int(!signFile.isEmpty()) +
                         int(!signaturesFile.isEmpty()) + int(idleLock != 0);
    if (commands > 1) {
        *error =
            QStringLiteral("--user-add, --users, --sign, --signatures and --idle-lock go one at a time.");
        return false;
    }
    if (!userAdd.isEmpty() && role.isEmpty()) {
        *error = QStringLiteral("--user-add needs --role operator|reviewer|admin.");
        return false;
    }
    if (!signFile.isEmpty() && (as.isEmpty() || meaning.isEmpty())) {
        *error = QStringLiteral("--sign needs --as NAME and --meaning reviewed|approved|rejected.");
        return false;
    }
    if (idleLock != 0 && as.isEmpty()) {
        *error = QStringLiteral("--idle-lock needs --as ADMIN.");
        return false;
    }
    if (commands == 0 && (!role.isEmpty() || !as.isEmpty() || !meaning.isEmpty() || !note.isEmpty())) {
        *error =
            QStringLiteral("--role, --as, --meaning and --note go with --user-add, --sign or --idle-lock.");
        return false;
    }
    return true;
}
