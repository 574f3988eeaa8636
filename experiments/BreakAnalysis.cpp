#include "experiments/BreakAnalysis.h"

#include "base/Operator.h"
#include "experiments/BreakTexts.h"
#include "experiments/Fiber.h"
#include "experiments/LoadTimeRecorder.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"
#include "results/Chart.h"
#include "results/LineFit.h"
#include "results/RowTitle.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

BreakAnalysis::BreakAnalysis(Parameters& params, Fiber& fiber, Operator& op)
    : m_params(params), m_fiber(fiber), m_op(op) {}

BreakResult BreakAnalysis::Analyse(LoadTimeRecorder& rec) {
    BreakResult r;
    // An empty ring has nothing to analyse (its index has not moved).
    const bool empty = !rec.LtWrapped() && rec.LtIndex() == 1;
    int last = rec.LtIndex() - 1;
    if (last < 1)
        last = LoadTimeRecorder::Capacity;
    rec.setLtIndex(last);
    r.LtCount = rec.LtWrapped() ? LoadTimeRecorder::Capacity : (empty ? 0 : last);
    const int n = r.LtCount;
    if (n < 1)
        return r;

    // In time order, equal times by position. The break reading the controller kept is recorded
    // after the pull, with the clock and position of its peak, which can tie with (or, on a coarse
    // clock, even fall after) the poll that saw the load gone: that poll goes last whatever it
    // carries, or the rate fit would end on a fiber already broken.
    const int broken = rec.BreakReadingSlot() > 0 ? rec.BrokenPollSlot() : 0;
    std::vector<int> order;
    order.reserve(static_cast<size_t>(n));
    for (int k = 1; k <= n; ++k)
        if (k != broken)
            order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&rec](int a, int b) {
        if (rec.LtTime(a) != rec.LtTime(b))
            return rec.LtTime(a) < rec.LtTime(b);
        if (rec.LtPosition(a) != rec.LtPosition(b))
            return rec.LtPosition(a) < rec.LtPosition(b);
        return rec.LtLoad(a) > rec.LtLoad(b);
    });
    if (broken >= 1 && broken <= n)
        order.push_back(broken);
    rec.reorder(order);
    // The controller counts whole milliseconds; the difference of two large clock readings in
    // seconds is not exact, so it is put back on the millisecond (0.14, not 0.13999999999987267).
    const double t1 = rec.LtTime(1);
    for (int k = 2; k <= n; ++k)
        rec.LtTime(k) = std::round((rec.LtTime(k) - t1) * 1000) / 1000;
    rec.LtTime(1) = 0;

    for (int k = 1; k <= n; ++k) {
        double strain = 0, stress = 0;
        rec.LtLoad(k) = m_fiber.Load2StrainStress(rec.LtLoad(k), strain, stress);
        rec.LtStrain(k) = strain;
        rec.LtStress(k) = stress;
    }

    r.BreakLoad = rec.LtLoad(1);
    r.BreakIndex = 1;
    for (int k = 2; k <= n; ++k)
        if (rec.LtLoad(k) > r.BreakLoad) {
            r.BreakLoad = rec.LtLoad(k);
            r.BreakIndex = k;
        }
    const double start = double(m_params.RateCalculationPercent) / 100 * r.BreakLoad;
    r.RateStartIndex = r.BreakIndex;
    for (int k = 1; k <= r.BreakIndex; ++k)
        if (rec.LtLoad(k) >= start) {
            r.RateStartIndex = k;
            break;
        }

    // Speed jumps of more than 5 % at and after the break are the stop, not the pull. A break at the
    // first sample has nothing before it to fall back on.
    const int b = r.BreakIndex;
    if (b >= 2 && rec.LtSpeed(b - 1) * 1.05 < rec.LtSpeed(b) && r.RateStartIndex < b)
        rec.LtSpeed(b) = rec.LtSpeed(b - 1);
    for (int i = std::max(b, 2); i <= n; ++i)
        if (rec.LtSpeed(b) * 1.05 < rec.LtSpeed(i))
            rec.LtSpeed(i) = rec.LtSpeed(i - 1);

    const int points = b - r.RateStartIndex + 1;
    // Samples that all share one clock reading give no slope either: the same warning, not rates
    // of 0 passed off as measured.
    if (points == 1 || rec.LtTime(r.RateStartIndex) == rec.LtTime(b)) {
        r.tooFewPoints = true;
        m_op.msgBox(BreakTexts::RatesZero, MsgStyle::Exclamation, BreakTexts::RatesZeroTitle);
        return r;
    }
    FitRates(rec, r.RateStartIndex, b, m_params.MicronsPerStep, r);
    return r;
}

void BreakAnalysis::FitRates(const LoadTimeRecorder& rec, int first, int last, double micronsPerStep,
                             BreakResult& r) {
    QList<double> time, stress, strain, position;
    for (int k = first; k <= last; ++k) {
        time.append(rec.LtTime(k));
        stress.append(rec.LtStress(k));
        strain.append(rec.LtStrain(k));
        position.append(double(rec.LtPosition(k)));
    }
    // Two points give the slope through them and no spread; a fit gives its standard error.
    auto slope = [&time](const QList<double>& y, double& rate, double& err) {
        const LineFitResult fit = LineFit(time, y);
        rate = fit.m.value_or(0);
        err = fit.delm.value_or(0);
    };
    if (time.size() >= 2) {
        slope(stress, r.StressRate, r.StressRateErr);
        slope(strain, r.StrainRate, r.StrainRateErr);
        slope(position, r.SpeedRate, r.SpeedRateErr);
    }
    r.StrainRate *= 60;
    r.StrainRateErr *= 60;
    r.SpeedRate *= micronsPerStep;
    r.SpeedRateErr *= micronsPerStep;
}

QDateTime BreakAnalysis::BreakMoment(const QDateTime& runStart, double breakSeconds) {
    return runStart.addSecs(qint64(std::nearbyint(breakSeconds)));
}

QString BreakAnalysis::FileBaseName(const QDateTime& moment, qint32 specimen) {
    return moment.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('_') +
           moment.toString(QStringLiteral("hhmmss")) + QLatin1Char('_') +
           formatPattern(double(specimen), QStringLiteral("000"));
}

QString BreakAnalysis::CutDecimals(double value, int decimals, int width) {
    return FormatNum(value, -(width - 1), decimals);
}

QString BreakAnalysis::SetRateText(const Parameters& params) {
    QString setRate;
    switch (params.ExptType) {
    case 0:
        setRate = numberText(params.ExptSpeed) + QStringLiteral(" µm/s");
        break;
    case 1:
        setRate = numberText(params.ExptStressRate) + QStringLiteral(" MPa/s");
        break;
    case 2:
        setRate = numberText(params.ExptStrainRate) + QStringLiteral(" %/min");
        break;
    default:
        switch (params.PreloadType) {
        case 1:
            setRate = numberText(params.PreloadLoad) + QStringLiteral(" N");
            break;
        case 2:
            setRate = numberText(params.PreloadStress) + QStringLiteral(" MPa");
            break;
        case 3:
            setRate = numberText(params.PreloadStrain) + QStringLiteral(" %");
            break;
        default:
            break;
        }
        break;
    }
    return setRate;
}

QStringList BreakAnalysis::ResultFields(const LoadTimeRecorder& rec, const BreakResult& r,
                                        const BreakConditions& c, qint32 specimen,
                                        const QDateTime& breakMoment) {
    // A rate that rounds to nothing (a static hold) is written without a sign: "-0.000" reads as a
    // fault to anyone who sees it.
    auto unsigned0 = [](QString text) {
        if (text.startsWith(QLatin1Char('-')) && std::all_of(text.cbegin() + 1, text.cend(), [](QChar ch) {
                return ch == QLatin1Char('0') || ch == QLatin1Char('.');
            }))
            text.remove(0, 1);
        return text;
    };
    auto cut = [&unsigned0](double v) { return unsigned0(CutDecimals(v, 5, 6)); };
    auto alike = [&unsigned0](double err, double value) { return unsigned0(FormatAlike(err, value, -5, 5)); };
    const double stress = m_fiber.Load2Stress(r.BreakLoad);
    const QString stressText = cut(stress);
    const double strain = m_fiber.Stress2Strain(toNumber(stressText).value_or(stress));

    const QString setRate = SetRateText(m_params);

    const double breakTime = r.BreakIndex >= 1 ? rec.LtTime(r.BreakIndex) : 0;
    const double travel = double(c.EndPosition) * m_params.MicronsPerStep / 1000;
    const double ratio = strain > 0 ? travel * 100 / double(m_params.GaugeLength) / strain : 0;
    auto most = [](double v, int decimals) { return FormatNum(v, 1, -decimals); };
    const QString conditions =
        most(m_params.FiberDiameter, 2) + QLatin1Char(' ') + most(double(m_params.GaugeLength), 1) +
        QLatin1Char(' ') + most(m_params.CoatingEA, 2) + QLatin1Char(' ') + most(m_params.Modulus, 2) +
        QLatin1Char(' ') + most(m_params.ModulusA, 4) + QLatin1Char(' ') + most(c.PreloadForce, 2) +
        QStringLiteral("N/") + most(c.PreloadSpeed, 2) + QLatin1Char(' ') +
        c.RunStart.toString(QStringLiteral("yy/MM/dd")) + QLatin1Char(' ') +
        c.RunStart.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(' ') + FormatNum(travel, 1, 1) +
        QStringLiteral("mm") + QLatin1Char('/') + FormatNum(ratio, 1, 2) +
        ConditionsNotes(m_params.OperatorName, m_params.Sample);

    return {QString::number(specimen),
            fixedText(m_fiber.FiberLoad2Load(r.BreakLoad), 2),
            fixedText(r.BreakLoad, 2),
            stressText,
            cut(strain),
            setRate,
            cut(r.SpeedRate),
            alike(r.SpeedRateErr, r.SpeedRate),
            cut(r.StrainRate),
            alike(r.StrainRateErr, r.StrainRate),
            cut(r.StressRate),
            alike(r.StressRateErr, r.StressRate),
            CutDecimals(breakTime, 2, 3),
            breakMoment.toString(QStringLiteral("yy/MM/dd")),
            breakMoment.toString(QStringLiteral("hh:mm:ss")),
            QString(),
            conditions};
}

QString BreakAnalysis::ConditionsNotes(const QString& operatorName, const QString& sample) {
    // One item each, after the items readers of older files count on; a comma or quote would split
    // or end the field in the data file, a blank the item: they are written so that the report
    // reads back what was typed.
    auto item = [](const QString& name, const QString& value) {
        const QString text = RowTitle::NoteItem(value);
        return text.isEmpty() ? QString() : QLatin1Char(' ') + name + text;
    };
    return item(QStringLiteral("operator:"), operatorName.trimmed()) +
           item(QStringLiteral("sample:"), sample.trimmed());
}

namespace {
// One row of a load/time record, as the plots read it.
struct PlotSample {
    double position = 0, time = 0, load = 0, stress = 0, strain = 0, speed = 0;
};

// The three charts of a rate mode over samples 1 to count, with samples rateStart to breakIndex (the
// stretch of the rate fit) in their own curve.
LoadTimePlotData PlotsOf(int count, const std::function<PlotSample(int)>& sample, int rateStart,
                         int breakIndex, int exptType) {
    enum class Y { Load, Stress, Strain, Speed, Position };
    struct Chart {
        Y y;
        QString caption, axis;
    };
    using namespace BreakTexts;
    const Chart load{Y::Load, LoadVsTime, LoadAxis};
    const Chart stress{Y::Stress, StressVsTime, StressAxis};
    const Chart strain{Y::Strain, StrainVsTime, StrainAxis};
    const Chart speed{Y::Speed, SpeedVsTime, SpeedAxis};
    const Chart position{Y::Position, PositionVsTime, PositionAxis};
    std::array<Chart, 3> table;
    switch (exptType) {
    case 0:
        table = {load, stress, strain};
        break;
    case 1:
        table = {load, stress, speed};
        break;
    case 2:
        table = {load, strain, speed};
        break;
    default:
        table = {load, position, speed};
        break;
    }

    std::vector<PlotSample> samples;
    samples.reserve(size_t(std::max(0, count)));
    for (int k = 1; k <= count; ++k)
        samples.push_back(sample(k));
    LoadTimePlotData plots;
    for (size_t i = 0; i < table.size(); ++i) {
        ChartData& chart = plots.charts[i];
        InitXYChart(chart, 2);
        SetYAxisTitle(chart, table[i].axis);
        chart.xAxis.title = TimeAxis;
        plots.captions[i] = table[i].caption;
        QList<QPointF> inside, outside;
        for (int k = 1; k <= count; ++k) {
            const PlotSample& s = samples[size_t(k - 1)];
            double y = 0;
            switch (table[i].y) {
            case Y::Load:
                y = s.load;
                break;
            case Y::Stress:
                y = s.stress;
                break;
            case Y::Strain:
                y = s.strain;
                break;
            case Y::Speed:
                y = s.speed;
                break;
            case Y::Position:
                y = s.position;
                break;
            }
            const QPointF p(s.time, y);
            (k >= rateStart && k <= breakIndex ? inside : outside).append(p);
        }
        chart.setCurve(0, inside);
        chart.setCurve(1, outside);
        // A static hold's first curve is the hold itself, up to the break.
        chart.styles[0].name = exptType == 3 ? HoldStretch : AnalysedStretch;
        chart.styles[1].name = exptType == 3 ? AfterHold : RestOfPull;
    }
    return plots;
}
} // namespace

LoadTimePlotData BreakAnalysis::Plots(const LoadTimeRecorder& rec, const BreakResult& r, int exptType) {
    LoadTimePlotData plots = PlotsOf(
        r.LtCount,
        [&rec](int k) {
            return PlotSample{double(rec.LtPosition(k)), rec.LtTime(k),   rec.LtLoad(k),
                              rec.LtStress(k),           rec.LtStrain(k), rec.LtSpeed(k)};
        },
        r.RateStartIndex, r.BreakIndex, exptType);
    plots.dataText = DataString(rec, r);
    return plots;
}

std::optional<LoadTimePlotData> BreakAnalysis::PlotsFromDataText(const QString& text, int exptType) {
    // The header, then one line per sample; a blank line before the first sample of the rate fit
    // and another after the break's sample.
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    if (lines.isEmpty() || lines.front() != BreakTexts::DataHeader)
        return std::nullopt;
    std::vector<PlotSample> samples;
    int blanks = 0, rateStart = 0, breakIndex = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.isEmpty()) {
            // Only blanks between samples mark something; those at the end close the file.
            ++blanks;
            continue;
        }
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 6)
            return std::nullopt;
        std::array<double, 6> v{};
        for (size_t c = 0; c < v.size(); ++c) {
            bool ok = false;
            v[c] = f[qsizetype(c)].toDouble(&ok);
            if (!ok)
                return std::nullopt;
        }
        const int k = int(samples.size()) + 1;
        if (blanks >= 1 && rateStart == 0)
            rateStart = k;
        if (blanks >= 2 && breakIndex == 0)
            breakIndex = k - 1;
        samples.push_back({v[0], v[1], v[2], v[3], v[4], v[5]});
    }
    if (samples.empty())
        return std::nullopt;
    const int count = int(samples.size());
    if (rateStart == 0)
        rateStart = count + 1;
    if (breakIndex == 0)
        breakIndex = count;
    LoadTimePlotData plots = PlotsOf(
        count, [&samples](int k) { return samples[size_t(k - 1)]; }, rateStart, breakIndex, exptType);
    plots.dataText = text;
    return plots;
}

int BreakAnalysis::ExptTypeOfRate(const QString& nominalRate) {
    if (nominalRate.endsWith(QStringLiteral(" \u00b5m/s")))
        return 0;
    if (nominalRate.endsWith(QStringLiteral(" MPa/s")))
        return 1;
    if (nominalRate.endsWith(QStringLiteral(" %/min")))
        return 2;
    return 3;
}

QString BreakAnalysis::RowDataFile(const QString& dataFileName, const QStringList& fields) {
    // Columns 1, 14 and 15: the specimen and the break moment the record file is named after.
    if (dataFileName.isEmpty() || fields.size() < 15)
        return {};
    bool ok = false;
    const qint32 specimen = fields[0].trimmed().toInt(&ok);
    const QDate date = QDate::fromString(fields[13].trimmed(), QStringLiteral("yy/MM/dd"));
    const QTime time = QTime::fromString(fields[14].trimmed(), QStringLiteral("hh:mm:ss"));
    if (!ok || !date.isValid() || !time.isValid())
        return {};
    // Two-digit years are this century's.
    const QDateTime moment(date.year() < 2000 ? date.addYears(100) : date, time);
    return QFileInfo(dataFileName)
        .absoluteDir()
        .filePath(FileBaseName(moment, specimen) + QStringLiteral(".dat"));
}

QString BreakAnalysis::DataString(const LoadTimeRecorder& rec, const BreakResult& r) {
    const QString eol = QStringLiteral("\r\n");
    const QChar tab = QLatin1Char('\t');
    QString s = BreakTexts::DataHeader + eol;
    s.reserve(r.LtCount * 64);
    for (int k = 1; k <= r.LtCount; ++k) {
        if (k == r.RateStartIndex)
            s += eol;
        s += numberText(int(rec.LtPosition(k))) + tab + generalText(rec.LtTime(k)) + tab +
             generalText(rec.LtLoad(k)) + tab + generalText(rec.LtStress(k)) + tab +
             generalText(rec.LtStrain(k)) + tab + generalText(rec.LtSpeed(k)) + eol;
        if (k == r.BreakIndex)
            s += eol;
    }
    return s;
}
