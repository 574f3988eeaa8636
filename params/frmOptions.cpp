#include "params/frmOptions.h"

#include "base/ProductIdentity.h"
#include "params/OptionsTexts.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"
#include "params/SoundList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace T = OptionsTexts;

namespace {
template <class W> W* named(W* widget, const char* name, const QString& tip = {}) {
    widget->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        widget->setToolTip(tip);
    return widget;
}
} // namespace

frmOptions::frmOptions(Parameters& params, ParameterTable& table, const QString& soundsFolder, Hooks hooks,
                       QWidget* parent)
    : QDialog(parent), m_params(params), m_table(table), m_soundsFolder(soundsFolder),
      m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(T::Caption);

    frmLT = named(new QGroupBox(T::LoadTimeFrame, this), "frmLT");
    chkSaveLTData = named(new QCheckBox(T::SaveLTData, frmLT), "chkSaveLTData");
    chkSaveLTPlots = named(new QCheckBox(T::SaveLTPlots, frmLT), "chkSaveLTPlots");
    auto* ltLayout = new QVBoxLayout(frmLT);
    ltLayout->addWidget(chkSaveLTData);
    ltLayout->addWidget(chkSaveLTPlots);

    frmStatic = named(new QGroupBox(T::StaticFrame, this), "frmStatic");
    txtStaticMaxHold = named(new QLineEdit(frmStatic), "txtStaticMaxHold", T::StaticMaxHoldTip);
    txtStaticMaxHold->setMaximumWidth(90);
    auto* staticLayout = new QGridLayout(frmStatic);
    staticLayout->addWidget(new QLabel(T::StaticMaxHoldLabel, frmStatic), 0, 0);
    staticLayout->addWidget(txtStaticMaxHold, 0, 1);
    staticLayout->addWidget(new QLabel(QStringLiteral("h"), frmStatic), 0, 2);

    frmLab = named(new QGroupBox(T::LabFrame, this), "frmLab");
    txtLabDatabase = named(new QLineEdit(frmLab), "txtLabDatabase", T::LabDatabaseTip);
    txtLabDatabase->setPlaceholderText(T::LabDatabasePlaceholder);
    txtLabDatabase->setMinimumWidth(320);
    lblLabDatabase = named(new QLabel(frmLab), "lblLabDatabase");
    lblLabDatabase->setWordWrap(true);
    auto* labLayout = new QVBoxLayout(frmLab);
    labLayout->addWidget(txtLabDatabase);
    labLayout->addWidget(lblLabDatabase);

    frmMisc = named(new QGroupBox(T::MiscFrame, this), "frmMisc");
    txtMaxStepRate = named(new QLineEdit(frmMisc), "txtMaxStepRate", T::MaxStepRateTip);
    txtMaxStepRate->setMaximumWidth(90);
    chkReverseSense = named(new QCheckBox(T::ReverseSense, frmMisc), "chkReverseSense", T::ReverseSenseTip);
    chkNoisy = named(new QCheckBox(T::Noisy, frmMisc), "chkNoisy", T::NoisyTip);
    cmbWaveList = named(new QComboBox(frmMisc), "cmbWaveList", T::WaveListTip);
    cmdPlay = named(new QPushButton(frmMisc), "cmdPlay", T::PlayTip);
    cmdPlay->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    cmdPlay->setAccessibleName(T::Play);
    cmdPlay->setAutoDefault(false);
    txtCleanGap = named(new QLineEdit(frmMisc), "txtCleanGap");
    lblGap = named(new QLabel(T::GapLabel, frmMisc), "lblGap");
    lblGapUnit = named(new QLabel(QStringLiteral("mm"), frmMisc), "lblGapUnit");
    auto* misc = new QGridLayout(frmMisc);
    misc->addWidget(new QLabel(T::MaxStepRateLabel, frmMisc), 0, 0);
    misc->addWidget(txtMaxStepRate, 0, 1);
    misc->addWidget(chkReverseSense, 1, 0, 1, 3);
    misc->addWidget(chkNoisy, 2, 0, 1, 3);
    misc->addWidget(new QLabel(T::WaveListLabel, frmMisc), 3, 0, 1, 3);
    misc->addWidget(cmbWaveList, 4, 0, 1, 2);
    misc->addWidget(cmdPlay, 4, 2);
    misc->addWidget(lblGap, 5, 0);
    misc->addWidget(txtCleanGap, 5, 1);
    misc->addWidget(lblGapUnit, 5, 2);

    auto* config = named(new QGroupBox(T::ConfigFrame, this), "frmConfig");
    cmdReadCfg = named(new QPushButton(T::ReadCfg, config), "cmdReadCfg", T::ReadCfgTip);
    cmdWriteCfg = named(new QPushButton(T::WriteCfg, config), "cmdWriteCfg", T::WriteCfgTip);
    cmdWriteDiffCfg = named(new QPushButton(T::WriteDiffCfg, config), "cmdWriteDiffCfg", T::WriteDiffCfgTip);
    cmdResetCfg = named(new QPushButton(T::ResetCfg, config), "cmdResetCfg", T::ResetCfgTip);
    lblConfig = named(new QLabel(config), "lblConfig");
    lblConfig->setWordWrap(true);
    auto* cfg = new QGridLayout(config);
    const std::array<std::pair<QPushButton*, QString>, 4> commands{{{cmdReadCfg, T::ReadCfgLabel},
                                                                    {cmdWriteCfg, T::WriteCfgLabel},
                                                                    {cmdWriteDiffCfg, T::WriteDiffCfgLabel},
                                                                    {cmdResetCfg, T::ResetCfgLabel}}};
    int row = 0;
    for (const auto& [button, text] : commands) {
        button->setAutoDefault(false);
        cfg->addWidget(button, row, 0);
        cfg->addWidget(new QLabel(text, config), row, 1);
        ++row;
    }
    cfg->addWidget(lblConfig, row, 0, 1, 2);

    cmdDone = named(new QPushButton(T::Done, this), "cmdDone", T::DoneTip);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdDone);

    auto* left = new QVBoxLayout;
    left->addWidget(frmLT);
    left->addWidget(frmStatic);
    left->addWidget(frmMisc);
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(config);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frmLab);
    layout->addLayout(buttons);

    connect(chkNoisy, &QCheckBox::clicked, this, [this](bool ticked) {
        m_params.Noisy = ticked;
        if (m_hooks.NoisyChanged)
            m_hooks.NoisyChanged(ticked);
    });
    connect(chkReverseSense, &QCheckBox::clicked, this,
            [this](bool ticked) { m_params.ReverseSense = ticked; });
    connect(chkSaveLTData, &QCheckBox::clicked, this,
            [this](bool ticked) { m_params.SaveLoadTimeData = ticked; });
    connect(chkSaveLTPlots, &QCheckBox::clicked, this,
            [this](bool ticked) { m_params.SaveLoadTimePlots = ticked; });
    connect(txtStaticMaxHold, &QLineEdit::editingFinished, this, [this] {
        if (!txtStaticMaxHold->isModified())
            return;
        txtStaticMaxHold->setModified(false);
        QString text = txtStaticMaxHold->text();
        // A refused value is put back as it was (the operator has been told), and the box keeps
        // the focus.
        if (m_table.profValidate(QStringLiteral("StaticMaxHold"), text)) {
            txtStaticMaxHold->setText(text);
            txtStaticMaxHold->setFocus();
            return;
        }
        txtStaticMaxHold->setText(m_table.valueText(QStringLiteral("StaticMaxHold")));
    });
    connect(txtLabDatabase, &QLineEdit::editingFinished, this, &frmOptions::labDatabaseEntered);
    connect(cmbWaveList, &QComboBox::currentIndexChanged, this, &frmOptions::waveListChosen);
    connect(cmdPlay, &QPushButton::clicked, this, [this] {
        if (m_hooks.PlayBreakSound)
            m_hooks.PlayBreakSound();
    });
    connect(cmdReadCfg, &QPushButton::clicked, this, [this] {
        m_table.ReadConfigFile(QString());
        FillOptions();
        Activated();
    });
    connect(cmdResetCfg, &QPushButton::clicked, this, [this] {
        m_table.ResetParameters();
        FillOptions();
        Activated();
    });
    connect(cmdWriteCfg, &QPushButton::clicked, this, [this] { m_table.WriteConfigFile(false); });
    connect(cmdWriteDiffCfg, &QPushButton::clicked, this, [this] { m_table.WriteConfigFile(true); });
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::accept);

    // Loading.
    FillOptions();
    lblConfig->setText(T::ConfigNote);
    txtCleanGap->hide();
    lblGap->hide();
    lblGapUnit->hide();
    Activated();
}

void frmOptions::FillOptions() {
    txtMaxStepRate->setText(QString::number(m_params.MaxStepRate));
    // The System Controller sets its own stepping limit: the box only shows the value.
    txtMaxStepRate->setEnabled(!ProductIdentity::SystemControllerLink);
    chkReverseSense->setChecked(m_params.ReverseSense);
    chkNoisy->setChecked(m_params.Noisy);
    txtStaticMaxHold->setText(m_table.valueText(QStringLiteral("StaticMaxHold")));
    txtStaticMaxHold->setModified(false);
    txtLabDatabase->setText(m_params.LabDatabase);
    txtLabDatabase->setModified(false);
    lblLabDatabase->setText(m_params.LabDatabase.trimmed().isEmpty() ? T::LabDatabaseNone
                                                                     : T::LabDatabaseSet);
    if (isVisible())
        cmdDone->setFocus();
}

void frmOptions::Activated() {
    const QScopedValueRollback filling(m_filling, true);
    frmLT->setVisible(true);
    chkSaveLTData->setChecked(m_params.SaveLoadTimeData);
    chkSaveLTPlots->setChecked(m_params.SaveLoadTimePlots);
    m_entries = SoundList::Entries(m_soundsFolder);
    const QSignalBlocker quiet(cmbWaveList);
    cmbWaveList->clear();
    cmbWaveList->addItems(m_entries);
    const int index = SoundList::SelectedIndex(m_entries, m_params.BreakSound);
    if (index == 0)
        m_params.BreakSound = T::Beep;
    cmbWaveList->setCurrentIndex(index);
}

void frmOptions::labDatabaseEntered() {
    if (!txtLabDatabase->isModified())
        return;
    txtLabDatabase->setModified(false);
    const QString text = txtLabDatabase->text().trimmed();
    if (text == m_params.LabDatabase)
        return;
    // An address that cannot work (a password in it, a typing error) is refused where it is typed;
    // the previous one stays in force.
    const QString why =
        text.isEmpty() || !m_hooks.CheckLabDatabase ? QString() : m_hooks.CheckLabDatabase(text);
    if (!why.isEmpty()) {
        lblLabDatabase->setText(why);
        txtLabDatabase->setFocus();
        return;
    }
    m_params.LabDatabase = text;
    lblLabDatabase->setText(text.isEmpty() ? T::LabDatabaseNone : T::LabDatabaseSet);
    if (m_hooks.LabDatabaseChanged)
        m_hooks.LabDatabaseChanged();
}

void frmOptions::waveListChosen(int index) {
    if (m_filling)
        return;
    // A name the settings could not give back is refused here, with the reason, and the list
    // shows the sound in use again.
    QString name = SoundList::BreakSoundFor(m_entries, index);
    if (m_table.profValidate(QStringLiteral("BreakSound"), name)) {
        const QSignalBlocker quiet(cmbWaveList);
        cmbWaveList->setCurrentIndex(SoundList::SelectedIndex(m_entries, m_params.BreakSound));
    }
}

void frmOptions::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Activated();
    QDialog::changeEvent(event);
}

void frmOptions::done(int result) {
    // A repeating break sound started by Play ends with the window.
    if (m_hooks.StopBreakSound)
        m_hooks.StopBreakSound();
    QDialog::done(result);
}
