#include "params/Cp1252.h"
#include "tests/support/TestRegistry.h"

#include <QTest>

class Cp1252Test : public QObject {
    Q_OBJECT
private slots:
    void encodesTheSignsFilesCarry() {
        QCOMPARE(Cp1252::encode(QStringLiteral("5 µm ± 1 € – ok")),
                 QByteArray("5 \xB5m \xB1 1 \x80 \x96 ok"));
        QCOMPARE(Cp1252::decode(QByteArray("\xB5m/s \x93q\x94 \x9F")), QStringLiteral("µm/s “q” Ÿ"));
    }

    void unmappableCharactersBecomeOneQuestionMark() {
        // Greek mu (not the micro sign), a CJK character and a character outside the basic plane.
        QCOMPARE(
            Cp1252::encode(QStringLiteral("μ中") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("x")),
            QByteArray("???x"));
    }

    void everyByteSurvivesARoundTrip() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(Cp1252::encode(Cp1252::decode(all)), all);
    }

    void linesEndInCrLfLfOrCr() {
        QCOMPARE(Cp1252::splitLines(QStringLiteral("a\r\nb\nc\rd")), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(Cp1252::splitLines(QStringLiteral("a\r\n\r\nb\r\n")), (QStringList{"a", "", "b"}));
        QCOMPARE(Cp1252::splitLines(QStringLiteral("a\n\r\nb")), (QStringList{"a", "", "b"}));
        QCOMPARE(Cp1252::splitLines(QString()), QStringList());
    }
};

STAVELY_TEST(Cp1252Test)
#include "Cp1252Test.moc"
