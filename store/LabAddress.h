#pragma once

#include <QMap>
#include <QString>
#include <optional>

class QSqlDatabase;

// Where the lab database is: a libpq connection URI (postgresql://tester3@labserver/results?sslmode=...)
// or a key=value connection string (host=labserver dbname=results user=tester3), split into the parts
// Qt's PostgreSQL driver takes. The password never travels in it: libpq finds it in ~/.pgpass, the file
// PGPASSFILE names or a service file, so the settings never hold it.
class LabAddress {
public:
    // nullopt with *error set for a text that is not a connection string or that holds a password
    // (the message never shows the password).
    static std::optional<LabAddress> parse(const QString& text, QString* error);
    // The text with any password in it replaced by ***, for messages.
    static QString Masked(const QString& text);

    QString host() const { return value(QStringLiteral("host")); }
    QString database() const { return value(QStringLiteral("dbname")); }
    QString user() const { return value(QStringLiteral("user")); }
    int port() const; // -1: libpq's default
    QString sslMode() const { return value(QStringLiteral("sslmode")); }
    QString value(const QString& key) const { return m_values.value(key); }

    // Configures a QPSQL connection (it must not be open yet).
    void configure(QSqlDatabase& db) const;
    // The address for messages: user@host:port/database.
    QString describe() const;

private:
    static std::optional<LabAddress> parseText(const QString& text, QString* error);
    bool set(const QString& key, const QString& value, QString* error);

    QMap<QString, QString> m_values;
};
