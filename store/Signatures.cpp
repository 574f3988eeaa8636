#include "store/Signatures.h"

#include "store/AuditEvent.h"
#include "store/ResultsDatabase.h"
#include "store/TraceabilityTexts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace Tr = TraceabilityTexts;

namespace {
const QString PlacementOfResult = QStringLiteral(
    "SELECT p.row_number, p.line FROM placements p JOIN data_files f ON f.id = p.file_id WHERE f.path = ? "
    "AND p.result_uuid = ? ORDER BY p.row_number LIMIT 1");

QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool isSha256Hex(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(text).hasMatch();
}

// An item's hash: the result's stored values as the chain covers them and its row in the data file now
// (a removed row or a missing result each reads as a mark no line can give).
QByteArray itemDigest(const QString& uuid, const std::optional<QByteArray>& stored,
                      const std::optional<QString>& line) {
    CanonicalText text;
    text.add(uuid);
    if (stored)
        text.add(qint64(1)).add(*stored);
    else
        text.add(qint64(0));
    if (line)
        text.add(qint64(1)).add(*line);
    else
        text.add(qint64(0));
    return sha256Hex(text.bytes());
}

QString shortUtc(const QString& iso) {
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" UTC")
                       : iso;
}
} // namespace

Signatures::Signatures(ResultsDatabase& db) : m_db(db) {}

bool Signatures::fail(const QString& what) {
    m_error = what;
    return false;
}

const QStringList& Signatures::Meanings() {
    static const QStringList meanings = {Tr::MeaningReviewed, Tr::MeaningApproved, Tr::MeaningRejected};
    return meanings;
}

QByteArray Signatures::Digest(QList<SignedItem> items) {
    std::sort(items.begin(), items.end(),
              [](const SignedItem& a, const SignedItem& b) { return a.uuid < b.uuid; });
    CanonicalText text;
    text.add(QByteArrayLiteral("signed results 1")).add(qint64(items.size()));
    for (const SignedItem& item : items)
        text.add(item.uuid).add(item.sha256);
    return sha256Hex(text.bytes());
}

std::optional<Signatures::Current> Signatures::current(const QString& dataFile) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT p.row_number, p.result_uuid, p.line FROM placements p JOIN data_files f "
                             "ON f.id = p.file_id WHERE f.path = ? ORDER BY p.row_number"));
    q.addBindValue(dataFile);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    Current out;
    QList<std::pair<int, QString>> rows;
    while (q.next()) {
        rows.append({q.value(0).toInt(), q.value(1).toString()});
        out.lines.append(q.value(2).toString());
    }
    q.finish();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString& uuid = rows[i].second;
        out.items.append({rows[i].first, uuid, itemDigest(uuid, m_db.resultText(uuid), out.lines[i])});
    }
    return out;
}

std::optional<QByteArray> Signatures::itemHash(const QString& dataFile, const QString& uuid, int* row) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(PlacementOfResult);
    q.addBindValue(dataFile);
    q.addBindValue(uuid);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    std::optional<QString> line;
    if (q.next()) {
        *row = q.value(0).toInt();
        line = q.value(1).toString();
    }
    q.finish();
    return itemDigest(uuid, m_db.resultText(uuid), line);
}

std::optional<Signature> Signatures::sign(const QString& dataFile, const QString& signer,
                                          const QString& systemUser, const QString& meaning,
                                          const QString& note) {
    m_error.clear();
    if (!Meanings().contains(meaning)) {
        fail(QStringLiteral("A meaning is reviewed, approved or rejected."));
        return std::nullopt;
    }
    const std::optional<Current> now = current(dataFile);
    if (!now)
        return std::nullopt;
    if (now->items.isEmpty()) {
        fail(QStringLiteral("The results store holds no results of \"%1\": nothing to sign.").arg(dataFile));
        return std::nullopt;
    }
    QJsonArray items;
    for (const SignedItem& item : now->items)
        items.append(QJsonObject{{QStringLiteral("row"), item.row},
                                 {QStringLiteral("uuid"), item.uuid},
                                 {QStringLiteral("sha256"), QString::fromLatin1(item.sha256)}});
    const QJsonObject body{{QStringLiteral("meaning"), meaning},
                           {QStringLiteral("note"), note},
                           {QStringLiteral("sha256"), QString::fromLatin1(Digest(now->items))},
                           {QStringLiteral("results"), items}};
    m_db.setWho(systemUser, signer);
    if (!m_db.addEvent(Tr::EventSigned, dataFile, QString(),
                       QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact)))) {
        fail(m_db.error());
        return std::nullopt;
    }
    const std::optional<QList<Signature>> all = of(dataFile);
    if (!all || all->isEmpty())
        return std::nullopt;
    return all->last();
}

std::pair<qint64, QString> Signatures::brokenBy(const Signature& s, const SignedItem& item) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(
        QStringLiteral("SELECT seq, utc, operator, system_user, kind, row_number FROM events WHERE seq > ? "
                       "AND result_uuid = ? AND data_file = ? AND kind <> ? ORDER BY seq LIMIT 1"));
    // One specimen may stand in several data files; only a change in the signed file breaks it.
    q.addBindValue(s.seq);
    q.addBindValue(item.uuid);
    q.addBindValue(s.dataFile);
    q.addBindValue(Tr::EventReason);
    if (!q.exec() || !q.next())
        return {std::numeric_limits<qint64>::max(), Tr::BrokenUnrecorded.arg(item.row)};
    const qint64 seq = q.value(0).toLongLong();
    const QString utc = q.value(1).toString();
    const QString who = q.value(2).toString().isEmpty() ? q.value(3).toString() : q.value(2).toString();
    const QString kind = q.value(4).toString();
    const int row = q.value(5).toInt();
    // A reason is written right after the change it explains.
    q.prepare(QStringLiteral("SELECT after FROM events WHERE seq = ? AND kind = ? AND result_uuid = ?"));
    q.addBindValue(seq + 1);
    q.addBindValue(Tr::EventReason);
    q.addBindValue(item.uuid);
    const QString reason = q.exec() && q.next() ? q.value(0).toString() : QString();
    return {seq, Tr::BrokenBy.arg(row).arg(shortUtc(utc), who,
                                           kind + QStringLiteral(": ") +
                                               (reason.isEmpty() ? Tr::NoReason : reason))};
}

QString Signatures::ReportLine(const Signature& s) {
    return QStringLiteral("Signed electronically: ") + s.meaning + QStringLiteral(" by ") + s.name +
           QStringLiteral(", ") + shortUtc(s.utc) + QStringLiteral(", ") + QString::number(s.items.size()) +
           QStringLiteral(" results: ") + s.state;
}

QStringList Signatures::ReportLines(const QString& storePath, const QString& dataFile) {
    if (!QFileInfo(storePath).isFile())
        return {};
    ResultsDatabase db;
    if (!db.open(storePath))
        return {};
    QStringList lines;
    for (const Signature& s : Signatures(db).of(dataFile).value_or(QList<Signature>()))
        lines << ReportLine(s);
    return lines;
}

std::optional<QList<Signature>> Signatures::ofResult(const QString& resultUuid) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("SELECT DISTINCT data_file FROM events WHERE kind = ? AND instr(after, ?) > 0"));
    q.addBindValue(Tr::EventSigned);
    q.addBindValue(QStringLiteral("\"uuid\":\"") + resultUuid + QLatin1Char('"'));
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    QStringList files;
    while (q.next())
        files << q.value(0).toString();
    QList<Signature> out;
    for (const QString& file : files) {
        const std::optional<QList<Signature>> some = of(file);
        if (!some)
            return std::nullopt;
        for (const Signature& s : *some)
            if (std::any_of(s.items.begin(), s.items.end(),
                            [&](const SignedItem& item) { return item.uuid == resultUuid; }))
                out << s;
    }
    return out;
}

std::optional<QList<Signature>> Signatures::all() {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("SELECT DISTINCT data_file FROM events WHERE kind = ? ORDER BY data_file"));
    q.addBindValue(Tr::EventSigned);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    QStringList files;
    while (q.next())
        files << q.value(0).toString();
    QList<Signature> out;
    for (const QString& file : files) {
        const std::optional<QList<Signature>> some = of(file);
        if (!some)
            return std::nullopt;
        out += *some;
    }
    return out;
}

std::optional<QList<Signature>> Signatures::of(const QString& dataFile) {
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral(
        "SELECT seq, utc, operator, after FROM events WHERE kind = ? AND data_file = ? ORDER BY seq"));
    q.addBindValue(Tr::EventSigned);
    q.addBindValue(dataFile);
    if (!q.exec()) {
        fail(q.lastError().text());
        return std::nullopt;
    }
    QList<Signature> out;
    while (q.next()) {
        Signature s;
        s.seq = q.value(0).toLongLong();
        s.utc = q.value(1).toString();
        s.name = q.value(2).toString();
        s.dataFile = dataFile;
        const QJsonDocument doc = QJsonDocument::fromJson(q.value(3).toString().toUtf8());
        const QJsonObject body = doc.object();
        s.meaning = body.value(QStringLiteral("meaning")).toString();
        s.note = body.value(QStringLiteral("note")).toString();
        s.sha256 = body.value(QStringLiteral("sha256")).toString().toLatin1();
        bool wellFormed = doc.isObject() && Meanings().contains(s.meaning) &&
                          isSha256Hex(QString::fromLatin1(s.sha256)) &&
                          body.value(QStringLiteral("results")).isArray();
        for (const QJsonValue& v : body.value(QStringLiteral("results")).toArray()) {
            const QJsonObject o = v.toObject();
            SignedItem item{o.value(QStringLiteral("row")).toInt(),
                            o.value(QStringLiteral("uuid")).toString(),
                            o.value(QStringLiteral("sha256")).toString().toLatin1()};
            wellFormed = wellFormed && item.row > 0 && !item.uuid.isEmpty() &&
                         isSha256Hex(QString::fromLatin1(item.sha256));
            s.items.append(item);
        }
        s.valid = wellFormed && !s.items.isEmpty() && Digest(s.items) == s.sha256;
        s.state = s.valid ? QStringLiteral("valid") : Tr::BrokenRecord;
        out.append(s);
    }
    q.finish();
    for (Signature& s : out) {
        if (!s.valid)
            continue;
        // Of the signed results changed since, the first change made breaks it.
        std::optional<std::pair<qint64, QString>> first;
        for (const SignedItem& item : s.items) {
            int row = item.row;
            const std::optional<QByteArray> now = itemHash(dataFile, item.uuid, &row);
            if (!now)
                return std::nullopt;
            if (*now == item.sha256)
                continue;
            const std::pair<qint64, QString> by = brokenBy(s, item);
            if (!first || by.first < first->first)
                first = by;
        }
        if (first) {
            s.valid = false;
            s.state = first->second;
        }
    }
    return out;
}
