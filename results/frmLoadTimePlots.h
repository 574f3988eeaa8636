#pragma once

#include "results/FileFault.h"
#include "results/LoadTimePlotData.h"

#include <QDialog>
#include <QFont>
#include <array>
#include <optional>

class ChartControl;
class Operator;
class QLabel;
class QPushButton;
class SettingsStore;
class frmBigPlot;
struct Parameters;

// "LOAD TIME PROFILES": the three charts of the last break side by side, the analysed stretch in its
// own series. Closing writes the load/time data file and a picture of the charts when asked to.
// Created once and hidden between uses, so it shows the last break again.
class frmLoadTimePlots : public QDialog {
    Q_OBJECT
public:
    static constexpr int MinWidthTwips = 14040;
    static constexpr int MinHeightTwips = 6315;

    frmLoadTimePlots(Parameters& params, Operator& op, SettingsStore& store, QWidget* parent = nullptr);
    ~frmLoadTimePlots() override;

    // Takes a new break's charts and shows them modally.
    void Show(const LoadTimePlotData& data);
    // Shows the last break again (nothing before the first).
    void Review();
    // The plots of an earlier break, read back from its record file: shown as Show does, but closing
    // writes nothing and "Review last" still shows the last break.
    void ShowPast(const LoadTimePlotData& data);
    bool hasData() const { return m_hasData; }
    const LoadTimePlotData& data() const { return m_data; }

    // The text of the load/time record. Should a sample not be six numbers, the operator is told
    // ("SOFTWARE ERROR") and the text stops before it.
    QString LT_Data_String() const;
    // The charts and their captions without the buttons.
    QImage ChartsPicture();
    bool dotsMode() const { return m_dots; }

    // The row the charts belong to; part of the picture.
    QLabel* lblTitle = nullptr;
    std::array<ChartControl*, 3> MSChart{};
    std::array<QLabel*, 3> lblCaption{};
    QLabel* Label6 = nullptr;
    QPushButton* cmdDots = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

signals:
    // Each time the window becomes active (the main window enables "Review last").
    void activated();

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window as "Close" does.
    void reject() override;

private:
    void applyDots();
    // Writes the load/time record files asked for; false when one failed and the operator chose to
    // keep the window open.
    bool writeRecordFiles();
    // Writes the load/time data file; its fault, if any.
    std::optional<FileFault> writeDataFile();
    void layOut();
    void cmdDots_Click();
    void cmdCopy_Click();
    void cmdClose_Click();
    void showBig(int index);
    void showTitle(const QString& title);
    // The title whole in the width, on two lines or in smaller type where it must.
    void fitTitle(int width);

    Parameters& m_params;
    Operator& m_op;
    SettingsStore& m_store;
    frmBigPlot* m_big = nullptr;
    LoadTimePlotData m_data;
    bool m_hasData = false;
    bool m_dataFileWritten = false; // the record of the break shown is on the disc
    bool m_dots = true;
    QString m_title;
    QFont m_titleFont;
};
