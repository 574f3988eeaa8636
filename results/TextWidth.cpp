#include "results/TextWidth.h"

TextWidth::TextWidth(const QFont& font) : m_metrics(font) {
    for (int c = 0; c < 256; ++c)
        m_advance[size_t(c)] = m_metrics.horizontalAdvance(QChar(c));
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
