#pragma once

#include "results/BatchCurves.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class BatchReport;
class SampleStatistics;
struct GroupStatistics;
class ChartControl;
class Operator;
class QComboBox;
class QPainter;
class QRectF;
class QLabel;
class QPushButton;
class QTableWidget;
class QTabWidget;
class SettingsStore;
class frmBigPlot;

// The statistics window: the strength figures of the datasheet per nominal-rate group, the Weibull
// plot of a chosen group and the dynamic fatigue plot; copies the figures and saves the report.
class frmStatistics : public QDialog {
    Q_OBJECT
public:
    frmStatistics(Operator& op, SettingsStore& store, QWidget* parent = nullptr);
    ~frmStatistics() override;

    // The rows as their 17 fields; the data file's name goes into the report.
    void setRows(const QList<QStringList>& rows, const QString& dataFileName);
    const BatchReport& report() const { return *m_report; }
    // A page of another part of the program for the report this window saves.
    void addReportPage(const std::function<void(QPainter&, const QRectF&)>& page);
    // Shows "Lifetime..." and opens with it what the program's lifetime window is.
    void setLifetimeOpener(const std::function<void()>& open);
    // The load-cell calibration in use, for the report.
    void setCalibration(const QString& calibration);
    // The batch's electronic signatures as the report prints them.
    void setSignatures(const QStringList& lines) { m_signatures = lines; }
    // Where a row's load/time record lies, for the batch's curves; set before setRows.
    void setRecordLocator(const BatchCurves::Locator& locate) { m_locate = locate; }
    const BatchCurves& curves() const { return m_curves; }

    QTableWidget* grdStatistics = nullptr;
    // Columns per rate (the default) or per sample and rate, where the rows hold several samples.
    QComboBox* cboColumns = nullptr;
    QLabel* lblColumns = nullptr;
    QComboBox* cboGroup = nullptr;
    ChartControl* chtWeibull = nullptr;
    ChartControl* chtFatigue = nullptr;
    QLabel* lblFatigue = nullptr;
    // The static fatigue part, shown when the rows hold static tests.
    QTableWidget* grdStatic = nullptr;
    QLabel* lblStaticFatigue = nullptr;
    ChartControl* chtStatic = nullptr;
    // The batch's curves on a page of their own.
    QTabWidget* tabCharts = nullptr;
    ChartControl* chtOverlay = nullptr;
    QComboBox* cboOverlayAxis = nullptr;
    QComboBox* cboOverlayGroup = nullptr; // all groups, or one
    QLabel* lblOverlayLegend = nullptr;
    QPushButton* cmdLifetime = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdReport = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void showTable();
    void showGroup(int index);
    void showStatic();
    void showOverlay();
    void cmdCopy_Click();
    void cmdReport_Click();
    void enlarge(ChartControl* chart, const QString& caption);

    Operator& m_op;
    SettingsStore& m_store;
    std::unique_ptr<BatchReport> m_report;
    QString m_calibration;
    QStringList m_signatures;
    QString m_dataFileName;
    frmBigPlot* m_bigPlot = nullptr;
    QWidget* m_staticChart = nullptr;
    BatchCurves::Locator m_locate;
    BatchCurves m_curves;
    std::unique_ptr<SampleStatistics> m_samples;
    QList<const GroupStatistics*> m_columns; // the table's columns, "All" first
};
