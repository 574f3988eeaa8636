#pragma once

#include "params/Cp1252.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>
#include <array>

// One result row of the datasheet: its row number and the 17 fields of columns 1 to 17, kept as one
// text with field offsets so that a datasheet of 100,000 rows stays small. A row whose characters
// Windows-1252 holds (every row read from a data file) keeps them as those bytes, one a character,
// as the file has them; any other row keeps UTF-16.
class DataRow {
public:
    static constexpr int Fields = 17;

    DataRow() { m_start.fill(0); }
    DataRow(int number, const QStringList& fields);

    int number() const { return m_number; }
    void setNumber(int number) { m_number = number; }

    // Field 1 to 17; anything else is empty.
    QString field(int column) const;
    QStringList fields() const;
    // Calls f with field 1 to 17 as a view, without a copy on the heap for fields of usual length.
    template <class F> decltype(auto) withField(int column, F&& f) const {
        const QByteArrayView raw = stored(column);
        if (m_wide)
            return f(QStringView(reinterpret_cast<const char16_t*>(raw.data()), raw.size() / 2));
        QVarLengthArray<char16_t, 256> text(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i)
            text[i] = Cp1252::decodeByte(static_cast<unsigned char>(raw[i]));
        return f(QStringView(text.data(), text.size()));
    }
    // Whether the row keeps Windows-1252 bytes; then bytes() gives a field as the file holds it.
    bool isNarrow() const { return !m_wide; }
    QByteArrayView bytes(int column) const { return m_wide ? QByteArrayView() : stored(column); }

    void setField(int column, const QString& text);

    // Building a row field by field, in column order.
    void clear();
    void append(QStringView text);
    // The whole row at once from the Windows-1252 bytes of its fields: starts[c] is where field
    // c + 1 begins, starts[17] the end.
    void assign(QByteArrayView text, const std::array<quint32, Fields + 1>& starts);
    // Gives back what the text reserved while it grew (rows of a large file are kept by the thousand).
    void squeeze() { m_text.squeeze(); }

    bool operator==(const DataRow& other) const {
        return m_number == other.m_number && m_wide == other.m_wide && m_text == other.m_text &&
               m_start == other.m_start;
    }

private:
    QByteArrayView stored(int column) const {
        if (column < 1 || column > Fields)
            return {};
        const quint32 from = m_start[size_t(column - 1)];
        return QByteArrayView(m_text.constData() + from, m_start[size_t(column)] - from);
    }
    void widen();

    int m_number = 0;
    QByteArray m_text;
    std::array<quint32, Fields + 1> m_start; // byte offsets into m_text
    qint8 m_filled = 0;
    bool m_wide = false;
};
