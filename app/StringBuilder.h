#pragma once

#include <QString>

// Collects a text piece by piece (lines end with CR LF).
class StringBuilder {
public:
    void Add(const QString& AddStr) { m_text += AddStr; }
    void AddLine(const QString& AddStr) {
        m_text += AddStr;
        m_text += QStringLiteral("\r\n");
    }
    void Clear() { m_text.clear(); }
    QString ToString() const { return m_text; }
    void WriteToDebug(bool flag) { m_writeToDebug = flag; }
    bool writesToDebug() const { return m_writeToDebug; }

private:
    QString m_text;
    bool m_writeToDebug = false;
};
