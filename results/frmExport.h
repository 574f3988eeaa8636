#pragma once

#include "results/DatasheetCommands.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QRadioButton;

// "EXPORT DATA": which rows and columns go where. The choices stay for the next opening.
class frmExport : public QDialog {
    Q_OBJECT
public:
    // selection: the grid's selected block at the moment Go is pressed.
    frmExport(DatasheetCommands& commands, std::function<GridBlock()> selection, QWidget* parent = nullptr);

    // Whole datasheet, to a file, with the column names: what saves results a data file could not take.
    void chooseRescue();

    // Offers the second file style, for analysis programs, written by `write`.
    using AnalysisWriter = std::function<bool(DatasheetCommands::Kind, const GridBlock&)>;
    void setAnalysisExport(AnalysisWriter write);

private:
    void go();

    DatasheetCommands& m_commands;
    std::function<GridBlock()> m_selection;
    AnalysisWriter m_analysis;
    std::array<QRadioButton*, 3> optSource{};
    std::array<QRadioButton*, 2> optDestination{};
    // File style: 0 as the datasheet shows it, 1 for analysis programs.
    std::array<QRadioButton*, 2> optStyle{};
    class QGroupBox* fraStyle = nullptr;
    QCheckBox* chkIncHeaders = nullptr;
};
