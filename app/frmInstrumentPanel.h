#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class SimServer;

namespace InstrumentPanelTexts {
inline const QString Caption = QStringLiteral("Instrument panel");
inline const QString MassFrame = QStringLiteral("Mass hung on the load cell");
inline const QString Hang = QStringLiteral("&Hang");
inline const QString Grams = QStringLiteral(" g");
inline const QString ThreadFiber = QStringLiteral("&Thread a new fiber");
inline const QString InputFrame = QStringLiteral("Input lines");
inline const QString ClosedLimit = QStringLiteral("Closed limit tripped");
inline const QString OpenLimit = QStringLiteral("Open limit tripped");
inline const QString StopButton = QStringLiteral("Stop button held");
inline const QString BreakLine = QStringLiteral("Break line high");
inline const QString Contact = QStringLiteral("Contact");
inline const QString ContactDisable = QStringLiteral("Contact disable");
inline QString massButton(int grams) {
    return grams >= 1000 && grams % 1000 == 0 ? QString::number(grams / 1000) + QStringLiteral(" kg")
                                              : QString::number(grams) + QStringLiteral(" g");
}
QString stateText(double hungGrams, double loadN, double signalAu, int channel, qint32 position,
                  bool fiberPresent, bool fiberBroken);
// The input byte as the System Controller reports it, bit 7 first.
QString inputsText(quint8 inputs);
// The stress corrosion of the fiber held now: damage used up and the time it has left at this load.
QString fatigueText(double damage, double msToFailure);
} // namespace InstrumentPanelTexts

// A small window beside the program when it runs on the simulated instrument: hang a known mass on
// the load cell, thread a new fiber and work the input lines by hand, as one would at the real tester.
class frmInstrumentPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr double Gravity = 9.81; // N per kg, as the calibration counts
    static constexpr int TickMs = 500;

    explicit frmInstrumentPanel(SimServer& sim, QWidget* parent = nullptr);

    void hangMass(int grams);
    void threadFiber();
    // Sets the hand-operated input lines from the panel's check boxes.
    void applyInputLines();

    QSpinBox* udMass;
    QCheckBox* chkClosedLimit;
    QCheckBox* chkOpenLimit;
    QCheckBox* chkStopButton;
    QCheckBox* chkBreak;
    QCheckBox* chkContact;
    QCheckBox* chkContactDisable;
    QLabel* lblState;
    QLabel* lblInputs;
    QLabel* lblFatigue;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showState();

    SimServer& m_sim;
    QTimer* m_timer;
};
