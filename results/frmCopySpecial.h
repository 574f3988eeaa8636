#pragma once

#include <QDialog>
#include <array>

class DatasheetCommands;
class QComboBox;
class QRadioButton;
struct Parameters;

// "COPY DATA SPECIAL": up to five chosen columns, in the chosen order, of all rows or the selected
// ones, onto the clipboard.
class frmCopySpecial : public QDialog {
    Q_OBJECT
public:
    // first..last: the selected model rows (first < 0: no result row selected). rowChoice: the row
    // option chosen last time, remembered here for the next opening.
    frmCopySpecial(DatasheetCommands& commands, Parameters& params, int first, int last, int& rowChoice,
                   QWidget* parent = nullptr);

private:
    void copy();
    void cancel();

    DatasheetCommands& m_commands;
    int m_first;
    int m_last;
    int& m_rowChoice;
    std::array<QRadioButton*, 2> optRows{};
    std::array<QComboBox*, 5> comDataColumn{};
};
