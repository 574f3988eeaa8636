#include "results/TitleFit.h"

#include <QFontMetrics>
#include <algorithm>

const QString TitleFit::Separator = QStringLiteral(" \u00b7 ");

int TitleFit::Widest(const QStringList& lines, const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

namespace {
// The break positions of a text: after each separator, or at each blank when it has none. Each
// position is where the second line begins; the separator or blank before it is dropped.
struct TitleBreak {
    qsizetype end;   // first line's end
    qsizetype start; // second line's start
};

QList<TitleBreak> titleBreaks(const QString& text) {
    QList<TitleBreak> out;
    for (qsizetype at = text.indexOf(TitleFit::Separator); at > 0;
         at = text.indexOf(TitleFit::Separator, at + 1))
        out.append({at, at + TitleFit::Separator.size()});
    if (!out.isEmpty())
        return out;
    for (qsizetype at = text.indexOf(QLatin1Char(' ')); at > 0; at = text.indexOf(QLatin1Char(' '), at + 1))
        out.append({at, at + 1});
    return out;
}

// The two lines of the break that makes the wider of them narrowest.
QStringList titleHalves(const QString& text, const QFont& font) {
    const QList<TitleBreak> breaks = titleBreaks(text);
    QStringList best{text};
    int bestWidth = TitleFit::Widest(best, font);
    for (const TitleBreak& b : breaks) {
        const QStringList lines{text.left(b.end), text.mid(b.start)};
        const int w = TitleFit::Widest(lines, font);
        if (w < bestWidth) {
            best = lines;
            bestWidth = w;
        }
    }
    return best;
}

// Lines as long as the width allows, broken at blanks; a word wider than the width stands alone.
QStringList titleWrapped(const QString& text, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    QStringList lines;
    QString rest = text;
    while (metrics.horizontalAdvance(rest) > width) {
        qsizetype cut = -1;
        for (qsizetype at = rest.indexOf(QLatin1Char(' ')); at > 0;
             at = rest.indexOf(QLatin1Char(' '), at + 1)) {
            if (metrics.horizontalAdvance(rest.left(at)) > width)
                break;
            cut = at;
        }
        if (cut < 0)
            cut = rest.indexOf(QLatin1Char(' '));
        if (cut <= 0)
            break;
        lines << rest.left(cut);
        rest = rest.mid(cut + 1);
    }
    lines << rest;
    return lines;
}
} // namespace

FittedTitle TitleFit::Fit(const QString& title, const QFont& font, int width) {
    FittedTitle fit{{title}, font};
    if (width <= 0 || Widest(fit.lines, font) <= width)
        return fit;
    fit.lines = titleHalves(title, font);
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    for (double size = base; Widest(fit.lines, fit.font) > width && size > base * MinShrink;) {
        size = std::max(base * MinShrink, size - 0.5);
        fit.font.setPointSizeF(size);
    }
    if (Widest(fit.lines, fit.font) <= width)
        return fit;
    // Longer than two small lines: as many lines as it takes.
    QStringList lines;
    for (const QString& line : std::as_const(fit.lines))
        lines << titleWrapped(line, fit.font, width);
    fit.lines = lines;
    return fit;
}
