#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <map>
#include <unordered_map>
#include <vector>

class CanonicalText;
class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

// Statements run on a store's own SQLite connection, binding each value straight to SQLite: Qt SQL
// spends more on binding a value than SQLite spends on storing it, and an import binds millions.
// Used only where Qt's driver runs on the very SQLite library the program links (a second copy of
// SQLite in one process would keep locks of its own); elsewhere available() is false and the store
// binds through Qt SQL.
class SqliteDirect {
public:
    explicit SqliteDirect(const QSqlDatabase& db);
    ~SqliteDirect();
    SqliteDirect(const SqliteDirect&) = delete;
    SqliteDirect& operator=(const SqliteDirect&) = delete;

    bool available() const { return m_db != nullptr; }
    // Runs a statement (prepared once) with these values, bound as Qt SQL binds them: a null text as
    // NULL, numbers as numbers, texts as text, bytes as a blob. False with error() on failure.
    // covered: the first coveredCount values are added to it as the chain covers them, from the very
    // bytes bound.
    bool run(const QString& sql, const QList<QVariant>& values, CanonicalText* covered = nullptr,
             qsizetype coveredCount = 0);
    QString error() const { return m_error; }
    // Every statement finalised: before the connection closes.
    void clear();

private:
    sqlite3_stmt* statement(const QString& sql);

    sqlite3* m_db = nullptr;
    std::map<QString, sqlite3_stmt*> m_statements;
    // The statements by where their text lies: the text is held here, so no other can lie there.
    std::unordered_map<const QChar*, std::pair<QString, sqlite3_stmt*>> m_byText;
    std::vector<QByteArray> m_texts; // the UTF-8 of the texts bound, kept until the statement ran
    QString m_error;
};
