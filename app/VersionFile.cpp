#include "app/VersionFile.h"

#include "app/UpdateTexts.h"

#include <QStringList>

namespace T = UpdateTexts;

namespace {
// A field as it may be shown: no control characters, no surrounding blanks, bounded length.
QString cleanField(const QString& field) {
    QString out;
    out.reserve(qMin(field.size(), qsizetype(VersionFile::MaxFieldLength)));
    for (const QChar c : field) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            continue;
        out.append(c);
        if (out.size() >= VersionFile::MaxFieldLength)
            break;
    }
    return out.trimmed();
}

// A download is offered only for a plain file name in the download folder: letters, digits, ".",
// "-" and "_", not starting with "." (no path, no address, nothing a shell would act on).
bool plainFileName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                        u == u'.' || u == u'-' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

VersionVerdict failure(const QString& error) {
    return {T::ErrorTitle,
            T::ErrorText + T::LineBreak + T::LineBreak + error + T::LineBreak + T::LineBreak + T::SupportLine,
            QString(), true};
}
} // namespace

VersionVerdict VersionFile::Decide(const QString& folder, const QByteArray& body, const QString& error,
                                   const QString& title, const QString& version) {
    const QString text = QString::fromUtf8(body);
    QString fault = error;
    // The server's error page arrives as an ordinary transfer.
    if (fault.isEmpty() && text.contains(QStringLiteral("not found"), Qt::CaseInsensitive))
        fault = T::FileNotFound;
    if (!fault.isEmpty())
        return failure(cleanField(fault));

    // A body that is not text holds no version lines.
    if (body.isEmpty() || body.contains('\0'))
        return {T::EmptyTitle, T::EmptyText + T::LineBreak + T::LineBreak + T::SupportLine, QString(), true};

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < 5)
            continue;
        if (fields[0].trimmed().compare(title, Qt::CaseInsensitive) != 0)
            continue;
        const QString latest = cleanField(fields[1]);
        // Cut as the other fields are: the dialog and the clipboard get no more than a field's length.
        const QString file = fields[2].trimmed().left(MaxFieldLength);
        // A line without a version or with anything but a plain file name is a bad line.
        if (latest.isEmpty() || !plainFileName(file))
            continue;
        const QString date = cleanField(fields[3]);
        const QString size = cleanField(fields[4]);
        const int order = QString::compare(latest, version, Qt::CaseSensitive);
        if (order == 0)
            return {T::LatestTitle,
                    QStringLiteral("You have the latest version of ") + title + QLatin1Char('.'), QString(),
                    false};
        if (order < 0)
            return {T::NewerThanNewTitle,
                    QStringLiteral("The version of ") + title + QStringLiteral(" that you are running (") +
                        version + QStringLiteral(") ") +
                        QStringLiteral("is newer than the \"latest\" version (") + latest +
                        QStringLiteral(") !"),
                    QString(), false};
        return {T::NewerTitle,
                QStringLiteral("A newer version of ") + title + QStringLiteral(" exists. ") +
                    QStringLiteral("Version ") + latest + QStringLiteral(" dated ") + date +
                    QStringLiteral(", ") + size + QStringLiteral(" bytes, can be downloaded at:") +
                    T::LineBreak + T::LineBreak + folder + T::LineBreak + QString(20, QLatin1Char(' ')) +
                    file + T::LineBreak + T::LineBreak + T::CopiedNote,
                folder + file, false};
    }
    return {T::NewerTitle, T::NoInformation, QString(), false};
}
