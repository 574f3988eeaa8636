#include "experiments/Calculator.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SettingsStore.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

namespace {
const QColor Yellow(255, 255, 0);
constexpr double Pi = 3.14159265358979;

// One program's worth of the services the calculator borrows.
struct Rig {
    QTemporaryDir dir;
    Parameters params;
    ScriptedOperator op;
    SettingsStore store{dir.filePath(QStringLiteral("Corvane.ini"))};
    ParameterTable table{params, store, op};
    Fiber fiber{params, op};
};

QLineEdit* box(QWidget& w, const char* name) {
    auto* b = w.findChild<QLineEdit*>(QLatin1String(name));
    if (!b)
        qFatal("no box %s", name);
    return b;
}

QString labelText(QWidget& w, const char* name) {
    return w.findChild<QLabel*>(QLatin1String(name))->text();
}

void enter(QLineEdit* b, const QString& text) {
    b->setFocus();
    b->selectAll();
    QTest::keyClicks(b, text);
    QTest::keyClick(b, Qt::Key_Return);
}

bool isYellow(QLineEdit* b) {
    return b->palette().color(QPalette::Base) == Yellow;
}
} // namespace

class CalculatorTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheFiberValuesAndNothingToControl() {
        Rig r;
        Calculator w(r.params, r.fiber, r.table, r.op);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("STRESS / STRAIN / FACEPLATE GAP  CALCULATOR"));
        QCOMPARE(box(w, "txtDf")->text(), QStringLiteral("125"));
        QCOMPARE(box(w, "txtEo")->text(), QStringLiteral("72"));
        QCOMPARE(box(w, "txtEa")->text(), QStringLiteral("3"));
        QCOMPARE(box(w, "txtCoatingEA")->text(), QStringLiteral("0"));
        for (const char* name : {"txtStress", "txtStrain", "txtLoad"}) {
            QCOMPARE(box(w, name)->text(), QStringLiteral("0"));
            QVERIFY(!isYellow(box(w, name)));
        }
        QCOMPARE(labelText(w, "lblModulus"), QStringLiteral("Modulus = 72 GPa"));
        QCOMPARE(labelText(w, "lblFiberLoad"), QStringLiteral("Fiber load = 0 N"));

        const QColor buttonFace = w.palette().color(QPalette::Button);
        for (const char* name : {"txtZo", "txtGrooveAngle", "txtGap", "txtDc"}) {
            QVERIFY(!box(w, name)->isEnabled());
            QCOMPARE(box(w, name)->text(), QStringLiteral(" n/a"));
            QCOMPARE(box(w, name)->palette().color(QPalette::Base), buttonFace);
        }
        QVERIFY(!w.findChild<QSpinBox*>(QStringLiteral("UpDown1"))->isEnabled());
        QVERIFY(box(w, "txtCoatingEA")->isEnabled());
        QVERIFY(box(w, "txtLoad")->isEnabled());
    }

    void theLastTypedQuantityControlsTheOthers() {
        Rig r;
        Calculator w(r.params, r.fiber, r.table, r.op);
        w.show();
        QLineEdit* stress = box(w, "txtStress");
        QLineEdit* strain = box(w, "txtStrain");
        QLineEdit* load = box(w, "txtLoad");
        const double area = Pi * std::pow(62.5e-6, 2);

        enter(stress, QStringLiteral("741.6"));
        QVERIFY(w.isVisible()); // Enter is the box's, not the Done button's
        QVERIFY(isYellow(stress) && !isYellow(strain) && !isYellow(load));
        QCOMPARE(strain->text(), QStringLiteral("1"));
        QCOMPARE(load->text(), QStringLiteral("9.101")); // 741.6 MPa on 1.2272e-8 m^2
        QCOMPARE(labelText(w, "lblModulus"), QStringLiteral("Modulus = 74.16 GPa"));
        QCOMPARE(labelText(w, "lblFiberLoad"), QStringLiteral("Fiber load = 9.101 N"));

        enter(strain, QStringLiteral("2"));
        QVERIFY(isYellow(strain) && !isYellow(stress));
        QCOMPARE(stress->text(), QStringLiteral("1526.4")); // 72 * 1.06 GPa * 2 %
        QCOMPARE(labelText(w, "lblModulus"), QStringLiteral("Modulus = 76.32 GPa"));

        enter(load, QStringLiteral("5"));
        QVERIFY(isYellow(load) && !isYellow(strain));
        QCOMPARE(load->text(), QStringLiteral("5"));
        QCOMPARE(stress->text(), QString::number(5 / area / 1e6, 'f', 1));
        const double eoa = area * 72e9;
        const double eps = (std::sqrt(1 + 4 * 3 * 5 / eoa) - 1) / 6;
        QCOMPARE(strain->text(), QString::number(100 * eps, 'f', 4));

        // Refused entries leave everything as it was, the focus stays in the box.
        r.op.answer(MsgResult::Ok);
        enter(stress, QStringLiteral("30000"));
        QCOMPARE(r.op.last().title, QStringLiteral("Bad Value"));
        QCOMPARE(r.op.last().text, QStringLiteral("Stress is outside the range -20000 to 20000 MPa"));
        QCOMPARE(r.op.last().style, int(MsgStyle::Critical));
        QVERIFY(isYellow(load) && !isYellow(stress));
        QCOMPARE(w.logic().totalLoad(), 5.0);
        QTRY_COMPARE(QApplication::focusWidget(), stress);
        r.op.answer(MsgResult::Ok);
        enter(strain, QStringLiteral("abc"));
        QCOMPARE(r.op.last().title, QStringLiteral("Bad value"));
        QCOMPARE(r.op.last().text, QStringLiteral("Strain must be a number"));
        QVERIFY(isYellow(load));

        // A new fiber diameter is live while the window is open and the load is followed.
        enter(box(w, "txtDf"), QStringLiteral("100"));
        QCOMPARE(r.params.FiberDiameter, 100.0);
        QCOMPARE(stress->text(), QString::number(5 / (Pi * std::pow(50e-6, 2)) / 1e6, 'f', 1));

        // A parameter outside its row's range is refused through the table's check.
        r.op.answer(MsgResult::Ok);
        enter(box(w, "txtEo"), QStringLiteral("500"));
        QCOMPARE(r.op.last().title, QStringLiteral("BAD VALUE"));
        QCOMPARE(r.op.last().text,
                 QStringLiteral("Fiber elastic modulus is outside the range 10 to 200 GPa"));
        QCOMPARE(box(w, "txtEo")->text(), QStringLiteral("72"));
        QCOMPARE(r.params.Modulus, 72.0);
        QCOMPARE(r.op.remainingAnswers(), 0);
    }

    void leavingAnEditedBoxChecksItToo() {
        Rig r;
        Calculator w(r.params, r.fiber, r.table, r.op);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QLineEdit* stress = box(w, "txtStress");
        stress->setFocus();
        stress->selectAll();
        QTest::keyClicks(stress, QStringLiteral("100"));
        box(w, "txtStrain")->setFocus();
        QVERIFY(isYellow(stress));
        QCOMPARE(w.logic().stress(), 100.0);
        // Passing through a box without typing changes nothing.
        box(w, "txtLoad")->setFocus();
        QVERIFY(isYellow(stress));
    }

    void closingGivesEveryValueBack() {
        Rig r;
        r.params.FiberDiameter = 80;
        r.params.ModulusA = 2;
        r.fiber.GrooveAngle = 90;
        {
            Calculator w(r.params, r.fiber, r.table, r.op);
            w.show();
            enter(box(w, "txtDf"), QStringLiteral("200"));
            enter(box(w, "txtEo"), QStringLiteral("100"));
            enter(box(w, "txtEa"), QStringLiteral("-6"));
            enter(box(w, "txtCoatingEA"), QStringLiteral("20"));
            QCOMPARE(r.params.FiberDiameter, 200.0);
            QCOMPARE(r.params.CoatingEA, 20.0);
            // A stress the falling modulus cannot reach switches the correction off here...
            r.op.answer(MsgResult::Ok);
            enter(box(w, "txtStress"), QStringLiteral("5000"));
            QVERIFY(r.fiber.StrainCorrectionDisabled());
            w.findChild<QPushButton*>(QStringLiteral("cmdDone"))->click();
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(r.params.FiberDiameter, 80.0);
        QCOMPARE(r.params.Modulus, 72.0);
        QCOMPARE(r.params.ModulusA, 2.0);
        QCOMPARE(r.params.CoatingEA, 0.0);
        QCOMPARE(r.fiber.GrooveAngle, 90.0);
        // ...but not for the program, whose own values never asked for it.
        QVERIFY(!r.fiber.StrainCorrectionDisabled());

        // The window's own close gives the values back as well.
        Calculator w(r.params, r.fiber, r.table, r.op);
        w.show();
        enter(box(w, "txtDf"), QStringLiteral("300"));
        w.close();
        QCOMPARE(r.params.FiberDiameter, 80.0);
    }
};

STAVELY_TEST(CalculatorTest)
#include "CalculatorTest.moc"
