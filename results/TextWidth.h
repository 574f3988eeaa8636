#pragma once

#include "results/DataRow.h"

#include <QByteArrayView>
#include <QFont>
#include <QFontMetrics>
#include <QStringView>
#include <array>

// Width of a text in a font, fast enough to measure every cell of a large datasheet: characters of
// the 8-bit range add up from a table; other texts are measured by the font.
class TextWidth {
public:
    // Beyond this many characters a cell is wider than any fitted column anyway.
    static constexpr int MeasuredLength = 2000;

    explicit TextWidth(const QFont& font);
    int operator()(QStringView text) const;
    // Field 1 to 17 of a row.
    int operator()(const DataRow& row, int column) const;

private:
    QFontMetrics m_metrics;
    std::array<int, 256> m_advance{};
    std::array<int, 256> m_byteAdvance{}; // Windows-1252 bytes; -1 for characters beyond the table
};
