#pragma once

#include <QString>
#include <QStringList>

// The command-line options of users and signatures:
//   stavely --user-add NAME --role operator|reviewer|admin [--as ADMIN]
//   stavely --users
//   stavely --sign DATAFILE --as NAME --meaning reviewed|approved|rejected [--note TEXT]
//   stavely --signatures DATAFILE
//   stavely --idle-lock MINUTES --as ADMIN
// Passwords are never options: they are read from standard input.
struct TraceabilityOptions {
    QString userAdd;
    QString role;
    QString as;
    bool users = false;
    QString signFile;
    QString meaning;
    QString note;
    QString signaturesFile;
    int idleLock = 0;

    bool any() const {
        return !userAdd.isEmpty() || users || !signFile.isEmpty() || !signaturesFile.isEmpty() ||
               idleLock != 0;
    }
    static bool Asks(const QStringList& arguments);
    // Takes the option at arguments[i] (and its values, moving i past them): 1 taken, 0 not one of
    // these, -1 wrong (error says why).
    static int Take(const QStringList& arguments, qsizetype& i, TraceabilityOptions& options, QString* error);
    // Whether the options taken make one command (error says why not).
    bool complete(QString* error) const;
};
