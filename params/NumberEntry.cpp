#include "params/NumberEntry.h"

#include "base/Operator.h"
#include "params/NumberFormat.h"
#include "params/NumberTexts.h"

#include <cmath>
#include <limits>

namespace {
const QString NonNumeric = QStringLiteral("Non numeric value - please try again");
const QString OutsideRange = QStringLiteral("Value outside range of ");
const QString BadValueRangeTitle = QStringLiteral("Bad Value");
const QString OutOfRange = QStringLiteral("Value out of range ");
const QString BadValueShort = QStringLiteral("bad value");
const QString To = QStringLiteral(" to ");
} // namespace

bool AskNumber(Operator& op, const QString& prompt, const QString& title, float& value, float minimum,
               float maximum, int helpContext) {
    const QString start = numberText(value);
    for (;;) {
        const auto answer = op.inputBox(prompt, title, start, helpContext);
        if (!answer || answer->isEmpty())
            return false;
        const auto number = toNumber(*answer);
        if (!number) {
            op.msgBox(NonNumeric, MsgStyle::OkOnly);
            continue;
        }
        const auto single = static_cast<float>(*number);
        if (minimum <= single && single <= maximum) {
            value = single;
            return true;
        }
        op.msgBox(OutsideRange + numberText(minimum) + To + numberText(maximum), MsgStyle::OkOnly);
    }
}

bool CheckNumber(Operator& op, const QString& text, const QString& description, const QString& unit,
                 double minimum, double maximum, double& value) {
    const auto number = toNumber(text);
    if (!number) {
        op.msgBox(description + NumberTexts::MustBeNumber, MsgStyle::Critical, NumberTexts::BadValueTitle);
        return true;
    }
    if (*number < minimum || *number > maximum) {
        op.msgBox(description + NumberTexts::OutsideTheRange + numberText(minimum) + To +
                      numberText(maximum) + QLatin1Char(' ') + unit,
                  MsgStyle::Critical, BadValueRangeTitle);
        return true;
    }
    value = *number;
    return false;
}

bool CheckRange(Operator& op, QString& text, qint32 minimum, qint32 maximum, qint32& value) {
    const auto number = toNumber(text);
    if (!number) {
        op.msgBox(BadValueShort, MsgStyle::Exclamation);
        return false;
    }
    const double rounded = std::round(*number);
    const bool fits =
        rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max();
    if (fits && minimum <= maximum && minimum <= rounded && rounded <= maximum) {
        value = static_cast<qint32>(rounded);
        text = QString::number(value);
        return true;
    }
    op.msgBox(OutOfRange + numberText(minimum) + To + numberText(maximum), MsgStyle::Exclamation);
    return false;
}
