#include "app/frmLifetime.h"

#include "experiments/LifetimeAnswers.h"
#include "experiments/LifetimeCharts.h"
#include "results/ChartControl.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace LT = LifetimeTexts;

namespace {
struct Row {
    const char* key;
    const char* label;
};
LifetimeValue* inputValue(LifetimeInputs& in, const QString& key);

const Row Rows[] = {
    {"m", "Weibull m"},
    {"m_low", "  m, 90 % lower bound"},
    {"m_high", "  m, 90 % upper bound"},
    {"n", "Fatigue n"},
    {"n_low", "  n, 90 % lower bound"},
    {"n_high", "  n, 90 % upper bound"},
    {"proof_stress_MPa", "Proof stress \u03c3p (MPa)"},
    {"proof_time_s", "Proof time tp (s)"},
    {"proof_breaks_per_km", "Proof breaks N_p (per km)"},
    {"sigma0_MPa", "Batch \u03c30 (MPa)"},
    {"gauge_length_m", "Batch gauge length L0 (m)"},
    {"stress_rate_MPa/s", "Batch stress rate (MPa/s)"},
    {"length_km", "Fiber length L (km)"},
    {"service_stress_MPa", "Service stress \u03c3a (MPa)"},
    {"service_years", "Service life (years)"},
    {"target_F", "Target F"},
};
} // namespace

frmLifetime::frmLifetime(const LifetimeInputs& batch, std::function<double(double)> strainToStress,
                         QWidget* parent)
    : QDialog(parent), m_batch(batch), m_inputs(batch), m_strainToStress(std::move(strainToStress)) {
    m_batch.FillDefaults();
    m_inputs = m_batch;
    setObjectName(QStringLiteral("frmLifetime"));
    setWindowTitle(LT::WindowTitle);
    setSizeGripEnabled(true);
    auto* inputs = new QGroupBox(QStringLiteral("Inputs"), this);
    auto* grid = new QGridLayout(inputs);
    int r = 0;
    for (const Row& row : Rows) {
        const QString key = QLatin1String(row.key);
        m_keys << key;
        auto* edit = new QLineEdit(inputs);
        edit->setObjectName(QStringLiteral("txt_") + key);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0.000123456")) + 12);
        auto* source = new QLabel(inputs);
        source->setObjectName(QStringLiteral("lblSource_") + key);
        source->setStyleSheet(QStringLiteral("color: #555"));
        source->setWordWrap(true);
        grid->addWidget(new QLabel(QString::fromUtf8(row.label), inputs), r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(source, r, 2);
        txtInput.insert(key, edit);
        lblSource.insert(key, source);
        connect(edit, &QLineEdit::editingFinished, this, [this, key] { edited(key); });
        ++r;
        if (key == QLatin1String("service_stress_MPa")) {
            txtServiceStrain = new QLineEdit(inputs);
            txtServiceStrain->setObjectName(QStringLiteral("txtServiceStrain"));
            txtServiceStrain->setFixedWidth(edit->width());
            grid->addWidget(new QLabel(QStringLiteral("  or service strain (%)"), inputs), r, 0);
            grid->addWidget(txtServiceStrain, r, 1);
            connect(txtServiceStrain, &QLineEdit::editingFinished, this, [this] {
                bool ok = false;
                const double strain = txtServiceStrain->text().toDouble(&ok);
                if (!ok || !m_strainToStress)
                    return;
                m_inputs.serviceStress.set(m_strainToStress(strain),
                                           QStringLiteral("from a strain of %1 %").arg(strain));
                showInputs();
                recompute();
            });
            ++r;
        }
    }
    grid->setColumnStretch(2, 1);

    lblAnswers = new QLabel(this);
    lblAnswers->setObjectName(QStringLiteral("lblAnswers"));
    lblAnswers->setWordWrap(true);
    lblAnswers->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chtFailure = new ChartControl(this);
    chtFailure->setObjectName(QStringLiteral("chtFailure"));
    chtAllowed = new ChartControl(this);
    chtAllowed->setObjectName(QStringLiteral("chtAllowed"));
    lblFailureLegend = new QLabel(this);
    lblFailureLegend->setWordWrap(true);

    cmdFromBatch = new QPushButton(LT::FromBatch, this);
    cmdFromBatch->setObjectName(QStringLiteral("cmdFromBatch"));
    txtStoreSample = new QLineEdit(this);
    txtStoreSample->setObjectName(QStringLiteral("txtStoreSample"));
    txtStoreSample->setToolTip(LT::StoreSampleTip);
    txtStoreSample->setFixedWidth(txtStoreSample->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 14);
    cmdFromStore = new QPushButton(LT::FromStore, this);
    cmdFromStore->setObjectName(QStringLiteral("cmdFromStore"));
    lblStoreOutcome = new QLabel(this);
    lblStoreOutcome->setObjectName(QStringLiteral("lblStoreOutcome"));
    lblStoreOutcome->setWordWrap(true);
    lblStoreSample = new QLabel(LT::StoreSample, this);
    lblStoreSample->setBuddy(txtStoreSample);
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblStoreSample, txtStoreSample, cmdFromStore, lblStoreOutcome})
        w->setVisible(false);
    connect(cmdFromStore, &QPushButton::clicked, this, &frmLifetime::fromStore);
    connect(txtStoreSample, &QLineEdit::returnPressed, this, &frmLifetime::fromStore);
    cmdReport = new QPushButton(LT::AddToReport, this);
    cmdReport->setObjectName(QStringLiteral("cmdReport"));
    cmdReport->setVisible(false);
    cmdClose = new QPushButton(LT::Close, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdFromBatch, &QPushButton::clicked, this, [this] {
        m_inputs = m_batch;
        txtServiceStrain->clear();
        showInputs();
        recompute();
    });
    connect(cmdReport, &QPushButton::clicked, this, [this] {
        if (m_addToReport)
            m_addToReport(m_inputs);
        cmdReport->setEnabled(false);
        cmdReport->setToolTip(LT::AddedToReport);
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* charts = new QVBoxLayout;
    charts->addWidget(new QLabel(QStringLiteral("F against service life, log\u2013log"), this));
    charts->addWidget(chtFailure, 1);
    charts->addWidget(lblFailureLegend);
    charts->addWidget(
        new QLabel(QStringLiteral("Allowed service stress against service life, log\u2013log"), this));
    charts->addWidget(chtAllowed, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(inputs);
    left->addWidget(lblAnswers);
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(charts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdFromBatch);
    buttons->addSpacing(12);
    buttons->addWidget(lblStoreSample);
    buttons->addWidget(txtStoreSample);
    buttons->addWidget(cmdFromStore);
    buttons->addWidget(lblStoreOutcome, 1);
    buttons->addStretch();
    buttons->addWidget(cmdReport);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(1200, 700);
    showInputs();
    recompute();
}

frmLifetime::~frmLifetime() = default;

void frmLifetime::setReportAdder(std::function<void(const LifetimeInputs&)> add) {
    m_addToReport = std::move(add);
    cmdReport->setVisible(bool(m_addToReport));
}

void frmLifetime::setStoreQuery(StoreQuery query) {
    m_storeQuery = std::move(query);
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblStoreSample, txtStoreSample, cmdFromStore, lblStoreOutcome})
        w->setVisible(bool(m_storeQuery));
}

void frmLifetime::fromStore() {
    if (!m_storeQuery)
        return;
    // What the engineer typed (or gave as a strain) stays; everything else comes from the store.
    LifetimeInputs kept;
    for (const QString& key : m_keys) {
        const LifetimeValue& mine = *inputValue(m_inputs, key);
        if (mine.value &&
            (mine.source == LT::Typed || mine.source.startsWith(QLatin1String("from a strain"))))
            *inputValue(kept, key) = mine;
    }
    QString error;
    const std::optional<LifetimeInputs> stored = m_storeQuery(txtStoreSample->text(), kept, &error);
    if (!stored) {
        lblStoreOutcome->setText(error);
        return;
    }
    m_inputs = *stored;
    m_inputs.FillDefaults();
    lblStoreOutcome->setText(QString());
    showInputs();
    recompute();
}

LifetimeValue* frmLifetime::value(const QString& key) {
    return inputValue(m_inputs, key);
}

namespace {
LifetimeValue* inputValue(LifetimeInputs& in, const QString& key) {
    const QHash<QString, LifetimeValue*> map{
        {QStringLiteral("m"), &in.m},
        {QStringLiteral("m_low"), &in.mLow},
        {QStringLiteral("m_high"), &in.mHigh},
        {QStringLiteral("n"), &in.n},
        {QStringLiteral("n_low"), &in.nLow},
        {QStringLiteral("n_high"), &in.nHigh},
        {QStringLiteral("proof_stress_MPa"), &in.proofStress},
        {QStringLiteral("proof_time_s"), &in.proofTime},
        {QStringLiteral("proof_breaks_per_km"), &in.breaksPerKm},
        {QStringLiteral("sigma0_MPa"), &in.sigma0},
        {QStringLiteral("gauge_length_m"), &in.gaugeLengthM},
        {QStringLiteral("stress_rate_MPa/s"), &in.stressRate},
        {QStringLiteral("length_km"), &in.lengthKm},
        {QStringLiteral("service_stress_MPa"), &in.serviceStress},
        {QStringLiteral("service_years"), &in.serviceYears},
        {QStringLiteral("target_F"), &in.targetF},
    };
    return map.value(key);
}
} // namespace

void frmLifetime::showInputs() {
    for (const QString& key : m_keys) {
        const LifetimeValue* v = value(key);
        txtInput[key]->setText(v->value ? LifetimeAnswers::Number(*v->value) : QString());
        txtInput[key]->setModified(false);
        lblSource[key]->setText(v->value ? v->source : QString());
    }
}

void frmLifetime::edited(const QString& key) {
    QLineEdit* edit = txtInput[key];
    if (!edit->isModified())
        return;
    edit->setModified(false);
    LifetimeValue* v = value(key);
    const QString text = edit->text().trimmed();
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (text.isEmpty())
        *v = {};
    else if (ok && std::isfinite(number))
        v->set(number, LT::Typed);
    if (key == QLatin1String("service_stress_MPa"))
        txtServiceStrain->clear();
    // Defaults show where nothing else gives a value.
    m_inputs.FillDefaults();
    showInputs();
    recompute();
}

void frmLifetime::recompute() {
    LifetimeInputs in = m_inputs;
    in.FillDefaults();
    const QStringList problems = in.Problems();
    QString text;
    if (!problems.isEmpty()) {
        text = QStringLiteral("<b>No answer:</b> ") + problems.join(QStringLiteral("; ")).toHtmlEscaped();
    } else {
        text = QStringLiteral("<b>%1 form</b><br>")
                   .arg(in.proofForm() ? QStringLiteral("Proof-test") : QStringLiteral("Tensile-batch"));
        for (const LifetimeAnswers::Answer& a : LifetimeAnswers::Compute(in).answers)
            text += a.label.toHtmlEscaped() + QStringLiteral(": <b>") +
                    LifetimeAnswers::DisplayText(a).toHtmlEscaped() + QStringLiteral("</b><br>");
    }
    for (const QString& note : in.notes)
        text += QStringLiteral("<br><i>") + note.toHtmlEscaped() + QStringLiteral("</i>");
    lblAnswers->setText(text);
    const bool drawable = problems.isEmpty();
    chtFailure->setData(drawable ? LifetimeCharts::Failure(in) : ChartData());
    chtAllowed->setData(drawable ? LifetimeCharts::Allowed(in) : ChartData());
    lblFailureLegend->setText(drawable ? LifetimeCharts::FailureLegend(in) : QString());
}
