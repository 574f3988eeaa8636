#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <variant>

class Operator;
class SettingsStore;
struct Parameters;

// Columns of the datasheet; the copy-special columns are numbered 0 to one less.
constexpr int DatasheetColumnCount = 18;

// Row flags of the parameter table.
namespace ParamFlag {
enum : int {
    NeverSaved = 0x08,  // neither saved to the settings store nor written to configuration files
    NotRead = 0x40,     // a configuration line naming it is answered as an unknown name
    NotReset = 0x80,    // left alone by every reset and the reset preview
    NotStored = 0x100,  // neither loaded from nor saved to the settings store
    NotWritten = 0x200, // not written to configuration files
    Shared = 0x400,     // kept in the section shared by all products
    Enciphered = 0x800, // stored enciphered; no row of this build carries it
};
}

// What one walk over the table does to every row.
namespace ParamAction {
enum : int {
    ResetAll = 1,
    ResetOne = 2,
    Preview = 3,
    Load = 4,
    ApplyLineNormalise = 5,
    ApplyLine = 6,
    WriteAll = 7,
    WriteChanged = 8,
    Save = 9,
    Validate = 10,
};
}

// The table of every persisted parameter: each row binds a member of Parameters to its key,
// description, unit, default, range and flags. Loading, saving, resets, configuration files and
// validation of typed values are each one walk over the rows in the table's fixed order; computed
// defaults and bounds are taken from the current values as the walk reaches their row.
class ParameterTable {
public:
    using Variable = std::variant<qint16*, qint32*, float*, double*, bool*, QString*>;
    // A default or a bound: a number, a boolean or a text, as the row's type needs.
    using Value = std::variant<double, bool, QString>;

    ParameterTable(Parameters& p, SettingsStore& store, Operator& op);

    void LoadParameters();
    // The keys whose stored values the last load could not take, in table order.
    QStringList LoadResets() const { return m_loadResets; }
    // Tells the operator, once, which stored values the load reset to their defaults.
    void ReportLoadResets();
    void SaveParameters();
    // Lists what a reset would change and, when the operator agrees, resets every parameter.
    void ResetParameters();
    void ResetParameter(const QString& key);
    // Checks a value typed for the parameter and takes it when valid. Returns true when invalid;
    // then the operator has been told why and boxText holds the parameter's current value again.
    bool profValidate(const QString& key, QString& boxText);
    // One line of a configuration file; normalise replaces the value text by the value's own text
    // form (as listed after reading a file). Returns false after telling the operator what is wrong.
    bool ApplyConfigLine(const QString& line, bool normalise);
    // An empty name asks the operator for the file.
    void ReadConfigFile(const QString& fileName);
    // Asks the operator for the file; writes every parameter, or only those that differ from their defaults.
    void WriteConfigFile(bool changedOnly);

    // The text form of each load-cell channel's calibration (0 to 2), saved with the parameters;
    // nothing while the calibrations have not been read, so that they are not saved over.
    void setCalibrationTextProvider(std::function<std::optional<QString>(int)> provider);
    // The folder of the data file in use, a starting folder for the configuration-file dialogs.
    void setDataFolderProvider(std::function<QString()> provider);

    // Brings the values whose limits follow other parameters (the speeds follow MaxStepRate and
    // MicronsPerStep) back within those limits; done whenever a value is taken.
    void KeepWithinLimits();

    // The text form of a parameter's current value (as saved); empty for an unknown key.
    QString valueText(const QString& key) const;
    // Performs one action on every row; the single-row actions take their target from the routines above.
    void Walk(int action);

private:
    struct Row {
        Variable variable;
        QString key;
        QString description;
        Value defaultValue;
        Value minimum;
        Value maximum;
        QString unit;
        int flags = 0;
    };

    void forEachRow(const std::function<void(const Row&)>& visit) const;
    // The walk itself; its messages wait in m_deferred so that no box is open while rows are walked.
    void walkRows(int action);
    void showDeferred();
    bool applyLine(const QString& line, bool normalise, QString* setText);
    void DoParameter(Variable variable, const QString& key, const QString& description,
                     const Value& defaultValue, const Value& minimum, const Value& maximum,
                     const QString& unit, int flags);
    template <class T>
    void doRow(T* variable, const QString& key, const QString& description, const Value& defaultValue,
               const Value& minimum, const Value& maximum, const QString& unit, int flags);
    template <class T>
    void applyLineToRow(T* variable, const QString& key, const Value& minimum, const Value& maximum,
                        const QString& unit);
    template <class T>
    void validateRow(T* variable, const QString& description, const Value& minimum, const Value& maximum,
                     const QString& unit);
    QString startFolder(const QString& first, const QString& second) const;

    Parameters& m_p;
    SettingsStore& m_store;
    Operator& m_op;
    std::function<std::optional<QString>(int)> m_calibrationText;
    std::function<QString()> m_dataFolder;
    mutable std::array<QString, 3> m_calibrationTemp; // rows 28-30 bind here, refilled at each walk

    // Shared state of a walk.
    int m_action = 0;
    bool m_walking = false;
    bool m_unknownActionShown = false;
    QString m_targetKey; // upper case
    QString m_resultText;
    QString m_input;
    bool m_error = false;
    int m_matchStatus = 0; // 0 no row, 1 set, 2 unrecognised value, 3 out of range
    QString m_lineName;
    QString m_lineValue;
    QString m_preview;
    int m_counter = 0;
    QByteArray m_fileBytes;
    QStringList m_deferred;
    QStringList m_loadResets;

    // The configuration-file dialogs remember their choices while the program runs.
    QString m_lastReadName, m_lastReadFolder, m_lastWriteName, m_lastWriteFolder;
};
