#include "experiments/frmLoadCalibrate.h"

#include "base/Twips.h"
#include "experiments/CalibrationTexts.h"
#include "experiments/NewCalibration.h"
#include "params/WindowButton.h"
#include "results/ChartControl.h"
#include "results/frmBigPlot.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace T = CalibrationTexts;

namespace {
const QString BigPlotHint = QStringLiteral("double click a graph to see a larger version");

} // namespace

frmLoadCalibrate::frmLoadCalibrate(NewCalibration& calibration, Operator& op, SettingsStore& store,
                                   QWidget* parent)
    : QDialog(parent), m_calibration(calibration), m_op(op), m_store(store) {
    setObjectName(QStringLiteral("frmLoadCalibrate"));
    setWindowTitle(T::CalibrateCaption);
    setModal(true);
    setSizeGripEnabled(true);

    txtSerialNumber = new QLineEdit(this);
    txtSerialNumber->setObjectName(QStringLiteral("txtSerialNumber"));
    auto* serialLabel = new QLabel(T::SerialLabel, this);
    serialLabel->setBuddy(txtSerialNumber);

    lblSignal = new QLabel(this);
    lblSignal->setObjectName(QStringLiteral("lblSignal"));
    lblSignal->setAlignment(Qt::AlignCenter);
    lblSignal->setFrameShape(QFrame::Panel);
    lblSignal->setFrameShadow(QFrame::Sunken);
    QFont big = lblSignal->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblSignal->setFont(big);
    lblSignal->setMinimumHeight(QFontMetrics(big).lineSpacing() * 2 + 12);

    txtLoad = new QLineEdit(this);
    txtLoad->setObjectName(QStringLiteral("txtLoad"));
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(txtLoad, 1);
    for (int i = 0; i < 3; ++i) {
        optUnits[size_t(i)] = new QRadioButton(T::Units[i], this);
        optUnits[size_t(i)]->setObjectName(QStringLiteral("optUnits%1").arg(i));
        unitRow->addWidget(optUnits[size_t(i)]);
        connect(optUnits[size_t(i)], &QRadioButton::clicked, this, [this, i] { m_calibration.setUnit(i); });
    }
    chkSnap = new QCheckBox(T::Snap, this);
    chkSnap->setObjectName(QStringLiteral("chkSnap"));

    cmdAdd = WindowButton(T::AddPoint, "cmdAdd", this);
    cmdAdd->setDefault(true);
    cmdAdd->setAutoDefault(true);
    cmdDelete = WindowButton(T::DeletePoint, "cmdDelete", this);
    cmdDeleteAll = WindowButton(T::DeleteAll, "cmdDeleteAll", this);
    cmdCopy = WindowButton(T::CopyToClipboard, "cmdCopy", this);
    cmdTest = WindowButton(T::TestStatistics, "cmdTest", this);
    cmdFinish = WindowButton(T::Finish, "cmdFinish", this);

    grdCal = new QTableWidget(0, int(T::GridHeader.size()), this);
    grdCal->setObjectName(QStringLiteral("grdCal"));
    grdCal->setHorizontalHeaderLabels(T::GridHeader);
    grdCal->verticalHeader()->hide();
    grdCal->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCal->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCal->setSelectionMode(QAbstractItemView::SingleSelection);
    grdCal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grdCal->verticalHeader()->setDefaultSectionSize(grdCal->fontMetrics().height() + 6);

    MSChart1 = new ChartControl(this);
    MSChart1->setObjectName(QStringLiteral("MSChart1"));
    MSChart2 = new ChartControl(this);
    MSChart2->setObjectName(QStringLiteral("MSChart2"));
    auto* hint = new QLabel(BigPlotHint, this);
    hint->setAlignment(Qt::AlignCenter);

    lblParametersNew = new QLabel(this);
    lblParametersNew->setObjectName(QStringLiteral("lblParametersNew"));
    lblParametersOld = new QLabel(this);
    lblParametersOld->setObjectName(QStringLiteral("lblParametersOld"));
    for (QLabel* l : {lblParametersNew, lblParametersOld}) {
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    // Left: the measurement and the points; right: the charts; below: the two calibrations.
    auto* left = new QVBoxLayout;
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(serialLabel);
    serialRow->addWidget(txtSerialNumber, 1);
    left->addLayout(serialRow);
    left->addWidget(lblSignal);
    auto* massBox = new QGroupBox(T::LoadDescription, this);
    auto* massLayout = new QVBoxLayout(massBox);
    massLayout->addLayout(unitRow);
    massLayout->addWidget(chkSnap);
    left->addWidget(massBox);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdAdd, 0, 0);
    buttons->addWidget(cmdDelete, 0, 1);
    buttons->addWidget(cmdDeleteAll, 0, 2);
    buttons->addWidget(cmdCopy, 1, 0);
    buttons->addWidget(cmdTest, 1, 1);
    buttons->addWidget(cmdFinish, 1, 2);
    left->addLayout(buttons);
    left->addWidget(grdCal, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(MSChart1, 1);
    right->addWidget(MSChart2, 1);
    right->addWidget(hint);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 0);
    top->addLayout(right, 1);

    auto* parameters = new QGridLayout;
    parameters->addWidget(new QLabel(T::ParametersNew, this), 0, 0);
    parameters->addWidget(lblParametersNew, 0, 1);
    parameters->addWidget(new QLabel(T::ParametersOld, this), 1, 0);
    parameters->addWidget(lblParametersOld, 1, 1);
    parameters->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(parameters);

    tmrCal = new QTimer(this);
    tmrCal->setObjectName(QStringLiteral("tmrCal"));
    tmrCal->setInterval(TickMs);
    connect(tmrCal, &QTimer::timeout, this, &frmLoadCalibrate::tick);

    connect(txtSerialNumber, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_calibration.setSerialNumber(text.trimmed()); });
    connect(chkSnap, &QCheckBox::toggled, this, [this](bool on) {
        m_calibration.setSnapTo100g(on);
        applySnapMode();
    });
    connect(cmdAdd, &QPushButton::clicked, this, &frmLoadCalibrate::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this,
            [this] { paused([this] { m_calibration.AskDeletePoint(); }); });
    connect(cmdDeleteAll, &QPushButton::clicked, this,
            [this] { paused([this] { m_calibration.DeleteAll(); }); });
    connect(grdCal, &QTableWidget::cellClicked, this,
            [this](int row, int) { paused([this, row] { m_calibration.ConfirmDeletePoint(row + 1); }); });
    connect(cmdCopy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_calibration.tableText()); });
    connect(cmdTest, &QPushButton::clicked, this,
            [this] { paused([this] { m_calibration.TestStatistics(); }); });
    connect(cmdFinish, &QPushButton::clicked, this, &QDialog::accept);
    connect(MSChart1, &ChartControl::doubleClicked, this, [this] { showBig(*MSChart1); });
    connect(MSChart2, &ChartControl::doubleClicked, this, [this] { showBig(*MSChart2); });

    resize(twipsToPixels(15000), twipsToPixels(10500));
}

frmLoadCalibrate::~frmLoadCalibrate() = default;

template <class F> void frmLoadCalibrate::paused(F action) {
    const bool running = tmrCal->isActive();
    tmrCal->stop();
    action();
    refresh();
    if (running && isVisible())
        tmrCal->start();
}

void frmLoadCalibrate::Go() {
    m_closing = false;
    m_calibration.Open();
    txtSerialNumber->setText(m_calibration.working().SerialNumber);
    {
        const QSignalBlocker block(chkSnap);
        chkSnap->setChecked(m_calibration.snapTo100g());
    }
    refresh();
    tick();
    tmrCal->start();
    txtLoad->setFocus();
    exec();
}

void frmLoadCalibrate::done(int result) {
    if (!m_closing) {
        m_closing = true;
        tmrCal->stop();
        m_calibration.Close(isVisible());
    }
    QDialog::done(result);
}

void frmLoadCalibrate::tick() {
    // A garbled reply is no signal: the display keeps what it showed.
    const std::optional<double> sampled = m_calibration.SampleSignal();
    if (!sampled)
        return;
    const double signal = *sampled;
    lblSignal->setText(m_calibration.signalText(signal));
    if (m_calibration.snapMode()) {
        const std::optional<long> grams = m_calibration.estimatedGrams(signal);
        txtLoad->setText(grams ? QString::number(*grams) : QString());
    }
}

void frmLoadCalibrate::applySnapMode() {
    const bool snap = m_calibration.snapMode();
    txtLoad->setEnabled(!snap);
    const int shown = snap ? NewCalibration::Gram : m_calibration.unit();
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(optUnits[size_t(i)]);
        optUnits[size_t(i)]->setEnabled(!snap);
        optUnits[size_t(i)]->setChecked(i == shown);
    }
}

void frmLoadCalibrate::refresh() {
    const QList<QStringList> rows = m_calibration.tableRows();
    grdCal->setRowCount(int(rows.size()) - 1);
    for (int r = 1; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment(c == 1 ? Qt::AlignLeft | Qt::AlignVCenter
                                          : Qt::AlignRight | Qt::AlignVCenter);
            grdCal->setItem(r - 1, c, item);
        }
    grdCal->resizeColumnsToContents();
    // The whole table stays readable beside the charts: no column hidden behind a scroll bar.
    int width = 2 * grdCal->frameWidth() + grdCal->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < grdCal->columnCount(); ++c)
        width += grdCal->columnWidth(c);
    grdCal->setMinimumWidth(qMax(grdCal->minimumWidth(), width));

    m_calibration.fillSignalChart(MSChart1->data());
    MSChart1->refresh();
    m_calibration.fillResidueChart(MSChart2->data());
    MSChart2->refresh();
    lblParametersNew->setText(CalibrationText(m_calibration.working()));
    lblParametersOld->setText(m_calibration.currentDescription());
    applySnapMode();
}

void frmLoadCalibrate::cmdAdd_Click() {
    paused([this] { m_calibration.AddPoint(txtLoad->text()); });
    if (!m_calibration.snapMode()) {
        txtLoad->setFocus();
        txtLoad->selectAll();
    }
}

void frmLoadCalibrate::showBig(const ChartControl& chart) {
    if (m_bigPlot == nullptr)
        m_bigPlot = new frmBigPlot(m_op, m_store, this);
    paused([this, &chart] { m_bigPlot->Show(chart, chart.data().yAxis.title); });
}
