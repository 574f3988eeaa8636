#include "results/frmStatistics.h"

#include "base/Operator.h"
#include "params/WindowPlacement.h"
#include "results/BatchReport.h"
#include "results/ChartControl.h"
#include "results/SampleStatistics.h"
#include "results/StaticStatistics.h"
#include "results/StatisticsCharts.h"
#include "results/StatisticsTexts.h"
#include "results/frmBigPlot.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ST = StatisticsTexts;

frmStatistics::frmStatistics(Operator& op, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_op(op), m_store(store),
      m_report(std::make_unique<BatchReport>(QString(), QList<QStringList>{})) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(ST::WindowTitle);
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    grdStatistics = new QTableWidget(this);
    grdStatistics->setObjectName(QStringLiteral("grdStatistics"));
    grdStatistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdStatistics->verticalHeader()->setDefaultSectionSize(grdStatistics->fontMetrics().height() + 4);
    lblFatigue = new QLabel(this);
    lblFatigue->setObjectName(QStringLiteral("lblFatigue"));
    lblFatigue->setWordWrap(true);

    grdStatic = new QTableWidget(this);
    grdStatic->setObjectName(QStringLiteral("grdStatic"));
    grdStatic->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdStatic->verticalHeader()->setDefaultSectionSize(grdStatic->fontMetrics().height() + 4);
    lblStaticFatigue = new QLabel(this);
    lblStaticFatigue->setObjectName(QStringLiteral("lblStaticFatigue"));
    lblStaticFatigue->setWordWrap(true);
    chtStatic = new ChartControl(this);
    chtStatic->setObjectName(QStringLiteral("chtStatic"));
    chtStatic->setMinimumSize(300, 200);

    lblColumns = new QLabel(ST::ColumnsLabel, this);
    cboColumns = new QComboBox(this);
    cboColumns->setObjectName(QStringLiteral("cboColumns"));
    cboColumns->addItems({ST::ColumnsPerRate, ST::ColumnsPerSample});
    lblColumns->setBuddy(cboColumns);
    lblColumns->hide();
    cboColumns->hide();
    cboGroup = new QComboBox(this);
    cboGroup->setObjectName(QStringLiteral("cboGroup"));
    // A sample's name and rate read whole.
    cboGroup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    chtWeibull = new ChartControl(this);
    chtWeibull->setObjectName(QStringLiteral("chtWeibull"));
    chtFatigue = new ChartControl(this);
    chtFatigue->setObjectName(QStringLiteral("chtFatigue"));
    for (ChartControl* c : {chtWeibull, chtFatigue})
        c->setMinimumSize(320, 200);

    cmdLifetime = new QPushButton(ST::Lifetime, this);
    cmdLifetime->setObjectName(QStringLiteral("cmdLifetime"));
    cmdLifetime->setVisible(false);
    cmdCopy = new QPushButton(ST::Copy, this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdReport = new QPushButton(ST::SaveReport, this);
    cmdReport->setObjectName(QStringLiteral("cmdReport"));
    cmdClose = new QPushButton(ST::Close, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);

    connect(cboGroup, &QComboBox::currentIndexChanged, this, &frmStatistics::showGroup);
    connect(cboColumns, &QComboBox::currentIndexChanged, this, [this] { showTable(); });
    connect(cmdCopy, &QPushButton::clicked, this, &frmStatistics::cmdCopy_Click);
    connect(cmdReport, &QPushButton::clicked, this, &frmStatistics::cmdReport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(chtWeibull, &ChartControl::doubleClicked, this, [this] {
        enlarge(chtWeibull, ST::WeibullTitle + QStringLiteral(": ") + cboGroup->currentText());
    });
    connect(chtFatigue, &ChartControl::doubleClicked, this,
            [this] { enlarge(chtFatigue, ST::FatigueTitle); });
    connect(chtStatic, &ChartControl::doubleClicked, this, [this] { enlarge(chtStatic, ST::StaticTitle); });

    auto* layout = new QVBoxLayout(this);
    auto* tableTop = new QHBoxLayout;
    tableTop->addStretch();
    tableTop->addWidget(lblColumns);
    tableTop->addWidget(cboColumns);
    layout->addLayout(tableTop);
    layout->addWidget(grdStatistics);
    layout->addWidget(lblFatigue);
    layout->addWidget(grdStatic);
    layout->addWidget(lblStaticFatigue);
    auto* charts = new QHBoxLayout;
    auto* weibull = new QVBoxLayout;
    auto* chooser = new QHBoxLayout;
    chooser->addWidget(new QLabel(ST::WeibullTitle, this));
    chooser->addStretch();
    chooser->addWidget(new QLabel(ST::Group, this));
    chooser->addWidget(cboGroup);
    weibull->addLayout(chooser);
    weibull->addWidget(chtWeibull, 1);
    weibull->addWidget(new QLabel(ST::WeibullLegend, this));
    auto* fatigue = new QVBoxLayout;
    auto* fatigueTitle = new QLabel(ST::FatigueTitle, this);
    fatigueTitle->setMinimumHeight(cboGroup->sizeHint().height());
    fatigue->addWidget(fatigueTitle);
    fatigue->addWidget(chtFatigue, 1);
    fatigue->addWidget(new QLabel(QStringLiteral(" "), this));
    m_staticChart = new QWidget(this);
    auto* statics = new QVBoxLayout(m_staticChart);
    statics->setContentsMargins(0, 0, 0, 0);
    auto* staticTitle = new QLabel(ST::StaticTitle, m_staticChart);
    staticTitle->setMinimumHeight(cboGroup->sizeHint().height());
    statics->addWidget(staticTitle);
    statics->addWidget(chtStatic, 1);
    statics->addWidget(new QLabel(QStringLiteral(" "), m_staticChart));
    charts->addLayout(weibull, 1);
    charts->addLayout(fatigue, 1);
    charts->addWidget(m_staticChart, 1);
    // The figures' plots on one page, the batch's curves on the next at the window's full width.
    tabCharts = new QTabWidget(this);
    tabCharts->setObjectName(QStringLiteral("tabCharts"));
    auto* figuresPage = new QWidget(tabCharts);
    figuresPage->setLayout(charts);
    tabCharts->addTab(figuresPage, ST::FiguresTab);
    auto* overlayPage = new QWidget(tabCharts);
    auto* overlay = new QVBoxLayout(overlayPage);
    auto* overlayTop = new QHBoxLayout;
    overlayTop->addWidget(
        new QLabel(ST::OverlayTitle + QStringLiteral(": ") + ST::OverlayStress, overlayPage));
    overlayTop->addWidget(new QLabel(ST::OverlayAgainst, overlayPage));
    cboOverlayAxis = new QComboBox(overlayPage);
    cboOverlayAxis->setObjectName(QStringLiteral("cboOverlayAxis"));
    cboOverlayAxis->addItems({ST::OverlayTime, ST::OverlayStrain});
    overlayTop->addWidget(cboOverlayAxis);
    // One group at a time, where the rates' curves lie on top of each other.
    cboOverlayGroup = new QComboBox(overlayPage);
    cboOverlayGroup->setObjectName(QStringLiteral("cboOverlayGroup"));
    auto* show = new QLabel(ST::OverlayShow, overlayPage);
    show->setBuddy(cboOverlayGroup);
    overlayTop->addSpacing(12);
    overlayTop->addWidget(show);
    overlayTop->addWidget(cboOverlayGroup);
    overlayTop->addStretch();
    overlay->addLayout(overlayTop);
    chtOverlay = new ChartControl(overlayPage);
    chtOverlay->setObjectName(QStringLiteral("chtOverlay"));
    chtOverlay->setMinimumSize(320, 200);
    overlay->addWidget(chtOverlay, 1);
    lblOverlayLegend = new QLabel(overlayPage);
    lblOverlayLegend->setObjectName(QStringLiteral("lblOverlayLegend"));
    lblOverlayLegend->setWordWrap(true);
    lblOverlayLegend->setTextFormat(Qt::RichText);
    overlay->addWidget(lblOverlayLegend);
    tabCharts->addTab(overlayPage, ST::OverlayTab);
    connect(cboOverlayAxis, &QComboBox::currentIndexChanged, this, &frmStatistics::showOverlay);
    connect(cboOverlayGroup, &QComboBox::currentIndexChanged, this, &frmStatistics::showOverlay);
    connect(chtOverlay, &ChartControl::doubleClicked, this, [this] {
        enlarge(chtOverlay, ST::OverlayTitle + QStringLiteral(": ") + ST::OverlayStress + QLatin1Char(' ') +
                                ST::OverlayAgainst + QLatin1Char(' ') + cboOverlayAxis->currentText() +
                                QStringLiteral(", ") + cboOverlayGroup->currentText());
    });
    layout->addWidget(tabCharts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("double click a graph to see a larger version"), this));
    bottom->addStretch();
    bottom->addWidget(cmdLifetime);
    bottom->addWidget(cmdCopy);
    bottom->addWidget(cmdReport);
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);

    resize(1000, 900);
    RestoreWindowPlacement(m_store, *this);
}

frmStatistics::~frmStatistics() {
    SaveWindowPlacement(m_store, *this);
}

void frmStatistics::setRows(const QList<QStringList>& rows, const QString& dataFileName) {
    m_dataFileName = dataFileName;
    m_report = std::make_unique<BatchReport>(dataFileName, rows);
    m_report->setCalibration(m_calibration);
    m_report->setSignatures(m_signatures);
    m_curves = BatchCurves(rows, m_locate, BatchCurves::GroupOrder(m_report->statistics()));
    m_report->setCurves(m_curves);
    m_samples = std::make_unique<SampleStatistics>(rows);
    const QSignalBlocker blockColumns(cboColumns);
    cboColumns->setCurrentIndex(0);
    for (QWidget* w : {static_cast<QWidget*>(cboColumns), static_cast<QWidget*>(lblColumns)})
        w->setVisible(m_samples->samples() > 1);
    showTable();
    showStatic();
    {
        const QSignalBlocker blockGroups(cboOverlayGroup);
        cboOverlayGroup->clear();
        cboOverlayGroup->addItem(ST::OverlayAllGroups);
        for (const QString& g : m_curves.groups())
            cboOverlayGroup->addItem(g, g);
    }
    showOverlay();
}

void frmStatistics::showTable() {
    const BatchStatistics& stats = m_report->statistics();
    // Per rate (the batch's groups) or, where the rows hold several samples, per sample and rate.
    const bool perSample = cboColumns->currentIndex() == 1 && m_samples;
    QList<const GroupStatistics*> columns{&stats.all()};
    QStringList titles{stats.AllTitle()};
    if (perSample) {
        for (const SampleGroup& g : m_samples->groups()) {
            columns.append(&g.group);
            titles.append(g.title());
        }
    } else {
        for (const GroupStatistics& g : stats.groups()) {
            columns.append(&g);
            titles.append(g.rate);
        }
    }
    m_columns = columns;
    const QList<StatisticFigure> labels = BatchStatistics::Figures(stats.all());
    grdStatistics->clear();
    grdStatistics->setColumnCount(int(columns.size()));
    grdStatistics->setRowCount(int(labels.size()));
    grdStatistics->setHorizontalHeaderLabels(titles);
    QStringList rowLabels;
    for (const StatisticFigure& f : labels)
        rowLabels.append(f.label);
    grdStatistics->setVerticalHeaderLabels(rowLabels);
    for (int c = 0; c < columns.size(); ++c) {
        const QList<StatisticFigure> figures = BatchStatistics::Figures(*columns[c]);
        for (int r = 0; r < figures.size(); ++r) {
            auto* item = new QTableWidgetItem(BatchStatistics::DisplayText(figures[r]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdStatistics->setItem(r, c, item);
        }
    }
    grdStatistics->resizeColumnsToContents();
    // The whole table without scrolling; the plots take the rest of the window.
    int height = 2 * grdStatistics->frameWidth() + grdStatistics->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < grdStatistics->rowCount(); ++r)
        height += grdStatistics->rowHeight(r);
    // On a small screen the table scrolls rather than pushing the plots and buttons off it; the
    // static levels' table and line need their room too.
    const bool statics = !stats.statics().isEmpty();
    if (const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen())
        height = qMin(height, screen->availableGeometry().height() * (statics ? 1 : 2) / (statics ? 4 : 5));
    grdStatistics->setFixedHeight(height);
    QString fatigue = stats.FatigueText();
    if (stats.AllPooled())
        fatigue += QLatin1Char('\n') + stats.PooledText();
    if (!stats.proof().isEmpty())
        fatigue += QLatin1Char('\n') + stats.proof().SummaryText().trimmed().replace(QStringLiteral("\r\n"),
                                                                                     QStringLiteral("\n"));
    lblFatigue->setText(fatigue);
    if (QTableWidgetItem* all = grdStatistics->horizontalHeaderItem(0))
        all->setToolTip(stats.PooledText());

    const QSignalBlocker block(cboGroup);
    cboGroup->clear();
    cboGroup->addItems(titles);
    // The largest group shows first: pooling the rates mixes strengths the fatigue has set apart.
    int shown = stats.LargestGroup() + 1;
    if (perSample)
        for (int c = 1; c < columns.size(); ++c)
            if (shown < 1 || columns[c]->specimens() > columns[shown]->specimens())
                shown = c;
    cboGroup->setCurrentIndex(shown);
    showGroup(shown);
    if (stats.fatigue())
        chtFatigue->setData(StatisticsCharts::Fatigue(*stats.fatigue()));
    else
        chtFatigue->setData(ChartData());
    chtFatigue->setEnabled(stats.fatigue().has_value());
}

void frmStatistics::showOverlay() {
    const auto axis =
        cboOverlayAxis->currentIndex() == 1 ? BatchCurves::Axis::Strain : BatchCurves::Axis::Time;
    chtOverlay->setData(m_curves.Chart(axis, cboOverlayGroup->currentData().toString()));
    chtOverlay->setEnabled(!m_curves.isEmpty());
    QString count = ST::OverlayCount(m_curves.curves().size(), m_curves.missing());
    if (chtOverlay->data().curveCount() != m_curves.curves().size())
        count = QString::number(chtOverlay->data().curveCount()) + QStringLiteral(" of ") + count;
    lblOverlayLegend->setText(count.toHtmlEscaped() + QStringLiteral(" &nbsp; ") + m_curves.LegendHtml());
}

void frmStatistics::showStatic() {
    const StaticStatistics& statics = m_report->statistics().statics();
    const bool shown = !statics.isEmpty();
    for (QWidget* w :
         {static_cast<QWidget*>(grdStatic), static_cast<QWidget*>(lblStaticFatigue), m_staticChart})
        w->setVisible(shown);
    if (!shown)
        return;
    grdStatic->clear();
    grdStatic->setColumnCount(int(std::size(ST::StaticColumns)));
    grdStatic->setRowCount(int(statics.levels().size()));
    QStringList headers;
    for (const QString& title : ST::StaticColumns)
        headers.append(title);
    grdStatic->setHorizontalHeaderLabels(headers);
    QStringList levels;
    auto text = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    for (int r = 0; r < statics.levels().size(); ++r) {
        const StaticLevel& l = statics.levels()[r];
        levels.append(l.level);
        const QStringList cells{text(l.stress, 1),
                                QString::number(l.breaks),
                                QString::number(l.runouts),
                                l.median ? text(l.median, 2) : ST::NotEnoughData,
                                l.weibull ? QString::number(l.weibull->m, 'f', 2) : ST::NotEnoughData,
                                l.weibull ? QString::number(l.weibull->sigma0, 'f', 1) : ST::NotEnoughData,
                                QString::number(l.skipped),
                                QString::number(l.ignored)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdStatic->setItem(r, c, item);
        }
    }
    grdStatic->setVerticalHeaderLabels(levels);
    grdStatic->resizeColumnsToContents();
    int height = 2 * grdStatic->frameWidth() + grdStatic->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < grdStatic->rowCount(); ++r)
        height += grdStatic->rowHeight(r);
    grdStatic->setFixedHeight(height);
    lblStaticFatigue->setText(statics.FatigueText());
    chtStatic->setData(StatisticsCharts::StaticFatigue(statics));
}

void frmStatistics::showGroup(int index) {
    if (index < 0 || index >= m_columns.size())
        return;
    const GroupStatistics* group = m_columns[index];
    // One break is no distribution: a single point on a Weibull plot would read as one.
    const bool enough = group->specimens() >= BatchReport::MinWeibullPoints;
    chtWeibull->setData(enough ? StatisticsCharts::Weibull(*group) : ChartData());
    chtWeibull->setEnabled(enough);
}

void frmStatistics::cmdCopy_Click() {
    QApplication::clipboard()->setText(m_report->statistics().SummaryText());
    m_op.msgBox(ST::StatsInClipboard, MsgStyle::OkOnly | MsgStyle::Information, ST::StatsInClipboardTitle);
}

void frmStatistics::cmdReport_Click() {
    FileDialogRequest request;
    request.title = ST::ReportTitle;
    request.filter = ST::ReportFilter;
    const QFileInfo data(m_dataFileName);
    request.initialFolder = m_dataFileName.isEmpty() ? QString() : data.absolutePath();
    request.initialName = (m_dataFileName.isEmpty() ? QStringLiteral("batch") : data.completeBaseName()) +
                          QStringLiteral("_report.pdf");
    request.confirmOverwrite = true;
    const QString path = m_op.saveFileName(request);
    if (path.isEmpty())
        return;
    QString error;
    if (!m_report->Write(path, &error)) {
        m_op.msgBox(ST::ReportNotWritten.arg(path) + QStringLiteral("\r") + error,
                    MsgStyle::OkOnly | MsgStyle::Exclamation, ST::ReportTitle);
        return;
    }
    m_op.msgBox(ST::ReportWritten.arg(QDir::toNativeSeparators(path)),
                MsgStyle::OkOnly | MsgStyle::Information, ST::ReportWrittenTitle);
}

void frmStatistics::addReportPage(const std::function<void(QPainter&, const QRectF&)>& page) {
    m_report->addPage(page);
}

void frmStatistics::setLifetimeOpener(const std::function<void()>& open) {
    cmdLifetime->setVisible(bool(open));
    disconnect(cmdLifetime, &QPushButton::clicked, nullptr, nullptr);
    if (open)
        connect(cmdLifetime, &QPushButton::clicked, this, open);
}

void frmStatistics::setCalibration(const QString& calibration) {
    m_calibration = calibration;
    if (m_report)
        m_report->setCalibration(calibration);
}

void frmStatistics::enlarge(ChartControl* chart, const QString& caption) {
    if (!m_bigPlot)
        m_bigPlot = new frmBigPlot(m_op, m_store, this);
    m_bigPlot->Show(*chart, caption);
    cmdClose->setFocus();
}
