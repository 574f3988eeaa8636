#include "params/ParameterTable.h"

#include "base/Operator.h"
#include "params/Cp1252.h"
#include "params/NumberFormat.h"
#include "params/NumberTexts.h"
#include "params/Parameters.h"
#include "params/RegularFile.h"
#include "params/SettingText.h"
#include "params/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

namespace {
// Texts shown to the operator.
const QString UnknownActionText = QStringLiteral("Unknown action in DoParameter in module ProfileStuff");
const QString NothingToResetText = QStringLiteral("No parameters need to be reset to their default values");
const QString ResetTitle = QStringLiteral("RESET PARAMETERS");
const QString ResetListText = QStringLiteral("The following parameters will be reset:\r\r");
const QString ResetQuestionText = QStringLiteral("Do you want to continue?");
const QString ResetOneFailedText = QStringLiteral("Reset single parameter failed - was not recognised");
const QString ResetOneFailedTitle = QStringLiteral("BUG!");
const QString ValidateCallTitle = QStringLiteral("ERROR CALLING profValidate IN MODULE ProfileStuff");
const QString ValidateCallText = QStringLiteral("NO SUCH PARAMETER NAME\r\rParameter ");
const QString ValidateCallTextEnd = QStringLiteral(" not found!");
const QString BadParameterTitle = QStringLiteral("BAD PARAMETER");
const QString BadParameterText = QStringLiteral("Bad parameter string:\r\n");
const QString BadParameterHint =
    QStringLiteral("Each line in the configuration file should consist of a parameter name"
                   "\r\nfollowed by a value.");
const QString NoSuchParameterTitle = QStringLiteral("NO SUCH PARAMETER");
const QString NoSuchParameterText = QStringLiteral("Unknown parameter name:\r\n");
const QString UnrecognisedValueText = QStringLiteral(" - unrecognised value: ");
const QString RangeText = QStringLiteral("- the value given (");
const QString RangeTextEnd = QStringLiteral(") is outside the permitted range");
const QString TooManyErrorsTitle = QStringLiteral("TOO MANY ERRORS");
const QString TooManyErrorsText = QStringLiteral(" errors encountered while reading configuration file.\r\n"
                                                 "No more parameters will be read from the file");
const QString SuccessTitle = QStringLiteral("SUCCESS");
const QString SuccessText = QStringLiteral(" parameters have been successfully set. They are:\r\n");
const QString OpenTitle = QStringLiteral("OPEN CONFIGURATION FILE");
const QString SaveTitle = QStringLiteral("OPEN CONFIGURATION FILE FOR WRITING");
const QString ConfigFilter =
    QStringLiteral("Initialisation files (*.ini)|*.ini|Config files (*.cfg)|*.cfg|All files (*.*)|*.*");
const QString WrittenTitle = QStringLiteral("WRITE CONFIGURATION FILE");
const QString WrittenText = QStringLiteral(" parameters written to configuration file");
const QString ConfigHeader = QStringLiteral("' configuration parameters");
const QString CannotReadText = QStringLiteral("Cannot read configuration file:\r\n");
const QString CannotWriteText = QStringLiteral("Cannot write configuration file:\r\n");

const QString LoadResetTitle = QStringLiteral("SETTINGS RESET");
const QString LoadResetText = QStringLiteral("These stored settings held impossible values and have been "
                                             "reset to their defaults:\r\n");

// COMnum is checked by discovery, against the ports it knows, not by the table's range on load.
constexpr int CheckedElsewhereOnLoad = 0x10000;

constexpr int MaxConfigErrors = 10;
constexpr int PreviewWidth = 20;
const QString CrLf = QStringLiteral("\r\n");

template <class T> constexpr bool IsInteger = std::is_same_v<T, qint16> || std::is_same_v<T, qint32>;
template <class T>
constexpr bool IsNumber = IsInteger<T> || std::is_same_v<T, float> || std::is_same_v<T, double>;

QString textOf(qint16 v) {
    return QString::number(v);
}
QString textOf(qint32 v) {
    return QString::number(v);
}
QString textOf(float v) {
    return numberText(v);
}
QString textOf(double v) {
    return numberText(v);
}
QString textOf(bool v) {
    return booleanText(v);
}
QString textOf(const QString& v) {
    return v;
}

QString boundText(const ParameterTable::Value& v) {
    if (const auto* d = std::get_if<double>(&v))
        return numberText(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return booleanText(*b);
    return std::get<QString>(v);
}

double boundNumber(const ParameterTable::Value& v) {
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    return toNumber(std::get<QString>(v)).value_or(0);
}

// A number as the variable's type, when the type can hold it.
template <class T> std::optional<T> fromNumber(double d) {
    if constexpr (IsInteger<T>) {
        const double rounded = std::round(d);
        if (rounded < std::numeric_limits<T>::min() || rounded > std::numeric_limits<T>::max())
            return std::nullopt;
        return static_cast<T>(rounded);
    } else if constexpr (std::is_same_v<T, float>) {
        if (std::fabs(d) > std::numeric_limits<float>::max())
            return std::nullopt;
        return static_cast<float>(d);
    } else {
        return d;
    }
}

// A text from the settings store or a configuration line converted to the variable's type.
template <class T> std::optional<T> fromText(const QString& text) {
    if constexpr (std::is_same_v<T, QString>) {
        return text;
    } else if constexpr (std::is_same_v<T, bool>) {
        return toBoolean(text);
    } else {
        const auto number = toNumber(text);
        if (!number)
            return std::nullopt;
        return fromNumber<T>(*number);
    }
}

template <class T> T fromValue(const ParameterTable::Value& v) {
    if constexpr (std::is_same_v<T, QString>)
        return boundText(v);
    else if constexpr (std::is_same_v<T, bool>)
        return std::holds_alternative<QString>(v) ? toBoolean(std::get<QString>(v)).value_or(false)
                                                  : boundNumber(v) != 0;
    else
        return fromNumber<T>(boundNumber(v)).value_or(T{});
}

// Text bounds of one character each bound every character of the text (blank to tilde: printable
// ASCII), and beyond them the printable characters the files' code page holds (a name such as
// "Glocke €.wav" is kept as it is); longer bounds compare the texts as wholes.
bool charactersWithin(const QString& value, const QString& minimum, const QString& maximum) {
    if (value.isEmpty())
        return false;
    for (const QChar c : value) {
        if (c >= minimum.front() && c <= maximum.front())
            continue;
        const bool codePage = c.unicode() > 0x7F && c.category() != QChar::Other_Control &&
                              c.category() != QChar::Other_Format && Cp1252::encode(QString(c)) != "?";
        if (!codePage)
            return false;
    }
    return true;
}
bool characterBounds(const ParameterTable::Value& minimum, const ParameterTable::Value& maximum) {
    const auto* low = std::get_if<QString>(&minimum);
    const auto* high = std::get_if<QString>(&maximum);
    return low && high && low->size() == 1 && high->size() == 1 && low->front() < high->front();
}

template <class T> bool lessThan(const T& value, const ParameterTable::Value& bound) {
    if constexpr (std::is_same_v<T, QString>)
        return QString::compare(value, boundText(bound)) < 0;
    else if constexpr (std::is_same_v<T, float>)
        return value <
               static_cast<float>(boundNumber(bound)); // a bound such as 0.00005 as the single it stands for
    else
        return double(value) < boundNumber(bound);
}

template <class T> bool greaterThan(const T& value, const ParameterTable::Value& bound) {
    if constexpr (std::is_same_v<T, QString>)
        return QString::compare(value, boundText(bound)) > 0;
    else if constexpr (std::is_same_v<T, float>)
        return value > static_cast<float>(boundNumber(bound));
    else
        return double(value) > boundNumber(bound);
}

bool boundsOrdered(const ParameterTable::Value& minimum, const ParameterTable::Value& maximum, bool text) {
    if (text)
        return QString::compare(boundText(minimum), boundText(maximum)) < 0;
    return boundNumber(minimum) < boundNumber(maximum);
}

// The range of a configuration line; texts whose bounds say nothing (a file name) pass.
template <class T>
bool inRange(const T& value, const ParameterTable::Value& minimum, const ParameterTable::Value& maximum) {
    if constexpr (std::is_same_v<T, bool>)
        return true;
    else if constexpr (std::is_same_v<T, QString>)
        return characterBounds(minimum, maximum)
                   ? charactersWithin(value, std::get<QString>(minimum), std::get<QString>(maximum))
                   : !boundsOrdered(minimum, maximum, true) ||
                         (!lessThan(value, minimum) && !greaterThan(value, maximum));
    else
        return !lessThan(value, minimum) && !greaterThan(value, maximum);
}

QString shortened(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("\"\"");
    if (text.size() > PreviewWidth)
        return text.left(PreviewWidth) + QStringLiteral("...");
    return text;
}

// A text value as written to a configuration file: quoted when it holds a separator, a comment mark,
// a double quote or blanks at its ends, its double quotes doubled, so that it reads back whole.
QString configText(QString text) {
    if (text.trimmed().isEmpty())
        text = QStringLiteral(" ");
    static const QRegularExpression needsQuotes(QStringLiteral("[ \t=;'\"]"));
    if (text.contains(needsQuotes)) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

// The value of a configuration line that starts with a double quote: up to the quote that closes
// it, a doubled quote standing for one.
QString quotedValue(const QString& text) {
    qsizetype i = text.indexOf(QLatin1Char('"')) + 1;
    QString value;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                value += c;
                i += 2;
                continue;
            }
            break;
        }
        value += c;
        ++i;
    }
    return value;
}

// Cuts a comment (";" or "'") off a line; the marks count only outside a quoted value.
QString withoutComment(const QString& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char(';') || c == QLatin1Char('\'')))
            return line.left(i).trimmed();
    }
    return line.trimmed();
}
} // namespace

ParameterTable::ParameterTable(Parameters& p, SettingsStore& store, Operator& op)
    : m_p(p), m_store(store), m_op(op) {}

void ParameterTable::setCalibrationTextProvider(std::function<std::optional<QString>(int)> provider) {
    m_calibrationText = std::move(provider);
}

void ParameterTable::setDataFolderProvider(std::function<QString()> provider) {
    m_dataFolder = std::move(provider);
}

void ParameterTable::forEachRow(const std::function<void(const Row&)>& visit) const {
    using namespace ParamFlag;
    Parameters& p = m_p;
    const QString none;
    // Each row is built as the walk reaches it, so computed values see the rows before it.
    auto speedLimit = [&p] { return double(p.MaxStepRate) * p.MicronsPerStep; };
    // A calibration that has not been read is neither loaded nor saved here.
    std::array<int, 3> calibrationFlags{};
    auto calibration = [this, &calibrationFlags](int channel) {
        const std::optional<QString> text =
            m_calibrationText ? m_calibrationText(channel) : std::optional<QString>(QString());
        m_calibrationTemp[channel] = text.value_or(QString());
        calibrationFlags[size_t(channel)] = NotRead | NotWritten | (text ? 0 : NotStored);
        return &m_calibrationTemp[channel];
    };
    const double lastColumn = DatasheetColumnCount - 1;
    const QString micrometres = QStringLiteral("µm");
    const QString newtons = QStringLiteral("N");
    // Text bounds: every printable character from the blank to the tilde.
    const QString blank = QStringLiteral(" "), tilde = QStringLiteral("~"), zero = QStringLiteral("0");

    visit({&p.DataFileName, "DataFileName", "Data file name", none, none, none, none, NotWritten});
    visit({&p.MaxStepRate, "MaxStepRate", "Maximum step rate", 5000., 100., 6000., "/s",
           NotReset | NotWritten});
    visit({&p.SpecimenCount, "SpecimenCount", "Next specimen #", 1., 1., 1000000., none, 0});
    visit({&p.Noisy, "Noisy", "Noisy (click per step)", true, false, true, none, 0});
    visit(
        {&p.HiCurrRate, "HiCurrRate", "Min rate for high current", 10., 0., double(p.MaxStepRate), "/s", 0});
    visit({&p.MicronsPerStep, "MicronsPerStep", "Microns per step", 1., 0.01, 100., micrometres, NotWritten});
    visit({&p.ReverseSense, "ReverseSense", "Reverse motor sense", false, false, true, none, 0});
    visit({&p.DebugMode, "DebugMode", "Debug mode", p.DebugMode, false, true, none, NeverSaved});
    visit({&p.LockKeyboardWhenMoving, "LockKeyboardWhenMoving", "Lock the keyboard while the motor is moving",
           false, false, true, none, 0});
    visit({&p.RepeatSounds, "RepeatSounds", "Repeats sounds to attract attention", 0., 0., 60., none, 0});
    visit({&p.COMnum, "COMnum", "COMnum", 0., 1., 10., none, NotReset | NotWritten | CheckedElsewhereOnLoad});
    visit({&p.FiberDiameter, "FiberDiameter", "Fiber diameter", 125., 10., 2000., micrometres, 0});
    visit({&p.Modulus, "Modulus", "Fiber elastic modulus", 72., 10., 200., "GPa", 0});
    visit({&p.ModulusA, "ModulusA", "Fiber elastic modulus first order correction", 3., -6., 6., none, 0});
    visit({&p.ExptType, "ExptType", "Experiment type", 0., 0., 3., none, 0});
    visit({&p.ExptSpeed, "ExptSpeed", "Experiment speed", speedLimit(), 0.00001, speedLimit(), "µm/s", 0});
    visit({&p.ExptStressRate, "ExptStressRate", "Stress rate", 60., 0.0006, 6000., "MPa/s", 0});
    visit({&p.ExptStrainRate, "ExptStrainRate", "Strain rate", 50., 0.00005, 5000., "%/min", 0});
    visit({&p.PreloadType, "PreloadType", "Preload type", 0., 0., 3., none, 0});
    visit({&p.PreloadStress, "PreloadStress", "Preload stress", 0., 0., p.Modulus * 300, "MPa", 0});
    visit({&p.PreloadStrain, "PreloadStrain", "Preload strain", 0., 0., 30., "%", 0});
    visit({&p.WaitBeforeBreak, "WaitBeforeBreak", "Wait this many seconds before initiating a break", 0., 0.,
           86400., "s", 0});
    visit({&p.BreakSound, "BreakSound", "Sound to play when fiber breaks", QStringLiteral("Beep"), blank,
           tilde, none, 0});
    visit({&p.PreloadSpeedMode, "PreloadSpeedMode", "Preload speed type", 0., 0., 2., none, 0});
    visit({&p.PreloadUserSpeed, "PreloadUserSpeed", "User defined preload speed", speedLimit(), 1.,
           speedLimit(), "µm/s", 0});
    visit({&p.TestingCount, "TestingCount", "Testing count", 1., 1., 1., none, NotStored | NotWritten});
    visit(
        {&p.ADchannel, "ADchannel", "A/D converter channel", double(p.ADchannel), 0., 2., none, NotWritten});
    visit({calibration(0), "CalibrationData0", "Load cell calibration for channel 0", none, blank, tilde,
           none, calibrationFlags[0]});
    visit({calibration(1), "CalibrationData1", "Load cell calibration for channel 1", none, blank, tilde,
           none, calibrationFlags[1]});
    visit({calibration(2), "CalibrationData2", "Load cell calibration for channel 2", none, blank, tilde,
           none, calibrationFlags[2]});
    visit({&p.SaveLoadTimeData, "SaveLoadTimeData", "Save load/time data", true, false, true, none, 0});
    visit({&p.SaveLoadTimePlots, "SaveLoadTimePlots", "Save load/time data", false, false, true, none, 0});
    visit({&p.PlotsShowDots, "PlotsShowDots", "Show dots instead of just lines on plots", true, false, true,
           none, 0});
    visit({&p.AutoGotoLoadPos, "AutoGotoLoadPos",
           "Automatically go to load position after successful measurement", true, false, true, none, 0});
    visit({&p.CopySpecialColumn1, "CopySpecialColumn1", "1st column for copy special", 16., 0., lastColumn,
           none, 0});
    visit({&p.CopySpecialColumn2, "CopySpecialColumn2", "2nd column for copy special", 4., 0., lastColumn,
           none, 0});
    visit({&p.CopySpecialColumn3, "CopySpecialColumn3", "3rd column for copy special", 11., 0., lastColumn,
           none, 0});
    visit({&p.CopySpecialColumn4, "CopySpecialColumn4", "4th column for copy special", 0., 0., lastColumn,
           none, 0});
    visit({&p.CopySpecialColumn5, "CopySpecialColumn5", "5th column for copy special", 0., 0., lastColumn,
           none, 0});
    visit({&p.PreloadLoad, "PreloadLoad", "Preload load", 0., 0., 100., newtons, 0});
    visit({&p.MinBreakLoad, "MinBreakLoad", "Minimum load for break detection", 5., 0.1, 50., newtons, 0});
    visit({&p.BreakFactor, "BreakFactor", "Load drop factor for break detection", 0.5, 0.1, 0.9, none, 0});
    visit({&p.CoatingEA, "CoatingEA", "Coating modulus x area", 0., 0., 100., newtons, 0});
    visit({&p.GaugeLength, "GaugeLength", "Gauge length", 500., 10., 1000., "mm", 0});
    visit({&p.GridColWidths, "GridColWidths", "Column widths",
           QStringLiteral("500,500,600,600,600,800,800,800,800,800,800,800,800,800,800,800,1000,2500"), zero,
           zero, none, NotWritten});
    visit({&p.ComplianceFactor, "ComplianceFactor", "Compliance factor", 1.3, 1., 2., none, 0});
    visit({&p.MinServoLoad, "MinServoLoad", "Minimum load for servoing", 0.5, 0.01, 200., newtons, 0});
    visit({&p.RateCalculationPercent, "RateCalculation%", "% of break load used for rate calculations", 80.,
           0., 90., "%", 0});
    // Who tests and which batch belong to the session, not to a configuration file.
    visit({&p.OperatorName, "Operator", "Operator", none, none, none, none, NotWritten});
    visit({&p.Sample, "Sample", "Sample", none, none, none, none, NotWritten});
    visit({&p.StaticMaxHold, "StaticMaxHold", "Longest static hold (0 = until the break)", 0., 0., 10000.,
           "h", 0});
    visit({&p.LabDatabase, "LabDatabase", "Lab database", none, blank, tilde, none, 0});
}

void ParameterTable::Walk(int action) {
    walkRows(action);
    showDeferred();
}

void ParameterTable::showDeferred() {
    // Taken out first: a box runs window events, which may start another walk.
    const QStringList messages = std::exchange(m_deferred, {});
    for (const QString& message : messages)
        m_op.msgBox(message, MsgStyle::Critical);
}

void ParameterTable::walkRows(int action) {
    if (m_walking) {
        qWarning("ParameterTable: walk %d refused while walk %d runs", action, m_action);
        return;
    }
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{m_walking};
    m_walking = true;
    m_action = action;
    m_unknownActionShown = false;
    forEachRow([this](const Row& r) {
        DoParameter(r.variable, r.key, r.description, r.defaultValue, r.minimum, r.maximum, r.unit, r.flags);
    });
}

void ParameterTable::DoParameter(Variable variable, const QString& key, const QString& description,
                                 const Value& defaultValue, const Value& minimum, const Value& maximum,
                                 const QString& unit, int flags) {
    std::visit([&](auto* v) { doRow(v, key, description, defaultValue, minimum, maximum, unit, flags); },
               variable);
}

template <class T>
void ParameterTable::doRow(T* variable, const QString& key, const QString& description,
                           const Value& defaultValue, const Value& minimum, const Value& maximum,
                           const QString& unit, int flags) {
    using namespace ParamFlag;
    const T def = fromValue<T>(defaultValue);
    const bool differs = !(*variable == def);
    const bool own = !(flags & Shared);
    switch (m_action) {
    case ParamAction::ResetAll:
        if (!(flags & NotReset) && differs)
            *variable = def;
        break;
    case ParamAction::ResetOne:
        // A parameter already at its default has been found all the same: nothing to do is no failure.
        if (key.toUpper() == m_targetKey && !(flags & NotReset)) {
            m_resultText = description;
            if (differs)
                *variable = def;
        }
        break;
    case ParamAction::Preview:
        if (!(flags & NotReset) && differs)
            m_preview += key + QStringLiteral(" from ") + shortened(textOf(*variable)) +
                         QStringLiteral(" to ") + shortened(textOf(def)) + QLatin1Char('\r');
        break;
    case ParamAction::Load:
        *variable = def;
        if (!(flags & NotStored)) {
            // A stored value gets the range a configuration line gets; one that cannot be converted,
            // or lies outside, keeps the default and is listed for the operator.
            const auto stored = fromText<T>(GetSettingText(m_store, own, key, textOf(def)));
            if (stored && ((flags & CheckedElsewhereOnLoad) || inRange(*stored, minimum, maximum)))
                *variable = *stored;
            else if (!stored || !(*stored == def))
                m_loadResets.append(key);
        }
        break;
    case ParamAction::ApplyLineNormalise:
    case ParamAction::ApplyLine:
        if (!(flags & NotRead) && key.compare(m_lineName, Qt::CaseInsensitive) == 0)
            applyLineToRow(variable, key, minimum, maximum, unit);
        break;
    case ParamAction::WriteAll:
    case ParamAction::WriteChanged:
        if (!(flags & (NeverSaved | NotWritten)) && (m_action == ParamAction::WriteAll || differs)) {
            QString text;
            if constexpr (std::is_same_v<T, QString>)
                text = configText(*variable);
            else
                text = textOf(*variable);
            m_fileBytes += Cp1252::encode(key + QLatin1Char(' ') + text.trimmed() + CrLf);
            ++m_counter;
        }
        break;
    case ParamAction::Save:
        if (!(flags & (NotStored | NeverSaved)))
            SaveSettingText(m_store, own, key, textOf(*variable));
        break;
    case ParamAction::Validate:
        if (key.toUpper() == m_targetKey)
            validateRow(variable, description, minimum, maximum, unit);
        break;
    default:
        // Once per walk rather than once per row.
        if (!m_unknownActionShown) {
            m_unknownActionShown = true;
            m_deferred.append(UnknownActionText);
        }
        break;
    }
}

template <class T>
void ParameterTable::applyLineToRow(T* variable, const QString& key, const Value& minimum,
                                    const Value& maximum, const QString& unit) {
    m_lineName = key;
    m_matchStatus = 1;
    const T remembered = *variable;
    const auto converted = fromText<T>(m_lineValue);
    if (!converted) {
        m_matchStatus = 2;
        *variable = remembered;
        m_deferred.append(QStringLiteral("Parameter ") + m_lineName + UnrecognisedValueText + m_lineValue);
        return;
    }
    *variable = *converted;
    if (m_action == ParamAction::ApplyLineNormalise)
        m_lineValue = textOf(*variable);
    if constexpr (!std::is_same_v<T, bool>) {
        bool outside = lessThan(*variable, minimum) || greaterThan(*variable, maximum);
        if constexpr (std::is_same_v<T, QString>)
            outside = !inRange(*variable, minimum, maximum);
        if (outside) {
            m_matchStatus = 3;
            *variable = remembered;
            m_deferred.append(QStringLiteral("Parameter ") + m_lineName + RangeText + m_lineValue +
                              RangeTextEnd + CrLf + QStringLiteral("of ") + boundText(minimum) +
                              QStringLiteral(" to ") + boundText(maximum) + QLatin1Char(' ') + unit);
        }
    }
}

template <class T>
void ParameterTable::validateRow(T* variable, const QString& description, const Value& minimum,
                                 const Value& maximum, const QString& unit) {
    m_resultText = description;
    auto refuse = [&](const QString& why) {
        m_error = true;
        m_resultText = why;
        m_input = textOf(*variable);
    };
    const QString rangeText = description + NumberTexts::OutsideTheRange + boundText(minimum) +
                              QStringLiteral(" to ") + boundText(maximum) + QLatin1Char(' ') + unit;
    if constexpr (IsNumber<T>) {
        const auto number = toNumber(m_input);
        if (!number)
            return refuse(description + NumberTexts::MustBeNumber);
        const bool outside = boundsOrdered(minimum, maximum, false) &&
                             (*number < boundNumber(minimum) || *number > boundNumber(maximum));
        // A number in range that the variable cannot hold is refused like one out of range.
        const auto typed = fromNumber<T>(*number);
        if (outside || !typed)
            return refuse(rangeText);
        *variable = *typed;
    } else if constexpr (std::is_same_v<T, bool>) {
        const auto flag = toBoolean(m_input);
        if (!flag)
            return refuse(description + NumberTexts::MustBeNumber);
        *variable = *flag;
    } else {
        if (characterBounds(minimum, maximum)) {
            // A printable character beyond the code page is named: the range would not make it plain.
            for (const QChar c : m_input)
                if (c.isPrint() &&
                    !charactersWithin(QString(c), std::get<QString>(minimum), std::get<QString>(maximum)))
                    return refuse(description + NumberTexts::CharacterNotKept(c));
        }
        if (boundsOrdered(minimum, maximum, true) && !inRange(m_input, minimum, maximum))
            return refuse(rangeText);
        *variable = m_input;
    }
}

void ParameterTable::LoadParameters() {
    m_loadResets.clear();
    Walk(ParamAction::Load);
}

void ParameterTable::ReportLoadResets() {
    // A settings file that could not be read as it was: said first, as the cause of what follows.
    for (const QString& problem : m_store.takeProblems())
        m_op.msgBox(problem, MsgStyle::Exclamation, LoadResetTitle);
    const QStringList keys = std::exchange(m_loadResets, {});
    if (!keys.isEmpty())
        m_op.msgBox(LoadResetText + keys.join(CrLf), MsgStyle::Exclamation, LoadResetTitle);
}

void ParameterTable::SaveParameters() {
    Walk(ParamAction::Save);
    m_store.sync();
}

void ParameterTable::ResetParameters() {
    m_preview.clear();
    walkRows(ParamAction::Preview);
    const QString preview = std::exchange(m_preview, {});
    if (preview.isEmpty()) {
        m_op.msgBox(NothingToResetText, MsgStyle::OkOnly);
        return;
    }
    const int answer = m_op.msgBox(ResetListText + preview + QLatin1Char('\r') + ResetQuestionText,
                                   MsgStyle::YesNo | MsgStyle::Question, ResetTitle);
    if (answer == MsgResult::Yes)
        Walk(ParamAction::ResetAll);
}

void ParameterTable::ResetParameter(const QString& key) {
    m_targetKey = key.toUpper();
    m_resultText.clear();
    walkRows(ParamAction::ResetOne);
    if (m_resultText.isEmpty())
        m_op.msgBox(ResetOneFailedText, MsgStyle::Critical, ResetOneFailedTitle);
}

bool ParameterTable::profValidate(const QString& key, QString& boxText) {
    m_targetKey = key.toUpper();
    m_resultText.clear();
    m_input = boxText;
    m_error = false;
    walkRows(ParamAction::Validate);
    const QString result = m_resultText;
    const bool invalid = m_error;
    if (result.isEmpty()) {
        m_op.msgBox(ValidateCallText + key + ValidateCallTextEnd, MsgStyle::Critical, ValidateCallTitle);
        return true;
    }
    if (invalid) {
        boxText = m_input;
        m_op.msgBox(result, MsgStyle::Critical, NumberTexts::BadParameterTitle);
    } else {
        KeepWithinLimits();
    }
    return invalid;
}

bool ParameterTable::ApplyConfigLine(const QString& line, bool normalise) {
    return applyLine(line, normalise, nullptr);
}

bool ParameterTable::applyLine(const QString& line, bool normalise, QString* setText) {
    const QString text = withoutComment(line);
    if (text.isEmpty())
        return true;
    static const QRegularExpression separators(QStringLiteral("[ \t=]+"));
    const QStringList words = text.split(separators, Qt::SkipEmptyParts);
    if (words.size() < 2) {
        m_op.msgBox(BadParameterText + text + CrLf + CrLf + BadParameterHint, MsgStyle::Critical,
                    BadParameterTitle);
        return false;
    }
    m_lineName = words.at(0);
    m_lineValue = words.at(1);
    if (m_lineValue.startsWith(QLatin1Char('"')))
        m_lineValue = quotedValue(text);
    m_matchStatus = 0;
    walkRows(normalise ? ParamAction::ApplyLineNormalise : ParamAction::ApplyLine);
    const int status = m_matchStatus;
    if (status == 1) {
        KeepWithinLimits();
        ++m_counter;
        if (setText)
            *setText = m_lineName + QLatin1Char(' ') + m_lineValue + QLatin1Char(' ');
    }
    showDeferred();
    if (status == 0)
        m_op.msgBox(NoSuchParameterText + text, MsgStyle::Critical, NoSuchParameterTitle);
    return status == 1;
}

QString ParameterTable::startFolder(const QString& first, const QString& second) const {
    if (!first.isEmpty())
        return first;
    if (!second.isEmpty())
        return second;
    const QString data = m_dataFolder ? m_dataFolder() : QString();
    if (!data.isEmpty())
        return data;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void ParameterTable::ReadConfigFile(const QString& fileName) {
    const bool asked = fileName.isEmpty();
    QString name = fileName;
    if (asked) {
        FileDialogRequest request;
        request.title = OpenTitle;
        request.filter = ConfigFilter;
        request.mustExist = true;
        request.initialName = m_lastReadName;
        request.initialFolder = startFolder(m_lastReadFolder, m_lastWriteFolder);
        name = m_op.openFileName(request);
        if (name.isEmpty())
            return;
        const QFileInfo info(name);
        m_lastReadName = info.fileName();
        m_lastReadFolder = info.absolutePath();
    }
    QStringList lines;
    QString why;
    if (!Cp1252::readLines(name, lines, &why)) {
        m_op.msgBox(CannotReadText + name + (why == RegularFile::NotRegularText ? CrLf + why : QString()),
                    MsgStyle::Critical, OpenTitle);
        return;
    }
    m_counter = 0;
    int errors = 0;
    QString setList;
    for (const QString& line : lines) {
        if (errors >= MaxConfigErrors)
            break;
        QString set;
        if (!applyLine(line, true, &set))
            ++errors;
        else if (!set.isEmpty())
            setList += CrLf + set;
    }
    const int count = m_counter;
    if (errors >= MaxConfigErrors)
        m_op.msgBox(QString::number(errors) + TooManyErrorsText, MsgStyle::Critical, TooManyErrorsTitle);
    if (asked && count > 0)
        m_op.msgBox(QString::number(count) + SuccessText + setList, MsgStyle::Information, SuccessTitle);
}

void ParameterTable::WriteConfigFile(bool changedOnly) {
    FileDialogRequest request;
    request.title = SaveTitle;
    request.filter = ConfigFilter;
    request.confirmOverwrite = true;
    request.confirmCreate = true;
    request.initialName = m_lastWriteName;
    request.initialFolder = startFolder(m_lastWriteFolder, m_lastReadFolder);
    const QString name = m_op.saveFileName(request);
    if (name.isEmpty())
        return;
    const QFileInfo info(name);
    m_lastWriteName = info.fileName();
    m_lastWriteFolder = info.absolutePath();

    m_counter = 0;
    m_fileBytes = Cp1252::encode(ConfigHeader + CrLf);
    walkRows(changedOnly ? ParamAction::WriteChanged : ParamAction::WriteAll);
    const QByteArray bytes = std::exchange(m_fileBytes, {});
    const int count = m_counter;
    // Opening a pipe for writing waits for a reader that never comes.
    if (RegularFile::IsSpecial(name)) {
        m_op.msgBox(CannotWriteText + name + CrLf + RegularFile::NotRegularText, MsgStyle::Critical,
                    WrittenTitle);
        return;
    }
    QFile file(name);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written) {
        m_op.msgBox(CannotWriteText + name, MsgStyle::Critical, WrittenTitle);
        return;
    }
    if (count > 0)
        m_op.msgBox(QString::number(count) + WrittenText, MsgStyle::Information, WrittenTitle);
}

void ParameterTable::KeepWithinLimits() {
    // The speeds may not pass what the motor can do in micrometres; a lower step size or step rate
    // brings them down with it, so that everything the table holds would be taken back.
    const double speedLimit = double(m_p.MaxStepRate) * m_p.MicronsPerStep;
    m_p.ExptSpeed = std::min(m_p.ExptSpeed, speedLimit);
    m_p.PreloadUserSpeed = std::min(m_p.PreloadUserSpeed, speedLimit);
    m_p.HiCurrRate = std::min(m_p.HiCurrRate, double(m_p.MaxStepRate));
    m_p.PreloadStress = std::min(m_p.PreloadStress, m_p.Modulus * 300);
}

QString ParameterTable::valueText(const QString& key) const {
    QString text;
    forEachRow([&](const Row& r) {
        if (r.key.compare(key, Qt::CaseInsensitive) == 0)
            text = std::visit([](auto* v) { return textOf(*v); }, r.variable);
    });
    return text;
}
