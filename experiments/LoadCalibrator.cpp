#include "experiments/LoadCalibrator.h"

#include "base/Operator.h"
#include "base/ProgramFolder.h"
#include "experiments/CalibrationFile.h"
#include "experiments/CalibrationTexts.h"
#include "instrument/ApTimer.h"
#include "instrument/ControllerLink.h"
#include "instrument/LoadCell.h"
#include "params/Parameters.h"
#include "params/RegularFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cmath>

namespace T = CalibrationTexts;

namespace {
constexpr int DefaultSecondButton = 256; // message box style: No is the default
}

LoadCalibrator::LoadCalibrator(LoadCell& cell, ControllerLink& link, Operator& op, SettingsStore& store,
                               Parameters& params)
    : m_cell(cell), m_params(params), m_link(link), m_op(op), m_new(cell, link, op, store),
      m_folder(ProgramFolder::path()) {}

int LoadCalibrator::channel() const {
    return m_cell.channel();
}

void LoadCalibrator::SelectChannel(int channel) {
    m_params.ADchannel = qint16(qBound(0, channel, 2));
    SendSampling();
}

QString LoadCalibrator::channelCaption(int channel) const {
    if (!IsCalibrated(m_cell.record(channel)))
        return T::channelCaption(channel);
    return T::rangeCaption(channel, std::lround(m_cell.SignalToLoad(200, channel)),
                           std::lround(m_cell.SignalToLoad(4000, channel)));
}

QString LoadCalibrator::parametersText() const {
    return CalibrationText(m_cell.current());
}

QString LoadCalibrator::LiveLoadText() {
    QString text;
    if (m_cell.currentIsCalibrated()) {
        // A garbled reply is no load: the display keeps what it showed.
        const std::optional<double> load = m_cell.SampleLoad();
        text = load ? T::loadText(*load) : m_liveLoadText;
    }
    m_liveLoadText = text;
    SendSampling();
    return text;
}

bool LoadCalibrator::ZeroTare() {
    // Only a fitted intercept can take a tare.
    if (!m_cell.currentIsCalibrated() || !m_cell.current().Intercept.numeric)
        return false;
    if (m_op.msgBox(T::ChangeQuestion, MsgStyle::YesNo | MsgStyle::Question | DefaultSecondButton) !=
        MsgResult::Yes)
        return false;
    SendSampling();
    ApTimer::DelayMs(50);
    const double signal0 = SignalNow();
    LoadCalibration& r = m_cell.current();
    r.ZeroOffset = CalField::number(signal0 - r.Intercept.value);
    return true;
}

double LoadCalibrator::SignalNow() {
    constexpr int Polls = 10;
    double sum = 0;
    for (int i = 0; i < Polls; ++i)
        sum += m_cell.ReadSignal();
    return sum / Polls;
}

void LoadCalibrator::LoadFromDisc() {
    FileDialogRequest request;
    request.title = T::ReadTitle;
    request.filter = T::FileFilter;
    request.initialFolder = m_folder;
    request.mustExist = true;
    const QString name = m_op.openFileName(request);
    if (name.isEmpty()) {
        m_op.msgBox(T::Cancelled, MsgStyle::OkOnly | MsgStyle::Information);
        return;
    }
    m_folder = QFileInfo(name).absolutePath();
    QString why;
    const std::optional<QString> text = CalibrationFile::read(name, &why);
    std::optional<LoadCalibration> record;
    if (text)
        record = CalibrationFile::parse(*text);
    // A file that reads but would leave the channel uncalibrated changes nothing either.
    if (!record || !IsCalibrated(*record)) {
        // A pipe or device is named as such, as everywhere a file is read.
        m_op.msgBox(why == RegularFile::NotRegularText ? T::Invalid + QStringLiteral("\r") + why : T::Invalid,
                    MsgStyle::OkOnly | MsgStyle::Exclamation);
        return;
    }
    record->Channel = qint16(m_cell.channel());
    m_cell.current() = *record;
}

void LoadCalibrator::SaveToDisc() {
    if (!m_cell.currentIsCalibrated()) {
        m_op.msgBox(T::SaveNotCalibrated, MsgStyle::OkOnly | MsgStyle::Exclamation);
        return;
    }
    FileDialogRequest request;
    request.title = T::SaveTitle;
    request.filter = T::FileFilter;
    request.initialFolder = m_folder;
    if (!m_cell.current().SerialNumber.isEmpty())
        request.initialName = m_cell.current().SerialNumber + QStringLiteral(".cal");
    request.confirmOverwrite = true;
    const QString name = m_op.saveFileName(request);
    if (name.isEmpty())
        return;
    m_folder = QFileInfo(name).absolutePath();
    if (const auto error = CalibrationFile::write(name, m_cell.current()))
        m_op.msgBox(T::writeError(error->number, error->description), MsgStyle::OkOnly | MsgStyle::Critical,
                    T::WriteErrorTitle);
}

bool LoadCalibrator::MayClose() {
    if (m_cell.currentIsCalibrated()) {
        m_cell.SaveCalibrations();
        return true;
    }
    return m_op.msgBox(T::NotCalibrated, MsgStyle::YesNo | MsgStyle::Critical, T::NotCalibratedTitle) !=
           MsgResult::Yes;
}

void LoadCalibrator::SendSampling() {
    m_link.SetLoadSampling(m_cell.channel(), 256, -1, 4090);
}
