#include "results/DataRow.h"

DataRow::DataRow(int number, const QStringList& fields) : m_number(number) {
    m_start.fill(0);
    for (int c = 0; c < Fields; ++c)
        append(c < fields.size() ? QStringView(fields.at(c)) : QStringView());
}

void DataRow::clear() {
    m_text.clear();
    m_start.fill(0);
    m_filled = 0;
}

void DataRow::append(QStringView text) {
    if (m_filled >= Fields)
        return;
    m_text.append(text);
    ++m_filled;
    for (int c = m_filled; c <= Fields; ++c)
        m_start[size_t(c)] = quint32(m_text.size());
}

void DataRow::setField(int column, const QString& text) {
    if (column < 1 || column > Fields)
        return;
    QStringList all = fields();
    all[column - 1] = text;
    clear();
    for (const QString& f : std::as_const(all))
        append(f);
}

QStringList DataRow::fields() const {
    QStringList all;
    all.reserve(Fields);
    for (int c = 1; c <= Fields; ++c)
        all.append(fieldText(c));
    return all;
}
