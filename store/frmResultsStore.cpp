#include "store/frmResultsStore.h"

#include "params/WindowPlacement.h"
#include "store/ResultsTrend.h"
#include "store/SearchText.h"
#include "store/Signatures.h"
#include "store/StoreTexts.h"
#include "store/frmAuditTrail.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace {
// The columns the search shows: title and stored column.
const std::pair<const char*, const char*> ShownColumns[] = {
    {"Tested", "tested_at"},  {"Sample", "sample"},       {"Operator", "operator"},
    {"Rate", "nominal_rate"}, {"s (MPa)", "stress_mpa"},  {"e (%)", "strain_percent"},
    {"Comment", "comment"},   {"Data file", "data_file"}, {"Row", "row_number"}};

// One series per sample and nominal rate: pooling rates, or holds with pulls, would mix strengths.
const QString TrendTitle = QStringLiteral("Median strength and Weibull m per sample and rate");

// A value axis with a bounded number of ticks over any range.
QValueAxis* valueAxis(const QString& title, double low, double high) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setTickCount(6);
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    axis->setRange(low, high);
    axis->applyNiceNumbers();
    axis->setLabelFormat(high - low >= 20 ? QStringLiteral("%.0f") : QStringLiteral("%.3g"));
    return axis;
}
} // namespace

frmResultsStore::frmResultsStore(const QString& storePath, QWidget* parent)
    : QDialog(parent), m_storePath(storePath) {
    setObjectName(QStringLiteral("frmResultsStore"));
    setWindowTitle(StoreTexts::WindowTitle);
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    auto box = [&](QLineEdit*& edit, const QString& label, const QString& hint, const char* name) {
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(hint);
        filters->addWidget(new QLabel(label, this));
        filters->addWidget(edit);
        connect(edit, &QLineEdit::returnPressed, this, [this] { Search(); });
    };
    box(txtSample, QStringLiteral("Sample"), QStringLiteral("any, or part of a name"), "txtSample");
    box(txtOperator, QStringLiteral("Operator"), QStringLiteral("any"), "txtOperator");
    box(txtSince, QStringLiteral("From"), SearchText::DateHint(), "txtSince");
    box(txtUntil, QStringLiteral("To"), SearchText::DateHint(), "txtUntil");
    box(txtRate, QStringLiteral("Rate"), QStringLiteral("e.g. 60 MPa/s"), "txtRate");
    // The date boxes show how a date may be typed, whole.
    for (QLineEdit* date : {txtSince, txtUntil}) {
        date->setToolTip(SearchText::DateHint());
        date->setMinimumWidth(date->fontMetrics().horizontalAdvance(SearchText::DateHint()) + 16);
    }
    auto* cmdSearch = new QPushButton(QStringLiteral("&Search"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    cmdSearch->setAutoDefault(false);
    filters->addWidget(cmdSearch);
    connect(cmdSearch, &QPushButton::clicked, this, [this] { Search(); });
    cmdTrail = new QPushButton(QStringLiteral("&Audit trail"), this);
    cmdTrail->setObjectName(QStringLiteral("cmdTrail"));
    cmdTrail->setAutoDefault(false);
    cmdTrail->setToolTip(
        QStringLiteral("The recorded changes of the chosen result, its data file, the options"));
    filters->addWidget(cmdTrail);
    connect(cmdTrail, &QPushButton::clicked, this, &frmResultsStore::ShowTrail);
    layout->addLayout(filters);

    auto* split = new QSplitter(Qt::Vertical, this);
    grdFound = new QTableView(split);
    grdFound->setObjectName(QStringLiteral("grdFound"));
    m_model = new QStandardItemModel(this);
    grdFound->setModel(m_model);
    grdFound->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFound->setSelectionMode(QAbstractItemView::SingleSelection);
    grdFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFound->verticalHeader()->hide();
    grdFound->verticalHeader()->setDefaultSectionSize(grdFound->fontMetrics().height() + 6);
    auto* charts = new QSplitter(Qt::Horizontal, split);
    chtCurve = new QChartView(new QChart, charts);
    chtCurve->setObjectName(QStringLiteral("chtCurve"));
    chtTrend = new QChartView(new QChart, charts);
    chtTrend->setObjectName(QStringLiteral("chtTrend"));
    for (QChartView* view : {chtCurve, chtTrend}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(360, 260);
    }
    chtCurve->chart()->setTitle(QStringLiteral("Load/time record of the chosen result"));
    chtTrend->chart()->setTitle(TrendTitle);
    // The legends tell lines from points (the median and the modulus share a colour).
    for (QChartView* view : {chtCurve, chtTrend})
        view->chart()->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    // The charts are what the window is for: they get most of the height.
    split->setSizes({240, 420});
    layout->addWidget(split, 1);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    layout->addWidget(lblStatus);
    lblSignatures = new QLabel(this);
    lblSignatures->setObjectName(QStringLiteral("lblSignatures"));
    lblSignatures->setWordWrap(true);
    layout->addWidget(lblSignatures);
    resize(1100, 720);
    // Within what the screen's panels leave.
    FitOnScreen(*this);

    connect(grdFound->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowCurve(current.row()); });

    if (!QFileInfo::exists(storePath))
        lblStatus->setText(QStringLiteral("No results store yet at ") + storePath);
    else if (!m_db.open(storePath))
        lblStatus->setText(QStringLiteral("The results store cannot be read: ") + m_db.error());
    else
        Search();
}

int frmResultsStore::Search() {
    m_model->clear();
    m_uuids.clear();
    QStringList titles;
    for (const auto& [title, column] : ShownColumns)
        titles << QLatin1String(title);
    m_model->setHorizontalHeaderLabels(titles);
    if (!m_db.isOpen())
        return 0;
    ResultFilter filter;
    filter.sample = txtSample->text().trimmed();
    filter.operatorName = txtOperator->text().trimmed();
    filter.rate = txtRate->text().trimmed();
    // A date the search cannot read is said so, never left out of the search without a word.
    for (auto [edit, date, label] : {std::tuple{txtSince, &filter.since, QStringLiteral("From")},
                                     std::tuple{txtUntil, &filter.until, QStringLiteral("To")}}) {
        if (edit->text().trimmed().isEmpty())
            continue;
        const std::optional<QDate> day = SearchText::ParseDate(edit->text());
        if (!day) {
            lblStatus->setText(QStringLiteral("The date \"%1\" in %2 is not understood: type it as %3.")
                                   .arg(edit->text().trimmed(), label, SearchText::DateHint()));
            edit->setFocus();
            edit->selectAll();
            chtTrend->chart()->removeAllSeries();
            return -1;
        }
        *date = day->toString(Qt::ISODate);
    }
    ResultsTrend trend;
    int found = 0;
    const bool ok = m_db.forEachResult(filter, [&](const ResultView& view) {
        const QString comment = view.currentFields.value(15);
        trend.add(view.text(QStringLiteral("sample")), view.text(QStringLiteral("tested_at")),
                  view.currentFields);
        ++found;
        if (m_uuids.size() < MaxRows) {
            QList<QStandardItem*> items;
            for (const auto& [title, column] : ShownColumns) {
                const QString name = QLatin1String(column);
                auto* item = new QStandardItem(name == QStringLiteral("comment") ? comment : view.text(name));
                if (view.number(name) && name != QStringLiteral("sample") &&
                    name != QStringLiteral("operator"))
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                items << item;
            }
            m_model->appendRow(items);
            m_uuids << view.text(QStringLiteral("uuid"));
        }
        return true;
    });
    grdFound->resizeColumnsToContents();
    lblStatus->setText(
        ok ? QStringLiteral("%1 results found%2")
                 .arg(found)
                 .arg(found > MaxRows ? QStringLiteral(" (the first %1 listed)").arg(MaxRows) : QString())
           : m_db.error());

    // The trend: a line of medians per sample on the left axis, Weibull m as points on the right.
    QChart* chart = chtTrend->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    const QList<SampleTrend> trends = trend.trends(TrendSamples);
    // One sample: named once in the title, the series by their rates alone.
    const bool oneSample = std::all_of(trends.cbegin(), trends.cend(), [&trends](const SampleTrend& t) {
        return t.sample == trends.front().sample;
    });
    QString title = TrendTitle;
    if (oneSample && !trends.isEmpty())
        title += QStringLiteral(": ") + trends.front().sample;
    if (trend.staticRows() > 0)
        title += QStringLiteral(" (%1 static hold rows left out)").arg(trend.staticRows());
    chart->setTitle(title);
    double lowS = 1e300, highS = -1e300, lowM = 1e300, highM = -1e300;
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("yyyy-MM-dd"));
    time->setTitleText(QStringLiteral("Test day"));
    QList<QLineSeries*> medians;
    QList<QScatterSeries*> moduli;
    for (const SampleTrend& t : trends) {
        auto* median = new QLineSeries;
        const QString name = oneSample ? t.rate : t.name();
        median->setName(name);
        median->setPointsVisible(true);
        auto* modulus = new QScatterSeries;
        modulus->setName(name + QStringLiteral(" \u00b7 m"));
        modulus->setMarkerSize(9);
        modulus->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        for (const TrendPoint& p : t.points) {
            const qint64 x = p.day.startOfDay().toMSecsSinceEpoch();
            first = std::min(first, x);
            last = std::max(last, x);
            median->append(double(x), p.median);
            lowS = std::min(lowS, p.median);
            highS = std::max(highS, p.median);
            if (p.weibullM) {
                modulus->append(double(x), *p.weibullM);
                lowM = std::min(lowM, *p.weibullM);
                highM = std::max(highM, *p.weibullM);
            }
        }
        medians << median;
        moduli << modulus;
    }
    if (trends.isEmpty()) {
        delete time;
        return found;
    }
    // A day to spare on either side: the first and last days' points stay clear of the axes, and a
    // single day still gets a span to show.
    constexpr qint64 Day = 86400000;
    first -= Day;
    last += Day;
    // Ticks on whole days, so that no day is labelled twice: one a day over a short span, else
    // five with the span widened to a multiple of four days.
    qint64 days = std::max<qint64>(1, (last - first + Day / 2) / Day);
    if (days > 8) {
        days = (days + 3) / 4 * 4;
        last = first + days * Day;
    }
    time->setTickCount(int(days > 8 ? 5 : days + 1));
    time->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    chart->addAxis(time, Qt::AlignBottom);
    QValueAxis* stressAxis = valueAxis(QStringLiteral("Median s (MPa), lines"), lowS * 0.98, highS * 1.02);
    chart->addAxis(stressAxis, Qt::AlignLeft);
    QValueAxis* mAxis = valueAxis(QStringLiteral("Weibull m, squares"), lowM > highM ? 0 : lowM * 0.9,
                                  lowM > highM ? 10 : highM * 1.1);
    chart->addAxis(mAxis, Qt::AlignRight);
    for (int i = 0; i < medians.size(); ++i) {
        chart->addSeries(medians[i]);
        medians[i]->attachAxis(time);
        medians[i]->attachAxis(stressAxis);
        chart->addSeries(moduli[i]);
        moduli[i]->setColor(medians[i]->color());
        moduli[i]->attachAxis(time);
        moduli[i]->attachAxis(mAxis);
        // One legend entry per series, its colour shared by the line and the squares: the legend
        // has room for the rate and the sample.
        for (QLegendMarker* marker : chart->legend()->markers(moduli[i]))
            marker->setVisible(false);
    }
    return found;
}

void frmResultsStore::ShowCurve(int row) {
    QChart* chart = chtCurve->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    lblSignatures->clear();
    if (row < 0 || row >= m_uuids.size())
        return;
    QStringList signatures;
    for (const Signature& s : Signatures(m_db).ofResult(m_uuids[row]).value_or(QList<Signature>()))
        signatures << Signatures::ReportLine(s);
    lblSignatures->setText(signatures.join(QLatin1Char('\n')));
    // The record's lines: position, time, load, stress, strain, speed, tab-separated.
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("Load (N)"));
    double lowT = 1e300, highT = -1e300, lowL = 1e300, highL = -1e300;
    const QString record = m_db.record(m_uuids[row]);
    for (const QString& line : record.split(QLatin1Char('\n'))) {
        const QStringList f = line.trimmed().split(QLatin1Char('\t'));
        if (f.size() != 6)
            continue;
        bool okT = false, okL = false;
        const double t = f[1].toDouble(&okT);
        const double load = f[2].toDouble(&okL);
        if (!okT || !okL || !std::isfinite(t) || !std::isfinite(load))
            continue;
        series->append(t, load);
        lowT = std::min(lowT, t);
        highT = std::max(highT, t);
        lowL = std::min(lowL, load);
        highL = std::max(highL, load);
    }
    if (series->count() == 0) {
        delete series;
        chart->setTitle(QStringLiteral("No load/time record stored for this result"));
        return;
    }
    chart->setTitle(QStringLiteral("Load/time record of the chosen result"));
    chart->addSeries(series);
    QValueAxis* x = valueAxis(QStringLiteral("Time (s)"), lowT, highT);
    QValueAxis* y = valueAxis(QStringLiteral("Load (N)"), lowL, highL);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void frmResultsStore::ShowTrail() {
    // The chosen result's row and file; without one, the whole trail.
    const int row = grdFound->currentIndex().isValid() ? grdFound->currentIndex().row() : -1;
    QString file;
    int number = 0;
    if (row >= 0 && row < m_model->rowCount()) {
        for (int c = 0; c < m_model->columnCount(); ++c) {
            const QString title = m_model->horizontalHeaderItem(c)->text();
            if (title == QLatin1String("Data file"))
                file = m_model->item(row, c)->text();
            else if (title == QLatin1String("Row"))
                number = m_model->item(row, c)->text().toInt();
        }
    }
    frmAuditTrail window(m_storePath, this);
    window.Show(file, file.isEmpty() ? 0 : number);
    if (file.isEmpty() && window.cboScope->count() > 1)
        window.cboScope->setCurrentIndex(window.cboScope->count() - 1);
    window.exec();
}
