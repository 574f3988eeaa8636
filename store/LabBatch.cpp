#include "store/LabBatch.h"

#include <cmath>

namespace {
void appendText(QByteArray& out, const char* key, const QString& value, bool first = false) {
    if (!first)
        out += ',';
    out += '"';
    out += key;
    out += "\":";
    LabBatch::AppendString(out, value.toUtf8());
}

void appendNumber(QByteArray& out, const char* key, qint64 value) {
    out += ",\"";
    out += key;
    out += "\":";
    out += QByteArray::number(value);
}
} // namespace

void LabBatch::AppendString(QByteArray& out, QByteArrayView utf8) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out += utf8.sliced(plainFrom, i - plainFrom);
        plainFrom = i + 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    out += utf8.sliced(plainFrom);
    out += '"';
}

QByteArray LabBatch::ResultsJson(const std::vector<LabResult>& results) {
    QByteArray out;
    qsizetype size = 2;
    for (const LabResult& r : results)
        size += r.content.size() * 2 + r.record.size() * 4 / 3 + r.line.size() * 2 + 512;
    out.reserve(size);
    out += '[';
    for (const LabResult& r : results) {
        if (out.size() > 1)
            out += ',';
        out += '{';
        appendText(out, "uuid", r.uuid, true);
        out += ",\"content\":";
        AppendString(out, r.content);
        out += ",\"record\":";
        if (r.record.isEmpty()) {
            out += "null";
        } else {
            out += '"';
            out += r.record.toBase64();
            out += '"';
        }
        appendText(out, "data_file", r.dataFile);
        appendNumber(out, "row_number", r.rowNumber);
        appendText(out, "line", r.line);
        appendText(out, "sample", r.sample);
        appendText(out, "operator", r.operatorName);
        appendText(out, "tested_at", r.testedAt);
        appendText(out, "nominal_rate", r.nominalRate);
        out += ",\"stress_mpa\":";
        // A stress that JSON cannot write (not finite) is stored as none, as a missing one is.
        out += r.stressMPa && std::isfinite(*r.stressMPa) ? QByteArray::number(*r.stressMPa, 'g', 17)
                                                          : QByteArrayLiteral("null");
        out += ",\"specimen\":";
        if (r.specimen.isEmpty())
            out += "null";
        else
            AppendString(out, r.specimen.toLatin1());
        out += '}';
    }
    out += ']';
    return out;
}

QByteArray LabBatch::EventsJson(const std::vector<LabEvent>& events) {
    QByteArray out;
    out.reserve(qsizetype(events.size()) * 400 + 2);
    out += '[';
    for (const LabEvent& le : events) {
        const AuditEvent& e = le.event;
        if (out.size() > 1)
            out += ',';
        out += '{';
        appendText(out, "uuid", e.uuid, true);
        appendNumber(out, "seq", e.seq);
        appendText(out, "utc", e.utc);
        appendText(out, "system_user_name", e.systemUser);
        appendText(out, "operator", e.operatorName);
        appendText(out, "kind", e.kind);
        appendText(out, "data_file", e.dataFile);
        appendNumber(out, "row_number", e.rowNumber);
        appendText(out, "result_uuid", e.resultUuid);
        appendText(out, "before_value", e.before);
        appendText(out, "after_value", e.after);
        out += ",\"hash\":";
        AppendString(out, e.hash);
        out += '}';
    }
    out += ']';
    return out;
}
