#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

// One result row of the datasheet: its row number and the 17 fields of columns 1 to 17, kept as one
// text with field offsets so that a datasheet of 100,000 rows stays small.
class DataRow {
public:
    static constexpr int Fields = 17;

    DataRow() { m_start.fill(0); }
    DataRow(int number, const QStringList& fields);

    int number() const { return m_number; }
    void setNumber(int number) { m_number = number; }

    // Field 1 to 17; anything else is empty.
    QStringView field(int column) const {
        if (column < 1 || column > Fields)
            return {};
        return QStringView(m_text).mid(m_start[size_t(column - 1)],
                                       m_start[size_t(column)] - m_start[size_t(column - 1)]);
    }
    QString fieldText(int column) const { return field(column).toString(); }
    void setField(int column, const QString& text);
    QStringList fields() const;

    // Building a row field by field, in column order.
    void clear();
    void append(QStringView text);
    // Gives back what the text reserved while it grew (rows of a large file are kept by the thousand).
    void squeeze() { m_text.squeeze(); }

    bool operator==(const DataRow& other) const {
        return m_number == other.m_number && m_text == other.m_text && m_start == other.m_start;
    }

private:
    int m_number = 0;
    QString m_text;
    std::array<quint32, Fields + 1> m_start;
    int m_filled = 0;
};
