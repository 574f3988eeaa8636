#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class ResultsDatabase;

// One result as a signature covers it: its identity, the row it stood in when signed and the
// SHA-256 of its stored values and of its row as the data file holds it.
struct SignedItem {
    int row = 0;
    QString uuid;
    QByteArray sha256; // hex
};

// A signature as the audit trail holds it, and whether what it covers is still as signed.
struct Signature {
    qint64 seq = 0;
    QString utc;
    QString name;
    QString meaning;
    QString note;
    QString dataFile;
    QByteArray sha256; // hex, over the items in the order of their identities
    QList<SignedItem> items;
    bool valid = false;
    QString state; // "valid" or how it was broken
};

// Signatures of a data file's results: an entry of the audit trail (so in the hash chain and sent to
// the lab database with the rest) that names the signer, the meaning, a note and the hash of exactly
// the results signed. A later change to one of them leaves the signature standing, marked broken.
class Signatures {
public:
    explicit Signatures(ResultsDatabase& db);
    QString error() const { return m_error; }

    static const QStringList& Meanings();
    // The results the store places in the data file now, in row order, with their current lines
    // (nullopt: the store failed).
    struct Current {
        QList<SignedItem> items;
        QStringList lines;
    };
    std::optional<Current> current(const QString& dataFile);
    // The hash of a set of signed results, taken in the order of their identities.
    static QByteArray Digest(QList<SignedItem> items);

    // Signs what the store holds of the data file now in signer's name (who must have signed in).
    std::optional<Signature> sign(const QString& dataFile, const QString& signer, const QString& systemUser,
                                  const QString& meaning, const QString& note);
    // The signatures of a data file in the order they were made, each with its state.
    std::optional<QList<Signature>> of(const QString& dataFile);
    // A signature as a report prints it: meaning, signer, time, results and state.
    static QString ReportLine(const Signature& signature);
    // The report lines of a data file's signatures in the store at storePath (none without a store).
    static QStringList ReportLines(const QString& storePath, const QString& dataFile);
    // The signatures that cover one result, wherever its data file.
    std::optional<QList<Signature>> ofResult(const QString& resultUuid);
    // Every signature of the store, data file by data file.
    std::optional<QList<Signature>> all();

private:
    std::optional<QByteArray> itemHash(const QString& dataFile, const QString& uuid, int* row);
    // The first change to a signed result after signing: its place in the trail and how it reads.
    std::pair<qint64, QString> brokenBy(const Signature& s, const SignedItem& item);
    bool fail(const QString& what);

    ResultsDatabase& m_db;
    QString m_error;
};
