#pragma once

#include <QDialog>

class Operator;
class QLabel;
class QPushButton;
class SettingsStore;
class ChartControl;

// The enlarged plot window: one chart at full size, copied from another chart each time it is shown.
// Closing only hides it; its placement is remembered.
class frmBigPlot : public QDialog {
    Q_OBJECT
public:
    frmBigPlot(Operator& op, SettingsStore& store, QWidget* parent = nullptr);
    ~frmBigPlot() override;

    // Copies the chart in, takes the caption and shows the window modally.
    void Show(const ChartControl& source, const QString& caption);

    ChartControl* MSChart1 = nullptr;
    // The values of the point last clicked, with the axes' units.
    QLabel* lblPoint = nullptr;

protected:
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void cmdCopy_Click();
    void pointSelected(int curve, int row);
    void placePlotArea();

    Operator& m_op;
    SettingsStore& m_store;
    QPushButton* cmdCopy;
    QPushButton* cmdExit;
};
