#include "results/AnalysisExport.h"

#include "base/Operator.h"
#include "results/Datasheet.h"
#include "results/DatasheetTexts.h"
#include "results/Figures.h"
#include "results/RowTitle.h"
#include "results/SafeReplace.h"

#include <QDate>
#include <QTime>

namespace T = DatasheetTexts;

namespace {
QString analysisField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A number field as a number (C locale, no padding), or empty when it holds none.
QString numberField(const QString& field) {
    const std::optional<double> v = FieldNumber(field.trimmed());
    return v ? ShortestText(*v) : QString();
}

// "26/12/08" and "06:55:01" -> "2026-12-08T06:55:01"; empty when either is unreadable.
QString isoTime(const QString& date, const QString& time) {
    QDate d = QDate::fromString(date.trimmed(), QStringLiteral("yy/MM/dd"));
    const QTime t = QTime::fromString(time.trimmed(), QStringLiteral("hh:mm:ss"));
    if (!d.isValid() || !t.isValid())
        return {};
    if (d.year() < 2000)
        d = d.addYears(100);
    return d.toString(Qt::ISODate) + QLatin1Char('T') + t.toString(Qt::ISODate);
}

// The conditions without the operator and sample items, which have columns of their own.
QString conditionsWithoutNames(const QString& text) {
    QStringList kept;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!item.startsWith(QLatin1String("operator:")) && !item.startsWith(QLatin1String("sample:")))
            kept << item;
    return kept.join(QLatin1Char(' '));
}
} // namespace

const QStringList& AnalysisExport::Names() {
    static const QStringList names{
        QStringLiteral("data_file"),
        QStringLiteral("row_number"),
        QStringLiteral("specimen"),
        QStringLiteral("total_load_N"),
        QStringLiteral("glass_load_N"),
        QStringLiteral("stress_MPa"),
        QStringLiteral("strain_percent"),
        QStringLiteral("nominal_rate"),
        QStringLiteral("nominal_rate_value"),
        QStringLiteral("nominal_rate_unit"),
        QStringLiteral("speed_um_per_s"),
        QStringLiteral("speed_spread_um_per_s"),
        QStringLiteral("strain_rate_percent_per_min"),
        QStringLiteral("strain_rate_spread_percent_per_min"),
        QStringLiteral("stress_rate_MPa_per_s"),
        QStringLiteral("stress_rate_spread_MPa_per_s"),
        QStringLiteral("time_to_break_s"),
        QStringLiteral("tested_at"),
        QStringLiteral("comment"),
        QStringLiteral("operator"),
        QStringLiteral("sample"),
        QStringLiteral("conditions"),
    };
    return names;
}

QByteArray AnalysisExport::Text(const QString& dataFile, const QList<std::pair<int, QStringList>>& rows) {
    QString text = Names().join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const auto& [rowNumber, f] : rows) {
        const QString rate = f.value(5).trimmed();
        const qsizetype blank = rate.indexOf(QLatin1Char(' '));
        const QString rateValue = blank > 0 ? numberField(rate.left(blank)) : QString();
        const QString rateUnit = rateValue.isEmpty() ? QString() : rate.mid(blank + 1).trimmed();
        const QString parameters = f.value(16);
        QStringList out{dataFile, QString::number(rowNumber), f.value(0).trimmed()};
        for (int i = 1; i <= 4; ++i)
            out << numberField(f.value(i));
        out << rate << rateValue << rateUnit;
        for (int i = 6; i <= 12; ++i)
            out << numberField(f.value(i));
        out << isoTime(f.value(13), f.value(14)) << f.value(15)
            << RowTitle::Note(parameters, QStringLiteral("operator:"))
            << RowTitle::Note(parameters, QStringLiteral("sample:")) << conditionsWithoutNames(parameters);
        for (QString& field : out)
            field = analysisField(field);
        text += out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

bool AnalysisExport::Run(DatasheetCommands::Kind kind, const GridBlock& selection) {
    if (m_sheet.resultRows() == 0) {
        m_op.msgBox(T::NoData, MsgStyle::OkOnly, T::EmptyTitle);
        return false;
    }
    int top = 0, bottom = m_sheet.resultRows() - 1;
    if (kind == DatasheetCommands::Kind::Selection) {
        top = qMax(0, selection.top());
        bottom = qMin(selection.bottom(), bottom);
    }
    QList<std::pair<int, QStringList>> rows;
    for (int r = top; r <= bottom; ++r)
        rows.append({m_sheet.model().row(r).number(), m_sheet.model().row(r).fields()});

    FileDialogRequest request;
    request.title = T::ExportTitle;
    request.filter = T::AnalysisFilter;
    request.initialFolder = m_sheet.dataFolder();
    request.confirmOverwrite = true;
    request.refuseReadOnly = true;
    const QString name = m_op.saveFileName(request);
    if (name.isEmpty())
        return false;
    if (m_sheet.hasDataFile() && SafeReplace::SameFile(name, m_sheet.dataFileName())) {
        m_op.msgBox(T::ExportOverDataFile, MsgStyle::OkOnly | MsgStyle::Exclamation, T::ExportErrorTitle);
        return false;
    }
    if (const auto fault = SafeReplace::WriteWhole(name, Text(m_sheet.dataFileName(), rows))) {
        m_op.msgBox(QStringLiteral("Error ") + QString::number(fault->number) + QStringLiteral(": ") +
                        fault->description + T::Cr + T::ExportErrorTail,
                    MsgStyle::OkOnly | MsgStyle::Exclamation, T::ExportErrorTitle);
        return false;
    }
    return true;
}
