#include "results/frmCopySpecial.h"
#include "results/frmExport.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The two small windows of the datasheet: what they offer and what their buttons hand over.
class DatasheetWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void copySpecialOffersTheSelectedRows() {
        SheetRig rig;
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("w.dat"), SheetRig::file(6))));
        int rowChoice = 1;
        {
            frmCopySpecial none(rig.commands, rig.params, -1, -1, rowChoice);
            auto* selected = none.findChild<QRadioButton*>(QStringLiteral("optRows1"));
            QCOMPARE(selected->text(), QStringLiteral("(no rows selected)"));
            QVERIFY(!selected->isEnabled());
            QVERIFY(none.findChild<QRadioButton*>(QStringLiteral("optRows0"))->isChecked());
            QCOMPARE(none.findChild<QComboBox*>(QStringLiteral("comDataColumn0"))->currentText(),
                     QStringLiteral("comments"));
            QCOMPARE(none.findChild<QComboBox*>(QStringLiteral("comDataColumn3"))->currentText(),
                     QStringLiteral("[nothing]"));
            none.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        }
        {
            frmCopySpecial one(rig.commands, rig.params, 2, 2, rowChoice);
            QCOMPARE(one.findChild<QRadioButton*>(QStringLiteral("optRows1"))->text(),
                     QStringLiteral("Copy selected columns from row 3 only"));
        }
        frmCopySpecial range(rig.commands, rig.params, 4, 1, rowChoice);
        auto* selected = range.findChild<QRadioButton*>(QStringLiteral("optRows1"));
        QCOMPARE(selected->text(), QStringLiteral("Copy selected columns from rows 2 to 5"));
        selected->setChecked(true);
        range.findChild<QComboBox*>(QStringLiteral("comDataColumn0"))->setCurrentIndex(1);
        range.findChild<QComboBox*>(QStringLiteral("comDataColumn1"))->setCurrentIndex(0);
        range.findChild<QComboBox*>(QStringLiteral("comDataColumn2"))->setCurrentIndex(0);
        rig.op.answer(MsgResult::Ok);
        range.findChild<QPushButton*>(QStringLiteral("cmdCopy"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2\r\n3\r\n4\r\n5\r\n"));
        QCOMPARE(rowChoice, 1);
        QCOMPARE(rig.params.CopySpecialColumn1, 1);
    }

    void exportWindowHandsOverItsChoices() {
        SheetRig rig;
        QVERIFY(rig.sheet.file2grd(rig.write(QStringLiteral("w.dat"), SheetRig::file(3))));
        frmExport window(rig.commands, [] { return GridBlock{1, 1, 2, 2}; });
        QCOMPARE(window.windowTitle(), QStringLiteral("EXPORT DATA"));
        QCOMPARE(window.findChild<QRadioButton*>(QStringLiteral("optDestination0"))->text(),
                 QStringLiteral("File (comma  delimited, .csv)"));
        window.findChild<QRadioButton*>(QStringLiteral("optSource2"))->setChecked(true);
        window.findChild<QRadioButton*>(QStringLiteral("optDestination1"))->setChecked(true);
        window.show();
        window.findChild<QPushButton*>(QStringLiteral("cmdGo"))->click();
        QVERIFY(window.isHidden());
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 SheetRig::result(2).mid(0, 2).join(QLatin1Char('\t')) + QStringLiteral("\r\n") +
                     SheetRig::result(3).mid(0, 2).join(QLatin1Char('\t')) + QStringLiteral("\r\n"));
        // The choices stay for the next opening.
        QVERIFY(window.findChild<QRadioButton*>(QStringLiteral("optSource2"))->isChecked());
    }
};

STAVELY_TEST(DatasheetWindowsTest)
#include "DatasheetWindowsTest.moc"
