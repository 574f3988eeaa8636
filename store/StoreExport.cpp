#include "store/StoreExport.h"

#include "results/DataLine.h"
#include "results/SafeReplace.h"

#include <QDateTime>
#include <QFileInfo>

namespace {
QByteArray jsonString(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        if (c.unicode() < 0x20)
            escaped += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return '"' + escaped.toUtf8() + '"';
}

// A field holding a comma, a quote or a line end (a lone CR too: readers end a record there) is quoted.
QByteArray csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

QByteArray numberText(const std::optional<double>& v) {
    return v ? QByteArray::number(*v, 'g', 15) : QByteArray();
}
} // namespace

const QList<StoreExport::Field>& StoreExport::Fields() {
    auto text = [](const char* name, const char* column) {
        return Field{QLatin1String(name), QLatin1String(column), QString(), false};
    };
    auto number = [](const char* name, const char* column, const QString& unit) {
        return Field{QLatin1String(name), QLatin1String(column), unit, true};
    };
    static const QList<Field> fields = {
        text("uuid", "uuid"),
        text("data_file", "data_file"),
        text("data_file_identity", "file_identity"),
        number("row_number", "row_number", QStringLiteral("1")),
        number("specimen", "specimen", QStringLiteral("1")),
        number("total_load_N", "total_load_n", QStringLiteral("N")),
        number("glass_load_N", "glass_load_n", QStringLiteral("N")),
        number("stress_MPa", "stress_mpa", QStringLiteral("MPa")),
        number("strain_percent", "strain_percent", QStringLiteral("%")),
        text("nominal_rate", "nominal_rate"),
        number("nominal_rate_value", "nominal_rate_value", QStringLiteral("see nominal_rate_unit")),
        text("nominal_rate_unit", "nominal_rate_unit"),
        number("speed_um_per_s", "speed_um_s", QStringLiteral("\u00b5m/s")),
        number("speed_spread_um_per_s", "speed_spread_um_s", QStringLiteral("\u00b5m/s")),
        number("strain_rate_percent_per_min", "strain_rate_percent_min", QStringLiteral("%/min")),
        number("strain_rate_spread_percent_per_min", "strain_rate_spread_percent_min",
               QStringLiteral("%/min")),
        number("stress_rate_MPa_per_s", "stress_rate_mpa_s", QStringLiteral("MPa/s")),
        number("stress_rate_spread_MPa_per_s", "stress_rate_spread_mpa_s", QStringLiteral("MPa/s")),
        number("time_to_break_s", "time_to_break_s", QStringLiteral("s")),
        text("tested_at", "tested_at"),
        text("comment", "comment"),
        text("conditions", "conditions"),
        text("operator", "operator"),
        text("sample", "sample"),
        text("parameters", "parameters"),
        text("calibration_serial", "calibration_serial"),
        number("calibration_slope_au_per_N", "calibration_slope", QStringLiteral("au/N")),
        text("calibration_date", "calibration_date"),
        text("program_version", "program_version"),
        text("host", "host"),
        text("firmware", "firmware"),
        text("recorded_utc", "recorded_utc"),
        text("origin", "origin"),
        number("record_samples", "record_samples", QStringLiteral("1")),
    };
    return fields;
}

std::optional<qint64> StoreExport::Write(ResultsDatabase& db, const ResultFilter& filter, const QString& path,
                                         QString* error) {
    return Write(
        [&db, &filter](const std::function<bool(const ResultView&)>& take, QString* why) {
            if (db.forEachResult(filter, take))
                return true;
            *why = db.error();
            return false;
        },
        path, error);
}

std::optional<qint64> StoreExport::Write(const ResultWalk& forEach, const QString& path, QString* error) {
    const bool json = QFileInfo(path).suffix().compare(QStringLiteral("json"), Qt::CaseInsensitive) == 0;
    const QList<Field>& fields = Fields();
    QByteArray out;
    qint64 count = 0;
    if (json) {
        out += "{\n  \"schema\": " + jsonString(SchemaId) +
               ",\n  \"exported_utc\": " + jsonString(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)) +
               ",\n  \"units\": {";
        bool first = true;
        for (const Field& f : fields) {
            if (!f.number)
                continue;
            out += (first ? "\n    " : ",\n    ") + jsonString(f.name) + ": " + jsonString(f.unit);
            first = false;
        }
        out += "\n  },\n  \"results\": [";
    } else {
        QStringList names;
        for (const Field& f : fields)
            names << f.name;
        out += names.join(QLatin1Char(',')).toUtf8() + ",in_data_file,current_comment\r\n";
    }
    std::vector<int> at;
    for (const Field& f : fields)
        at.push_back(ResultView::IndexOf(f.column));
    std::vector<QByteArray> names;
    for (const Field& f : fields)
        names.push_back(jsonString(f.name) + ": ");
    QString walkError;
    const bool ok = forEach(
        [&](const ResultView& view) {
            const QString current = view.currentFields.value(DataLine::CommentsColumn - 1);
            if (json) {
                out += count == 0 ? "\n    {" : ",\n    {";
                for (size_t i = 0; i < at.size(); ++i) {
                    if (i > 0)
                        out += ", ";
                    out += names[i];
                    const QVariant& value = view.values.at(at[i]);
                    if (fields[qsizetype(i)].number) {
                        const std::optional<double> v = ResultView::NumberOf(value);
                        out += v && std::isfinite(*v) ? numberText(v) : QByteArray("null");
                    } else {
                        out += jsonString(value.toString());
                    }
                }
                out += ", \"in_data_file\": ";
                out += view.inDataFile ? "true" : "false";
                out += ", \"current_comment\": " + jsonString(current) + '}';
            } else {
                for (size_t i = 0; i < at.size(); ++i) {
                    const QVariant& value = view.values.at(at[i]);
                    out += fields[qsizetype(i)].number ? numberText(ResultView::NumberOf(value))
                                                       : csvField(value.toString());
                    out += ',';
                }
                out += view.inDataFile ? "1," : "0,";
                out += csvField(current) + "\r\n";
            }
            ++count;
            return true;
        },
        &walkError);
    if (!ok) {
        *error = walkError;
        return std::nullopt;
    }
    if (json)
        out += count == 0 ? "]\n}\n" : "\n  ]\n}\n";
    if (const auto fault = SafeReplace::WriteWhole(path, out)) {
        *error = fault->description;
        return std::nullopt;
    }
    return count;
}
