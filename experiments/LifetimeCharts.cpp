#include "experiments/LifetimeCharts.h"

#include "experiments/LifetimeAnswers.h"
#include "results/BatchReport.h"

#include <QPainter>
#include <cmath>

namespace {
const QColor CurveColours[] = {QColor(0, 90, 200), QColor(200, 30, 30), QColor(0, 140, 60),
                               QColor(150, 80, 0)};

CurveStyle lineStyle(int i) {
    CurveStyle s;
    s.color = CurveColours[i % 4];
    s.lineWidth = 2;
    return s;
}

QList<double> chartDecades() {
    QList<double> x;
    const int points =
        int((LifetimeCharts::LastDecade - LifetimeCharts::FirstDecade) * LifetimeCharts::PointsPerDecade);
    for (int i = 0; i <= points; ++i)
        x.append(LifetimeCharts::FirstDecade + double(i) / LifetimeCharts::PointsPerDecade);
    return x;
}
} // namespace

QList<double> LifetimeCharts::Stresses(const LifetimeInputs& in) {
    if (!in.serviceStress.value)
        return {};
    const double s = *in.serviceStress.value;
    return {0.8 * s, s, 1.25 * s, 1.5 * s};
}

ChartData LifetimeCharts::Failure(const LifetimeInputs& in) {
    ChartData chart;
    chart.xAxis.title = QStringLiteral("log10(service life / years)");
    chart.yAxis.title = QStringLiteral("log10 F");
    chart.xAxis.autoScale = false;
    chart.xAxis.minimum = FirstDecade;
    chart.xAxis.maximum = LastDecade;
    const QList<double> stresses = Stresses(in);
    chart.setColumnCount(2 * int(stresses.size()));
    for (int c = 0; c < stresses.size(); ++c) {
        QList<QPointF> points;
        for (double x : chartDecades())
            if (const auto f = LifetimeAnswers::FailureAt(in, stresses[c], std::pow(10.0, x));
                f && *f >= LowestF)
                points.append({x, std::log10(*f)});
        chart.setCurve(c, points);
        chart.styles[c] = lineStyle(c);
    }
    return chart;
}

ChartData LifetimeCharts::Allowed(const LifetimeInputs& in) {
    ChartData chart;
    chart.xAxis.title = QStringLiteral("log10(service life / years)");
    chart.yAxis.title = QStringLiteral("log10(\u03c3a / MPa)");
    chart.xAxis.autoScale = false;
    chart.xAxis.minimum = FirstDecade;
    chart.xAxis.maximum = LastDecade;
    chart.setColumnCount(2);
    const double f = in.targetF.value.value_or(DefaultTargetF);
    QList<QPointF> points;
    for (double x : chartDecades())
        if (const auto s = LifetimeAnswers::AllowedAt(in, f, std::pow(10.0, x)); s && *s > 0)
            points.append({x, std::log10(*s)});
    chart.setCurve(0, points);
    chart.styles[0] = lineStyle(0);
    return chart;
}

QString LifetimeCharts::FailureLegend(const LifetimeInputs& in) {
    static const char* names[] = {"blue", "red", "green", "brown"};
    QStringList parts;
    const QList<double> stresses = Stresses(in);
    for (int i = 0; i < stresses.size(); ++i)
        parts << QStringLiteral("%1: %2 MPa").arg(QLatin1String(names[i % 4])).arg(stresses[i], 0, 'f', 0);
    return parts.join(QStringLiteral(", "));
}

void LifetimeCharts::DrawPage(QPainter& painter, const QRectF& page, const LifetimeInputs& in) {
    const LifetimeAnswers answers = LifetimeAnswers::Compute(in);
    QFont title = painter.font();
    title.setPointSizeF(14);
    title.setBold(true);
    QFont body = painter.font();
    body.setPointSizeF(9);
    body.setBold(false);
    double y = 0;
    auto line = [&](const QString& text, const QFont& f) {
        painter.setFont(f);
        const QRectF box = painter.boundingRect(QRectF(0, y, page.width() / 2 - 10, 1e6),
                                                Qt::TextWordWrap | Qt::AlignLeft, text);
        painter.drawText(box, Qt::TextWordWrap | Qt::AlignLeft, text);
        y += box.height() + 2;
    };
    line(QStringLiteral("Lifetime (power law of crack growth, %1 form)")
             .arg(in.proofForm() ? QStringLiteral("proof-test") : QStringLiteral("tensile-batch")),
         title);
    y += 6;
    auto input = [&](const QString& name, const LifetimeValue& v) {
        if (v.value)
            line(name + QStringLiteral(" = ") + LifetimeAnswers::Number(*v.value) + QStringLiteral("   (") +
                     v.source + QLatin1Char(')'),
                 body);
    };
    input(QStringLiteral("m"), in.m);
    input(QStringLiteral("m, 90 % bounds"), in.mLow);
    input(QStringLiteral("  to"), in.mHigh);
    input(QStringLiteral("n"), in.n);
    input(QStringLiteral("n, 90 % bounds"), in.nLow);
    input(QStringLiteral("  to"), in.nHigh);
    if (in.proofForm()) {
        input(QStringLiteral("Proof stress (MPa)"), in.proofStress);
        input(QStringLiteral("Proof time (s)"), in.proofTime);
        input(QStringLiteral("Proof breaks per km"), in.breaksPerKm);
    } else {
        input(QStringLiteral("\u03c30 (MPa)"), in.sigma0);
        input(QStringLiteral("Gauge length (m)"), in.gaugeLengthM);
        input(QStringLiteral("Stress rate (MPa/s)"), in.stressRate);
    }
    input(QStringLiteral("Length (km)"), in.lengthKm);
    input(QStringLiteral("Service stress (MPa)"), in.serviceStress);
    input(QStringLiteral("Service life (years)"), in.serviceYears);
    input(QStringLiteral("Target F"), in.targetF);
    for (const QString& note : in.notes)
        line(note, body);
    y += 8;
    const QStringList problems = in.Problems();
    if (!problems.isEmpty())
        line(QStringLiteral("No answer: ") + problems.join(QStringLiteral("; ")), body);
    for (const LifetimeAnswers::Answer& a : answers.answers)
        line(a.label + QStringLiteral(": ") + LifetimeAnswers::DisplayText(a), body);

    const double w = page.width() / 2 - 10, h = page.height() / 2 - 10;
    line(QStringLiteral("F against service life: ") + FailureLegend(in), body);
    BatchReport::DrawChart(painter, Failure(in), QStringLiteral("F against service life"),
                           QRectF(page.width() / 2 + 10, 0, w, h));
    BatchReport::DrawChart(painter, Allowed(in),
                           QStringLiteral("Allowed stress against service life at F = ") +
                               LifetimeAnswers::Number(in.targetF.value.value_or(DefaultTargetF)),
                           QRectF(page.width() / 2 + 10, h + 20, w, h));
}
