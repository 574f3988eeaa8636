#include "instrument/frmHardware.h"

#include "instrument/ControllerLink.h"
#include "instrument/HardwareTexts.h"

#include <QButtonGroup>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSoundEffect>
#include <QUrl>
#include <QVBoxLayout>

namespace HT = HardwareTexts;

namespace {
QLabel* level(QWidget* parent, const char* name) {
    auto* l = new QLabel(HT::Low, parent);
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("Step High")) + 8);
    return l;
}
} // namespace

frmHardware::frmHardware(ControllerLink& link, Motion& motion, int comNumber, const QString& soundsFolder,
                         QWidget* parent)
    : QDialog(parent), m_io(link, motion) {
    setObjectName(QStringLiteral("frmHardware"));
    setWindowTitle(HT::Caption);

    lblRabbit = new QLabel(this);
    lblRabbit->setObjectName(QStringLiteral("lblRabbit"));

    frameInputs = new QGroupBox(HT::InputFrame, this);
    frameInputs->setObjectName(QStringLiteral("frameInputs"));
    auto* inputs = new QGridLayout(frameInputs);
    lblOpen = level(frameInputs, "lblOpen");
    lblClose = level(frameInputs, "lblClose");
    lblHalt = level(frameInputs, "lblHalt");
    lblBreak = level(frameInputs, "lblBreak");
    lblContact = level(frameInputs, "lblContact");
    lblDisable = level(frameInputs, "lblDisable");
    const std::array<std::pair<QString, QLabel*>, 6> inputRows{{{HT::OpenLimit, lblOpen},
                                                                {HT::ClosedLimit, lblClose},
                                                                {HT::StopButton, lblHalt},
                                                                {HT::Break, lblBreak},
                                                                {HT::Contact, lblContact},
                                                                {HT::ContactDisable, lblDisable}}};
    int row = 0;
    for (const auto& [caption, label] : inputRows) {
        inputs->addWidget(new QLabel(caption, frameInputs), row, 0);
        inputs->addWidget(label, row, 1);
        ++row;
    }

    frameOutput = new QGroupBox(HT::OutputFrame, this);
    frameOutput->setObjectName(QStringLiteral("frameOutput"));
    auto* outputs = new QGridLayout(frameOutput);
    auto* group = new QButtonGroup(this);
    for (int i = 1; i <= 6; ++i) {
        auto* option = new QRadioButton(HT::OutputModes[size_t(i)], frameOutput);
        option->setObjectName(QStringLiteral("optOutputs%1").arg(i));
        group->addButton(option, i);
        optOutputs[size_t(i)] = option;
        outputs->addWidget(option, i, 0);
        connect(option, &QRadioButton::clicked, this, [this, i] { chooseMode(i); });
    }
    optOutputs[HardwareIO::StepClose]->hide();
    for (int i : {1, 3, 4, 5}) {
        lblOutputs[size_t(i)] = level(frameOutput, "");
        lblOutputs[size_t(i)]->setObjectName(QStringLiteral("lblOutputs%1").arg(i));
        outputs->addWidget(lblOutputs[size_t(i)], i, 1);
    }
    Slider1 = new QSlider(Qt::Horizontal, frameOutput);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(1, 6);
    Slider1->setValue(SliderStart);
    Slider1->setTickPosition(QSlider::TicksBelow);
    outputs->addWidget(new QLabel(HT::RateLabel, frameOutput), 7, 0);
    outputs->addWidget(Slider1, 8, 0, 1, 2);
    connect(Slider1, &QSlider::valueChanged, this, [this](int value) { m_io.SetSlider(value); });

    cmdOK = new QPushButton(HT::OK, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(HT::Cancel, this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* columns = new QHBoxLayout;
    columns->addWidget(frameInputs);
    columns->addWidget(frameOutput);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblRabbit);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    tmrIO.setObjectName(QStringLiteral("tmrIO"));
    tmrIO.setInterval(TickMs);
    connect(&tmrIO, &QTimer::timeout, this, &frmHardware::tick);

    // Opening.
    for (int i = 0; i < 3; ++i) {
        const QString file = QDir(soundsFolder).filePath(HT::SoundFiles[size_t(i)]);
        if (!QFileInfo(file).isFile())
            continue;
        MM1[size_t(i)] = new QSoundEffect(this);
        MM1[size_t(i)]->setSource(QUrl::fromLocalFile(file));
    }
    optOutputs[HardwareIO::Off]->setChecked(true);
    lblRabbit->setText(HT::ControllerOn + QString::number(comNumber) + QStringLiteral("\r\n") +
                       HT::FirmwareVersion + link.FirmwareVersion());
    cmdCancel->setEnabled(false); // the System Controller's lines cannot be left half set
    m_io.setSoundPlayer([this](int n) { Bleep(n); });
    m_io.Open();
    UpdateInputStatus();
    UpdateOutputStatus();
}

frmHardware::~frmHardware() {
    tmrIO.stop();
    // Destroyed without closing (the program ends): at least the lines go back to rest.
    m_io.RestoreLinesNow();
}

void frmHardware::Bleep(int n) {
    emit bleeped(n);
    if (n < 1 || n > 3 || MM1[size_t(n - 1)] == nullptr)
        return;
    MM1[size_t(n - 1)]->play();
}

void frmHardware::UpdateInputStatus() {
    lblOpen->setText(m_io.InputLevel(HardwareIO::OpenBit));
    lblClose->setText(m_io.InputLevel(HardwareIO::ClosedBit));
    lblHalt->setText(m_io.InputLevel(HardwareIO::HaltBit));
    lblBreak->setText(m_io.InputLevel(HardwareIO::BreakBit));
    lblContact->setText(m_io.InputLevel(HardwareIO::ContactBit));
    lblDisable->setText(m_io.InputLevel(HardwareIO::DisableBit));
}

void frmHardware::UpdateOutputStatus() {
    lblOutputs[1]->setText(HT::StepPrefix + m_io.OutputLevel(2));
    lblOutputs[3]->setText(m_io.OutputLevel(8));
    lblOutputs[4]->setText(m_io.OutputLevel(1));
    lblOutputs[5]->setText(m_io.OutputLevel(16));
}

void frmHardware::tick() {
    m_io.TimerTick();
    UpdateInputStatus();
    UpdateOutputStatus();
}

void frmHardware::chooseMode(int mode) {
    tmrIO.stop();
    m_io.ChooseMode(mode);
    UpdateOutputStatus();
    tmrIO.start();
}

void frmHardware::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !m_closed) {
        // Message boxes over the window hold the timer, so no exchange runs under them.
        if (isActiveWindow())
            tmrIO.start();
        else
            tmrIO.stop();
    }
    QDialog::changeEvent(event);
}

void frmHardware::done(int result) {
    if (!m_closed) {
        m_closed = true;
        tmrIO.stop();
        m_io.Close();
        UpdateOutputStatus();
        for (QSoundEffect*& sound : MM1) {
            delete sound;
            sound = nullptr;
        }
    }
    QDialog::done(result);
}
