#include "app/InterimResultAppender.h"

#include "params/Cp1252.h"

#include <QFile>

bool InterimResultAppender::AppendResult(const QStringList& fields) {
    const QString name = m_fileName ? m_fileName() : QString();
    if (name.isEmpty())
        return false;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = Cp1252::encode(fields.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
    return file.write(line) == line.size() && file.flush();
}
