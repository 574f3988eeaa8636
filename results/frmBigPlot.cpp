#include "results/frmBigPlot.h"

#include "base/Operator.h"
#include "base/Twips.h"
#include "params/WindowPlacement.h"
#include "results/Chart.h"
#include "results/ChartControl.h"
#include "results/PlotTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

frmBigPlot::frmBigPlot(Operator& op, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_op(op), m_store(store) {
    setObjectName(QStringLiteral("frmBigPlot"));
    setModal(true);
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    MSChart1 = new ChartControl(this);
    MSChart1->setObjectName(QStringLiteral("MSChart1"));
    cmdCopy = new QPushButton(PlotTexts::BigPlotCopy, this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdExit = new QPushButton(PlotTexts::BigPlotExit, this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setDefault(true);
    connect(cmdCopy, &QPushButton::clicked, this, &frmBigPlot::cmdCopy_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::hide);
    connect(MSChart1, &ChartControl::pointSelected, this, &frmBigPlot::pointSelected);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MSChart1, 1);
    auto* buttons = new QHBoxLayout;
    lblPoint = new QLabel(this);
    lblPoint->setObjectName(QStringLiteral("lblPoint"));
    lblPoint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // However long the point's text, it wraps or is cut in its own room: it never widens the window
    // and pushes the buttons out of it.
    lblPoint->setWordWrap(true);
    lblPoint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblPoint->setMinimumWidth(0);
    buttons->addWidget(lblPoint, 1);
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdExit);
    layout->addLayout(buttons);

    resize(twipsToPixels(10000), twipsToPixels(7500));
    RestoreWindowPlacement(m_store, *this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    placePlotArea();
}

frmBigPlot::~frmBigPlot() {
    SaveWindowPlacement(m_store, *this);
}

void frmBigPlot::Show(const ChartControl& source, const QString& caption) {
    CopyChart(source, *MSChart1);
    lblPoint->setText(PlotTexts::ClickAPoint);
    placePlotArea();
    setWindowTitle(caption);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    cmdExit->setFocus();
    exec();
}

void frmBigPlot::hideEvent(QHideEvent* event) {
    SaveWindowPlacement(m_store, *this);
    QDialog::hideEvent(event);
}

void frmBigPlot::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placePlotArea();
}

void frmBigPlot::placePlotArea() {
    // The plot starts 100 twips in from the chart's left and top and is 250 twips narrower and
    // 300 twips lower than the chart.
    const int lead = twipsToPixels(100);
    MSChart1->setPlotMargins(QMargins(lead, lead, twipsToPixels(250) - lead, twipsToPixels(300) - lead));
}

void frmBigPlot::cmdCopy_Click() {
    auto* mime = new QMimeData;
    mime->setImageData(MSChart1->picture());
    mime->setText(MSChart1->data().dataText());
    QApplication::clipboard()->setMimeData(mime);
    cmdExit->setFocus();
}

void frmBigPlot::pointSelected(int curve, int row) {
    const ChartData& d = MSChart1->data();
    const int column = 2 * curve + 1;
    // Shown under the plot, not in a box the operator must close before the next click.
    const QString text = PointValueText(column, row + 1, d.data(row, column - 1), d.data(row, column),
                                        d.xAxis.title, d.yAxis.title, d.styles.value(curve).name);
    lblPoint->setText(text);
    QToolTip::showText(QCursor::pos(), text, MSChart1);
}
