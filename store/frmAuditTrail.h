#pragma once

#include "store/AuditTrail.h"
#include "store/ResultsDatabase.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTableWidget;

// "Audit trail": the recorded changes of a row, of a data file, of the options and calibration, or
// the whole trail, each entry with when, who, what it was before and after and why where told.
// It reads the store through a connection of its own.
class frmAuditTrail : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxRows = 10000;

    explicit frmAuditTrail(const QString& storePath, QWidget* parent = nullptr);

    // What the window offers and shows first: a row of a data file (row > 0), the file (row 0), or
    // without a file the option changes. dataFile as the operator knows it.
    void Show(const QString& dataFile, int row);
    // The number of entries shown; -1 when the store could not be read.
    int Read(AuditTrail::Scope scope);

    QComboBox* cboScope = nullptr;
    QTableWidget* grdTrail = nullptr;
    QLabel* lblStatus = nullptr;

private:
    ResultsDatabase m_db;
    QString m_storePath;
    QString m_dataFile; // the store's key
    int m_row = 0;
};
