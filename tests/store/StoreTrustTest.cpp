#include "store/StoreExport.h"
#include "tests/store/StoreRig.h"
#include "tests/support/FlowHelpers.h"
#include "tests/support/TestRegistry.h"

#include <QProcess>
#include <QTest>

namespace {
// Records of a CSV file as RFC 4180 reads them: a quoted field may hold commas, quotes (doubled)
// and line ends; outside quotes CR LF, LF or a lone CR ends a record.
QList<QStringList> csvRecords(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            records << (record << field);
            record.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        records << (record << field);
    return records;
}
} // namespace

// What the store's commands write and read can be trusted: an export reads back as the records it
// holds, every filter a command accepts filters.
class StoreTrustTest : public QObject {
    Q_OBJECT
private slots:
    // Texts with line ends of every kind, commas and quotes (a data file's name may hold a CR) come
    // back from the CSV as they were, one record a result.
    void csvFieldsReadBackWhole() {
        QTemporaryDir dir;
        const QStringList texts{QStringLiteral("run\rA.dat"), QStringLiteral("two\nlines"),
                                QStringLiteral("a,b \"c\""), QStringLiteral("ends\r\n"),
                                QStringLiteral("plain")};
        const int columns = int(ResultsDatabase::ResultColumns().size());
        QList<ResultView> views;
        for (const QString& text : texts) {
            ResultView view;
            view.values.resize(columns);
            for (const char* column : {"uuid", "data_file", "comment", "sample", "conditions"})
                view.values[ResultView::IndexOf(QLatin1String(column))] = text;
            view.currentFields = SheetRig::result(1, text);
            view.inDataFile = true;
            views << view;
        }
        const QString csv = dir.filePath(QStringLiteral("out.csv"));
        QString error;
        const std::optional<qint64> written = StoreExport::Write(
            [&views](const std::function<bool(const ResultView&)>& take, QString*) {
                for (const ResultView& v : views)
                    take(v);
                return true;
            },
            csv, &error);
        QCOMPARE(written, 5);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> records = csvRecords(QString::fromUtf8(file.readAll()));
        QCOMPARE(records.size(), texts.size() + 1);
        const QStringList& names = records.front();
        for (qsizetype r = 1; r < records.size(); ++r) {
            QCOMPARE(records[r].size(), names.size());
            for (const char* name :
                 {"uuid", "data_file", "comment", "sample", "conditions", "current_comment"})
                QCOMPARE(records[r].at(names.indexOf(QLatin1String(name))), texts.at(r - 1));
        }
    }
};

STAVELY_TEST(StoreTrustTest)
#include "StoreTrustTest.moc"
