#include "results/TextWidth.h"

TextWidth::TextWidth(const QFont& font) : m_metrics(font) {
    for (int c = 0; c < 256; ++c)
        m_advance[size_t(c)] = m_metrics.horizontalAdvance(QChar(c));
    for (int b = 0; b < 256; ++b) {
        const char16_t u = Cp1252::decodeByte(static_cast<unsigned char>(b));
        m_byteAdvance[size_t(b)] = u > 255 ? -1 : m_advance[u];
    }
}

int TextWidth::operator()(QStringView text) const {
    text = text.left(MeasuredLength);
    int width = 0;
    for (const QChar c : text) {
        if (c.unicode() > 255)
            return m_metrics.horizontalAdvance(text.toString());
        width += m_advance[c.unicode()];
    }
    return width;
}

int TextWidth::operator()(const DataRow& row, int column) const {
    if (!row.isNarrow())
        return row.withField(column, [this](QStringView text) { return (*this)(text); });
    const QByteArrayView bytes =
        row.bytes(column).first(qMin(row.bytes(column).size(), qsizetype(MeasuredLength)));
    int width = 0;
    for (const char b : bytes) {
        const int advance = m_byteAdvance[static_cast<unsigned char>(b)];
        if (advance < 0)
            return (*this)(Cp1252::decode(bytes));
        width += advance;
    }
    return width;
}
