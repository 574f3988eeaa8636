#include "params/frmPreloadSpeed.h"

#include "params/OptionsTexts.h"
#include "params/ParameterTable.h"
#include "params/Parameters.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace T = OptionsTexts;

QString frmPreloadSpeed::MaximumCaption(const Parameters& params) {
    // Rounded to the nearest whole number, halves to the even one.
    const double fastest = std::nearbyint(double(params.MaxStepRate) * params.MicronsPerStep);
    return T::PreloadMaximum + QString::number(qint64(fastest)) + T::MicronsPerSecond;
}

frmPreloadSpeed::frmPreloadSpeed(Parameters& params, ParameterTable& table, QWidget* parent)
    : QDialog(parent), m_params(params), m_table(table) {
    setObjectName(QStringLiteral("frmPreloadSpeed"));
    setWindowTitle(T::PreloadCaption);

    lblTitle = new QLabel(T::PreloadTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);

    m_group = new QButtonGroup(this);
    const std::array<QString, 3> captions{MaximumCaption(params), T::PreloadNominal, T::PreloadUser};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        optMode[size_t(i)] = new QRadioButton(captions[size_t(i)], this);
        optMode[size_t(i)]->setObjectName(QStringLiteral("optMode%1").arg(i));
        m_group->addButton(optMode[size_t(i)], i);
        connect(optMode[size_t(i)], &QRadioButton::clicked, this, [this, i] { optModeClick(i); });
        grid->addWidget(optMode[size_t(i)], i, 0);
    }
    txtSpeed = new QLineEdit(this);
    txtSpeed->setObjectName(QStringLiteral("txtSpeed"));
    txtSpeed->setMaximumWidth(90);
    txtSpeed->installEventFilter(this);
    grid->addWidget(txtSpeed, 2, 1);
    grid->addWidget(new QLabel(T::PreloadUnit, this), 2, 2);

    lblDescription = new QLabel(T::PreloadDescription, this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    cmdOK = new QPushButton(T::OK, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addLayout(grid);
    layout->addWidget(lblDescription);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    txtSpeed->setText(m_table.valueText(QStringLiteral("PreloadUserSpeed")));
    txtSpeed->setModified(false);
    optModeClick(qBound(0, int(m_params.PreloadSpeedMode), 2));
}

void frmPreloadSpeed::optModeClick(int index) {
    {
        const QSignalBlocker quiet(m_group);
        optMode[size_t(index)]->setChecked(true);
    }
    m_params.PreloadSpeedMode = index;
    const bool enabled = SpeedBoxEnabled(index);
    txtSpeed->setEnabled(enabled);
    QPalette p = txtSpeed->palette();
    p.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
    txtSpeed->setPalette(p);
}

bool frmPreloadSpeed::validateSpeed() {
    txtSpeed->setModified(false);
    QString text = txtSpeed->text();
    if (!m_table.profValidate(QStringLiteral("PreloadUserSpeed"), text))
        return true;
    txtSpeed->setText(text);
    return false;
}

bool frmPreloadSpeed::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtSpeed && event->type() == QEvent::FocusOut && txtSpeed->isModified()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !validateSpeed())
            QTimer::singleShot(0, this, [this] {
                txtSpeed->setFocus();
                txtSpeed->selectAll();
            });
    }
    return QDialog::eventFilter(watched, event);
}

void frmPreloadSpeed::done(int result) {
    // A speed typed and closed with Enter is checked too; a refused one keeps the window open.
    if (txtSpeed->isModified() && !validateSpeed()) {
        txtSpeed->setFocus();
        return;
    }
    QDialog::done(result);
}
