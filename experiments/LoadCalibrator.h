#pragma once

#include "experiments/NewCalibration.h"

#include <QString>

class ControllerLink;
class LoadCell;
class Operator;
class SettingsStore;
struct Parameters;

// What the calibration review window decides: the channel in use, the live load, the tare, the
// calibration files and whether the window may close. Holds the calibration in progress.
class LoadCalibrator {
public:
    LoadCalibrator(LoadCell& cell, ControllerLink& link, Operator& op, SettingsStore& store,
                   Parameters& params);

    NewCalibration& newCalibration() { return m_new; }
    LoadCell& loadCell() { return m_cell; }

    int channel() const;
    // Makes the channel the one in use and sets its load sampling.
    void SelectChannel(int channel);
    // "Channel n", or with its load range when that channel is calibrated.
    QString channelCaption(int channel) const;
    // The current channel's calibration in one line.
    QString parametersText() const;

    // One tick of the live display: the load text (empty when uncalibrated), then the sampling again.
    QString LiveLoadText();

    // Sets the tare so that the load on the cell now reads zero; false when the operator declined
    // or there is no calibration to tare.
    bool ZeroTare();
    // Average signal of ten polls.
    double SignalNow();

    void LoadFromDisc();
    void SaveToDisc();

    // The closing rule: a calibrated channel stores the three records and may close; otherwise the
    // operator chooses between calibrating (false: stay open) and ending the program (true).
    bool MayClose();

    void SendSampling();

    // Where the calibration file dialogs start.
    void setFileFolder(const QString& folder) { m_folder = folder; }

private:
    LoadCell& m_cell;
    Parameters& m_params;
    ControllerLink& m_link;
    Operator& m_op;
    NewCalibration m_new;
    QString m_folder;
    QString m_liveLoadText; // as last shown, kept over a garbled reply
};
