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

private:
    void go();

    DatasheetCommands& m_commands;
    std::function<GridBlock()> m_selection;
    std::array<QRadioButton*, 3> optSource{};
    std::array<QRadioButton*, 2> optDestination{};
    QCheckBox* chkIncHeaders = nullptr;
};
