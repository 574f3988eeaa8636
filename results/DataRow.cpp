#include "results/DataRow.h"

DataRow::DataRow(int number, const QStringList& fields) : m_number(number) {
    m_start.fill(0);
    for (int c = 0; c < Fields; ++c)
        append(c < fields.size() ? QStringView(fields.at(c)) : QStringView());
}

QString DataRow::field(int column) const {
    const QByteArrayView raw = stored(column);
    if (m_wide)
        return QString(reinterpret_cast<const QChar*>(raw.data()), raw.size() / 2);
    return Cp1252::decode(raw);
}

QStringList DataRow::fields() const {
    QStringList all;
    all.reserve(Fields);
    for (int c = 1; c <= Fields; ++c)
        all.append(field(c));
    return all;
}

void DataRow::clear() {
    m_text.clear();
    m_start.fill(0);
    m_filled = 0;
    m_wide = false;
}

void DataRow::widen() {
    QByteArray wide(m_text.size() * 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(wide.data());
    for (const char b : std::as_const(m_text))
        *out++ = Cp1252::decodeByte(static_cast<unsigned char>(b));
    m_text = std::move(wide);
    for (quint32& s : m_start)
        s *= 2;
    m_wide = true;
}

void DataRow::append(QStringView text) {
    if (m_filled >= Fields)
        return;
    if (!m_wide) {
        const qsizetype before = m_text.size();
        m_text.resize(before + text.size());
        char* out = m_text.data() + before;
        for (qsizetype i = 0; i < text.size(); ++i)
            if (!Cp1252::encodeChar(text[i].unicode(), out[i])) {
                // A character the file's code page lacks: the row keeps UTF-16 from now on.
                m_text.resize(before);
                widen();
                break;
            }
    }
    if (m_wide)
        m_text.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    ++m_filled;
    for (int c = m_filled; c <= Fields; ++c)
        m_start[size_t(c)] = quint32(m_text.size());
}

void DataRow::assign(QByteArrayView text, const std::array<quint32, Fields + 1>& starts) {
    m_text = text.toByteArray();
    m_start = starts;
    m_filled = Fields;
    m_wide = false;
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
