#pragma once

#include "app/WindowDisabler.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// Modeless window with a progress bar and two text lines. The bar is real-valued; the widget's
// integer range is a fixed number of steps across it.
class Progress : public QWidget {
    Q_OBJECT
public:
    static constexpr int BarSteps = 10000;

    explicit Progress(QWidget* parent = nullptr);

    void ShowProgress(const QString& StatusStr, const QString& Label2, double Minimum, double Maximum);
    void ProgressAppend(const QString& AddStr);
    // Clamps the value to the bar's range and hands the clamped value back.
    void UpdateProgress(double& Value, const QString& NewStr = {});
    void ProgressDone();

    // Where a value lies on the widget's integer bar (pure, for the mapping alone).
    static int barPosition(double value, double minimum, double maximum);

    QString text() const { return m_text; }
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double value() const { return m_value; }
    // Set by cmdCancel; whoever runs the long step may look at it.
    bool Cancelled = false;

signals:
    void cancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setText(const QString& text);

    QLabel* m_status;
    QLabel* m_label2;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    WindowDisabler m_disabler;
    QString m_text;
    double m_min = 0, m_max = 0, m_value = 0;
};
