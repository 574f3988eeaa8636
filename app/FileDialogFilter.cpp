#include "app/FileDialogFilter.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
// "*.*" means every file where the program came from; elsewhere it would miss names without a dot.
QString patternsFrom(const QString& list) {
    QStringList patterns;
    for (QString p : list.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        p = p.trimmed();
        if (p.isEmpty())
            continue;
        patterns.append(p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    }
    return patterns.join(QLatin1Char(' '));
}
} // namespace

QString FileDialogFilter::toQt(const QString& filter) {
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        const QString patterns = i + 1 < parts.size() ? patternsFrom(parts.at(i + 1)) : QString();
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        if (patterns.isEmpty()) {
            entries.append(description);
            continue;
        }
        description.remove(trailingPatterns);
        entries.append(description.isEmpty()
                           ? patterns
                           : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

QString FileDialogFilter::suffix(const QString& qtEntry) {
    static const QRegularExpression firstPattern(QStringLiteral("\\(\\s*\\*\\.([A-Za-z0-9_]+)[\\s;)]"));
    const QRegularExpressionMatch m = firstPattern.match(qtEntry);
    return m.hasMatch() ? m.captured(1) : QString();
}
