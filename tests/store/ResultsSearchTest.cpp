#include "store/SearchText.h"
#include "store/frmResultsStore.h"
#include "tests/store/StoreRig.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

// Finding stored results as a lab types what it remembers: a part of a sample name in any case,
// dates in ISO or the locale's short form, and a date the search cannot read said so.
class ResultsSearchTest : public QObject {
    Q_OBJECT

    // Six results: three of sample "B7 preform 12" (one imported, its blanks as underscores), two of
    // "C1 spool 3", one without a sample; tested on 2026-12-07 and 2026-12-08.
    static void fill(const StoreRig& rig) {
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        const QString file = rig.dataFile(QStringLiteral("run.dat"), 0);
        const QStringList samples{QStringLiteral("B7 preform 12"), QStringLiteral("B7_preform_12"),
                                  QStringLiteral("b7 preform 12"), QStringLiteral("C1 spool 3"),
                                  QStringLiteral("C1 spool 3"),    QString()};
        for (int n = 1; n <= samples.size(); ++n) {
            StoredResult r;
            r.uuid = QStringLiteral("s%1").arg(n);
            r.dataFile = file;
            r.rowNumber = n;
            r.fields = SheetRig::result(n);
            r.fields[13] = n <= 3 ? QStringLiteral("26/12/07") : QStringLiteral("26/12/08");
            r.origin = QStringLiteral("test");
            r.context.sample = samples[n - 1];
            r.context.operatorName = n % 2 ? QStringLiteral("Ann Lee") : QStringLiteral("Bo Park");
            QVERIFY2(db.addResult(r), qPrintable(db.error()));
        }
    }

private slots:
    void namesMatchByPart_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        const QString b7 = QStringLiteral("B7 preform 12");
        QTest::newRow("part") << "B7" << b7 << true;
        QTest::newRow("other case, two words") << "b7 preform" << b7 << true;
        QTest::newRow("star") << "B7*" << b7 << true;
        QTest::newRow("star inside") << "b7*12" << b7 << true;
        QTest::newRow("question mark") << "pre?orm" << b7 << true;
        QTest::newRow("underscores stand for blanks") << "preform 12"
                                                      << "B7_preform_12" << true;
        QTest::newRow("extra blanks") << "  b7   preform " << b7 << true;
        QTest::newRow("another sample") << "C1" << b7 << false;
        QTest::newRow("star is no dot") << "B7.*" << b7 << false;
        QTest::newRow("bracket taken literally") << "B7 ["
                                                 << "B7 [x]" << true;
        QTest::newRow("nothing typed") << "" << b7 << true;
        QTest::newRow("non-ASCII case") << QStringLiteral("\u00e4rm") << QStringLiteral("\u00c4RM-1") << true;
    }
    void namesMatchByPart() {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(SearchText::NameMatches(typed, name), matches);
    }

    void typedDatesAreRead_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: not understood
        const QDate dec8(2026, 12, 8);
        QTest::newRow("ISO") << "en_GB"
                             << "2026-12-08" << dec8;
        QTest::newRow("ISO, single digits") << "en_US"
                                            << "2026-1-5" << QDate(2026, 1, 5);
        QTest::newRow("day first") << "en_GB"
                                   << "08/12/2026" << dec8;
        QTest::newRow("month first") << "en_US"
                                     << "12/8/2026" << dec8;
        QTest::newRow("month first, 08/12") << "en_US"
                                            << "08/12/2026" << QDate(2026, 8, 12);
        QTest::newRow("two-digit year") << "en_GB"
                                        << "08/12/26" << dec8;
        QTest::newRow("German") << "de_DE"
                                << "08.12.2026" << dec8;
        QTest::newRow("no such day") << "en_GB"
                                     << "31/02/2026" << QDate();
        QTest::newRow("no such month") << "en_GB"
                                       << "08/13/2026" << QDate();
        QTest::newRow("ISO, no such day") << "en_GB"
                                          << "2026-02-30" << QDate();
        QTest::newRow("words") << "en_GB"
                               << "yesterday" << QDate();
        QTest::newRow("empty") << "en_GB"
                               << "" << QDate();
    }
    void typedDatesAreRead() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        const std::optional<QDate> read = SearchText::ParseDate(typed, QLocale(locale));
        QCOMPARE(read.value_or(QDate()), date);
    }

    // The window and --db-export read the store through the same filter.
    void storeFindsByPartAndDate() {
        StoreRig rig;
        fill(rig);
        ResultsDatabase db;
        QVERIFY(db.open(rig.storePath));
        auto count = [&db](const ResultFilter& filter) {
            int n = 0;
            db.forEachResult(filter, [&n](const ResultView&) { return ++n, true; });
            return n;
        };
        ResultFilter f;
        f.sample = QStringLiteral("b7 PREFORM");
        QCOMPARE(count(f), 3);
        f.sample = QStringLiteral("B7*");
        QCOMPARE(count(f), 3);
        f.limit = 2;
        QCOMPARE(count(f), 2);
        f = {};
        f.sample = QStringLiteral("spool");
        f.operatorName = QStringLiteral("ann");
        QCOMPARE(count(f), 1);
        f = {};
        f.since = QStringLiteral("2026-12-08");
        QCOMPARE(count(f), 3);

        const QLocale was;
        QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        frmResultsStore window(rig.storePath);
        QCOMPARE(window.Search(), 6);
        window.txtSample->setText(QStringLiteral("B7*"));
        window.txtSince->setText(QStringLiteral("08/12/2026"));
        QCOMPARE(window.Search(), 0);
        window.txtSince->setText(QStringLiteral("07/12/2026"));
        window.txtUntil->setText(QStringLiteral("2026-12-07"));
        QCOMPARE(window.Search(), 3);
        window.txtUntil->setText(QStringLiteral("12/31/2026"));
        QCOMPARE(window.Search(), -1);
        QCOMPARE(window.lblStatus->text(),
                 QStringLiteral("The date \"12/31/2026\" in To is not understood: type "
                                "it as yyyy-mm-dd or dd/mm/yyyy."));
        QCOMPARE(window.grdFound->model()->rowCount(), 0);
        QLocale::setDefault(was);
    }
};

STAVELY_TEST(ResultsSearchTest)
#include "ResultsSearchTest.moc"
