#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// A title that must be read whole (it names the record of a picture): on one line when it fits,
// else on two lines broken between its parts, then in smaller type, and only beyond that on more
// lines. Never cut.
struct FittedTitle {
    QStringList lines;
    QFont font;
    QString text() const { return lines.join(QLatin1Char('\n')); }
};

class TitleFit {
public:
    // The parts of a row's title are joined by this.
    static const QString Separator;
    // The type never shrinks below this share of its size.
    static constexpr double MinShrink = 0.7;

    static FittedTitle Fit(const QString& title, const QFont& font, int width);
    // The widest line in the font.
    static int Widest(const QStringList& lines, const QFont& font);
};
