#pragma once

#include "store/ResultsDatabase.h"

#include <QDialog>

class QChartView;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;

// The "Results store" window: searches the stored results by sample, operator, date and rate,
// shows the load/time curve of the result chosen, and the trend of median strength and Weibull m
// per sample over time. It reads the store through a connection of its own.
class frmResultsStore : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxRows = 5000;
    static constexpr int TrendSamples = 6;

    explicit frmResultsStore(const QString& storePath, QWidget* parent = nullptr);

    QLineEdit* txtSample = nullptr;
    QLineEdit* txtOperator = nullptr;
    QLineEdit* txtSince = nullptr;
    QLineEdit* txtUntil = nullptr;
    QLineEdit* txtRate = nullptr;
    QTableView* grdFound = nullptr;
    QChartView* chtCurve = nullptr;
    QChartView* chtTrend = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdTrail = nullptr;
    QLabel* lblSignatures = nullptr; // the electronic signatures of the chosen result

    // Runs the search with the filter boxes; the count found, -1 when a typed date is not understood.
    int Search();
    void ShowCurve(int row);
    // The audit trail of the chosen result (its row, its data file, the options).
    void ShowTrail();

private:
    ResultsDatabase m_db;
    QString m_storePath;
    QStandardItemModel* m_model = nullptr;
    QStringList m_uuids;
};
