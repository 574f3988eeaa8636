#include "results/DataRow.h"
#include "store/AuditEvent.h"
#include "store/ResultIdentity.h"
#include "store/Sha256.h"
#include "store/StoredResult.h"
#include "tests/support/TestRegistry.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>

// What the audit chain and a result's identity are computed from must not change with how fast they
// are computed: a store written before verifies after, and the other way round.
class StoreDigestTest : public QObject {
    Q_OBJECT
private slots:
    void sha256IsTheStandardsWhateverRunsIt() {
        QRandomGenerator random(11);
        for (const bool plain : {false, true}) {
            Sha256::setPlainOnly(plain);
            // Every padding case (55, 56, 63, 64 bytes …), several blocks, data fed in uneven pieces.
            for (int size = 0; size <= 300; ++size) {
                QByteArray data(size, Qt::Uninitialized);
                for (char& c : data)
                    c = char(random.bounded(256));
                const QByteArray expected = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
                QCOMPARE(Sha256::hash(data), expected);
                Sha256 pieces;
                for (qsizetype at = 0; at < size;) {
                    const qsizetype n = std::min<qsizetype>(size - at, random.bounded(1, 80));
                    pieces.addData(QByteArrayView(data.constData() + at, n));
                    at += n;
                }
                QCOMPARE(pieces.resultHex(), expected.toHex());
            }
        }
        Sha256::setPlainOnly(false);
    }

    void numbersAndTextsAreCoveredAsBefore() {
        // Every number a row may hold, written as the chain has always covered it.
        auto before = [](const QByteArray& item) {
            return QByteArray::number(item.size()) + ':' + item + ';';
        };
        QRandomGenerator random(5);
        // 76977537326169.0625 lies half way between two 17-digit texts.
        std::vector<double> values = {76977537326169.0625,
                                      -76977537326169.0625,
                                      0.5,
                                      2.5e-8,
                                      0,
                                      -0.0,
                                      0.1,
                                      1,
                                      -2.5,
                                      1e-5,
                                      1e-4,
                                      123456789012345678.0,
                                      1e16,
                                      1e17,
                                      1e21,
                                      5e-324,
                                      1.7976931348623157e308,
                                      60,
                                      812.25,
                                      0.0122718,
                                      86.9,
                                      5210.33,
                                      3.14159265358979};
        for (int i = 0; i < 40000; ++i) {
            values.push_back(std::ldexp(double(random.generate64() >> 11), random.bounded(-80, 60)));
            values.push_back(random.generateDouble() * std::pow(10.0, random.bounded(-12, 22)));
            // As a data file writes them: a few decimals.
            values.push_back(
                QString::number(random.generateDouble() * 9000, 'f', random.bounded(0, 5)).toDouble());
        }
        for (const double v : values) {
            CanonicalText text;
            text.addNumber(v);
            QCOMPARE(text.bytes(), before(QByteArray::number(v, 'g', 17)));
        }
        for (const QString& s : {QString(), QStringLiteral("60 MPa/s"), QStringLiteral("µ ± €"),
                                 QStringLiteral("中文"), QString(200, QLatin1Char('x'))}) {
            CanonicalText text;
            text.add(s).add(qint64(-42)).add(qint64(1234567890123));
            QCOMPARE(text.bytes(), before(s.toUtf8()) + before("-42") + before("1234567890123"));
        }
    }

    void testedAtIsTheRowsDateAndTime_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("as written") << "26/11/03"
                                    << "10:04:31"
                                    << "2026-11-03T10:04:31";
        QTest::newRow("leap day") << "24/02/29"
                                  << "23:59:59"
                                  << "2024-02-29T23:59:59";
        QTest::newRow("no such day") << "25/02/29"
                                     << "10:00:00"
                                     << "";
        QTest::newRow("no such hour") << "26/11/03"
                                      << "24:00:00"
                                      << "";
        QTest::newRow("spaces around") << " 26/11/03"
                                       << "10:04:31 "
                                       << "2026-11-03T10:04:31";
        QTest::newRow("single digits") << "26/1/3"
                                       << "9:04:31"
                                       << "";
    }
    void testedAtIsTheRowsDateAndTime() {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, expected);
        QStringList fields(DataRow::Fields);
        fields[13] = date;
        fields[14] = time;
        QCOMPARE(StoredResult::TestedAt(fields), expected);
    }

    void identityOfARowReadFromAFileIsThatOfItsText() {
        // A row read from a file keeps its bytes, one typed in keeps its characters: one identity.
        const QStringList fields = {QStringLiteral("7"),
                                    QStringLiteral("4.52"),
                                    QStringLiteral("3.9"),
                                    QStringLiteral("5210"),
                                    QStringLiteral("5.83"),
                                    QStringLiteral("60 MPa/s"),
                                    QStringLiteral("812"),
                                    QStringLiteral("1.2"),
                                    QStringLiteral("6.1"),
                                    QStringLiteral("0.2"),
                                    QStringLiteral("60.1"),
                                    QStringLiteral("0.4"),
                                    QStringLiteral("86.9"),
                                    QStringLiteral("26/11/03"),
                                    QStringLiteral("10:04:31"),
                                    QStringLiteral("µ ± €, \"quoted\""),
                                    QStringLiteral("125 500 operator:Zoë sample:B1")};
        const DataRow typed(7, fields);
        DataRow read;
        QByteArray text;
        std::array<quint32, DataRow::Fields + 1> starts{};
        for (int c = 0; c < DataRow::Fields; ++c) {
            starts[size_t(c)] = quint32(text.size());
            text += Cp1252::encode(fields[c]);
        }
        starts[DataRow::Fields] = quint32(text.size());
        read.assign(text, starts);
        QVERIFY(read.isNarrow());
        QCOMPARE(ResultIdentity::of(read), ResultIdentity::of(fields));
        QCOMPARE(ResultIdentity::of(typed), ResultIdentity::of(fields));
    }
};

STAVELY_TEST(StoreDigestTest)
#include "StoreDigestTest.moc"
