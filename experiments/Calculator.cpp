#include "experiments/Calculator.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QColor ControlColour(255, 255, 0);

void setBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

QLabel* label(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}
} // namespace

Calculator::Calculator(Parameters& params, Fiber& fiber, ParameterTable& table, Operator& op, QWidget* parent)
    : QDialog(parent), m_logic(params, fiber, table, op) {
    setObjectName(QStringLiteral("Calculator"));
    setWindowTitle(CalculatorTexts::Caption);
    setModal(true);

    // Fiber parameters.
    auto* fiberFrame = new QGroupBox(CalculatorTexts::FiberFrame, this);
    auto* fiberGrid = new QGridLayout(fiberFrame);
    txtDf = addBox(fiberFrame, QStringLiteral("txtDf"),
                   QStringLiteral("Fiber diameter, i.e. the diameter of the glass"));
    txtDc = addBox(fiberFrame, QStringLiteral("txtDc"), QStringLiteral("Coating outer diameter"));
    txtEo = addBox(fiberFrame, QStringLiteral("txtEo"), QStringLiteral("Young's modulus at zero strain"));
    txtEa = addBox(fiberFrame, QStringLiteral("txtEa"),
                   QStringLiteral("First order correction for strain dependence of the elastic modulus"));
    const QString micro = QStringLiteral("\u00b5m");
    int row = 0;
    for (auto [box, caption, unit] : {std::tuple{txtDf, QStringLiteral("Fiber diameter"), micro},
                                      std::tuple{txtDc, QStringLiteral("Coating diameter"), micro},
                                      std::tuple{txtEo, QStringLiteral("Modulus"), QStringLiteral("GPa")},
                                      std::tuple{txtEa, QStringLiteral("Modulus a "), QString()}}) {
        fiberGrid->addWidget(label(caption, fiberFrame), row, 0);
        fiberGrid->addWidget(box, row, 1);
        fiberGrid->addWidget(label(unit, fiberFrame), row, 2);
        ++row;
    }

    // Miscellaneous parameters.
    auto* miscFrame = new QGroupBox(CalculatorTexts::MiscFrame, this);
    auto* miscGrid = new QGridLayout(miscFrame);
    txtGrooveAngle = addBox(miscFrame, QStringLiteral("txtGrooveAngle"), QString());
    UpDown1 = new QSpinBox(miscFrame);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setRange(0, 180);
    UpDown1->setSpecialValueText(QStringLiteral(" ")); // only the arrows of the spin control show
    UpDown1->setFixedWidth(UpDown1->sizeHint().height());
    txtZo = addBox(miscFrame, QStringLiteral("txtZo"), QStringLiteral("Zero offset is total groove depth"));
    txtCoatingEA = addBox(miscFrame, QStringLiteral("txtCoatingEA"), QString());
    miscGrid->addWidget(label(QStringLiteral("Groove angle"), miscFrame), 0, 0);
    miscGrid->addWidget(txtGrooveAngle, 0, 1);
    miscGrid->addWidget(UpDown1, 0, 2);
    miscGrid->addWidget(label(QStringLiteral("Zero offset"), miscFrame), 1, 0);
    miscGrid->addWidget(txtZo, 1, 1);
    miscGrid->addWidget(label(micro, miscFrame), 1, 2);
    miscGrid->addWidget(label(QStringLiteral("Coating EA"), miscFrame), 2, 0);
    miscGrid->addWidget(txtCoatingEA, 2, 1);
    miscGrid->addWidget(label(QStringLiteral("N"), miscFrame), 2, 2);

    // Calculate.
    auto* calcFrame = new QGroupBox(CalculatorTexts::CalculateFrame, this);
    auto* calcGrid = new QGridLayout(calcFrame);
    txtStress = addBox(calcFrame, QStringLiteral("txtStress"), QString());
    txtStrain = addBox(calcFrame, QStringLiteral("txtStrain"), QString());
    txtLoad = addBox(calcFrame, QStringLiteral("txtLoad"), QString());
    txtGap = addBox(calcFrame, QStringLiteral("txtGap"), QString());
    row = 0;
    for (auto [box, caption, unit] :
         {std::tuple{txtStress, CalculatorTexts::Stress, CalculatorTexts::StressUnit},
          std::tuple{txtStrain, CalculatorTexts::Strain, CalculatorTexts::StrainUnit},
          std::tuple{txtLoad, CalculatorTexts::Load, CalculatorTexts::LoadUnit},
          std::tuple{txtGap, QStringLiteral("Gap"), micro}}) {
        calcGrid->addWidget(label(caption, calcFrame), row, 0);
        calcGrid->addWidget(box, row, 1);
        calcGrid->addWidget(label(unit, calcFrame), row, 2);
        ++row;
    }
    auto* controlNote = label(CalculatorTexts::ControlNote, calcFrame);
    auto* changeNote = label(CalculatorTexts::ChangeNote, calcFrame);
    changeNote->setWordWrap(true);
    calcGrid->addWidget(controlNote, row++, 0, 1, 3);
    calcGrid->addWidget(changeNote, row, 0, 1, 3);

    // Results.
    auto* resultsFrame = new QGroupBox(CalculatorTexts::ResultsFrame, this);
    auto* resultsLayout = new QVBoxLayout(resultsFrame);
    lblModulus = new QLabel(resultsFrame);
    lblModulus->setObjectName(QStringLiteral("lblModulus"));
    lblFiberLoad = new QLabel(resultsFrame);
    lblFiberLoad->setObjectName(QStringLiteral("lblFiberLoad"));
    resultsLayout->addWidget(lblModulus);
    resultsLayout->addWidget(lblFiberLoad);

    cmdDone = new QPushButton(CalculatorTexts::Done, this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    cmdDone->setAutoDefault(false); // Enter belongs to the boxes
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::accept);

    auto* left = new QVBoxLayout;
    left->addWidget(fiberFrame);
    left->addWidget(miscFrame);
    auto* right = new QVBoxLayout;
    right->addWidget(calcFrame);
    right->addWidget(resultsFrame);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdDone);
    right->addLayout(buttons);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right);

    m_parameterKeys = {{txtDf, CalculatorLogic::KeyDf},
                       {txtDc, CalculatorLogic::KeyDc},
                       {txtEo, CalculatorLogic::KeyEo},
                       {txtEa, CalculatorLogic::KeyEa},
                       {txtGrooveAngle, CalculatorLogic::KeyGrooveAngle},
                       {txtZo, CalculatorLogic::KeyZo},
                       {txtCoatingEA, CalculatorLogic::KeyCoatingEA}};
    m_resultBoxes = {{txtStress, CalculatorVariable::Stress},
                     {txtStrain, CalculatorVariable::Strain},
                     {txtLoad, CalculatorVariable::Load}};

    // Load: borrow the fiber values and start from zero.
    m_logic.Load();
    for (auto it = m_parameterKeys.cbegin(); it != m_parameterKeys.cend(); ++it)
        it.key()->setText(m_logic.parameterText(it.value()));
    showResults();

    // This build measures tension only: the bend tester's boxes are shown but not used.
    const QColor buttonFace = palette().color(QPalette::Button);
    for (QWidget* w : std::initializer_list<QWidget*>{txtZo, txtGrooveAngle, txtGap, txtDc, UpDown1}) {
        w->setEnabled(false);
        setBackground(w, buttonFace);
    }
    for (QLineEdit* box : {txtZo, txtGrooveAngle, txtGap, txtDc})
        box->setText(CalculatorTexts::NotApplicable);
    txtCoatingEA->setEnabled(true);
    txtLoad->setEnabled(true);
}

Calculator::~Calculator() {
    m_logic.Unload();
}

void Calculator::done(int result) {
    m_logic.Unload();
    QDialog::done(result);
}

QLineEdit* Calculator::addBox(QWidget* frame, const QString& name, const QString& tip) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(name);
    if (!tip.isEmpty())
        box->setToolTip(tip);
    box->installEventFilter(this);
    connect(box, &QLineEdit::returnPressed, this, [this, box] { validateBox(box); });
    return box;
}

bool Calculator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        auto* box = qobject_cast<QLineEdit*>(watched);
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving a box for another control after typing in it checks the entry, as Enter does;
        // switching to another window or a menu does not.
        if (box && box->isModified() && !m_validating && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            validateBox(box);
    }
    return QDialog::eventFilter(watched, event);
}

void Calculator::validateBox(QLineEdit* box) {
    if (m_validating)
        return; // the message of a refused entry takes the focus away; that is no second entry
    m_validating = true;
    box->setModified(false);
    bool invalid = false;
    if (m_parameterKeys.contains(box)) {
        QString text = box->text();
        invalid = m_logic.validateParameter(m_parameterKeys.value(box), text);
        if (invalid)
            box->setText(text);
    } else if (m_resultBoxes.contains(box)) {
        invalid = m_logic.validateResult(m_resultBoxes.value(box), box->text());
    }
    m_validating = false;
    if (invalid) {
        keepFocus(box);
        return;
    }
    showResults();
}

void Calculator::keepFocus(QLineEdit* box) {
    box->setFocus();
    box->selectAll();
    // The focus may still be on its way elsewhere (a click on another box); bring it back after that.
    QTimer::singleShot(0, box, [box] {
        box->setFocus();
        box->selectAll();
    });
}

void Calculator::showResults() {
    txtStress->setText(m_logic.stressText());
    txtStrain->setText(m_logic.strainText());
    txtLoad->setText(m_logic.loadText());
    lblModulus->setText(m_logic.modulusText());
    lblFiberLoad->setText(m_logic.fiberLoadText());
    const QColor normal = txtDf->palette().color(QPalette::Base);
    for (auto it = m_resultBoxes.cbegin(); it != m_resultBoxes.cend(); ++it)
        setBackground(it.key(), m_logic.controlVariable() == it.value() ? ControlColour : normal);
}
