#pragma once

#include "results/DatasheetCommands.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Datasheet;
class Operator;

// The datasheet's rows for analysis programs, in the style of the results store's export: UTF-8,
// one header of names with their units ("stress_MPa"), numbers with a point, ISO dates, the rate's
// value and unit apart, and the operator and the sample in columns of their own.
class AnalysisExport {
public:
    // The column names, in order.
    static const QStringList& Names();
    // The file's bytes for rows given as their row number and 17 fields (CR LF line ends).
    static QByteArray Text(const QString& dataFile, const QList<std::pair<int, QStringList>>& rows);

    AnalysisExport(Datasheet& sheet, Operator& op) : m_sheet(sheet), m_op(op) {}
    // Asks for a file and writes the rows of the kind (every row, or the selected block's rows;
    // always every column). False when nothing was written.
    bool Run(DatasheetCommands::Kind kind, const GridBlock& selection);

private:
    Datasheet& m_sheet;
    Operator& m_op;
};
