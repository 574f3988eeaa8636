#include "results/frmCopySpecial.h"

#include "params/Parameters.h"
#include "results/DataLine.h"
#include "results/DatasheetCommands.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmCopySpecial::frmCopySpecial(DatasheetCommands& commands, Parameters& params, int first, int last,
                               int& rowChoice, QWidget* parent)
    : QDialog(parent), m_commands(commands), m_first(qMin(first, last)), m_last(qMax(first, last)),
      m_rowChoice(rowChoice) {
    setObjectName(QStringLiteral("frmCopySpecial"));
    setWindowTitle(QStringLiteral("COPY DATA SPECIAL"));
    setModal(true);

    auto* explanation = new QLabel(
        QStringLiteral("Copies the chosen columns of the datasheet, in the order given below, to the "
                       "clipboard for pasting into other applications such as data-analysis "
                       "programs: either all rows or the range of rows selected in the main data "
                       "table."),
        this);
    explanation->setObjectName(QStringLiteral("lblExplanation"));
    explanation->setWordWrap(true);

    auto* rows = new QGroupBox(QStringLiteral("Select Output Rows"), this);
    auto* rowsLayout = new QVBoxLayout(rows);
    optRows[0] = new QRadioButton(QStringLiteral("Copy all rows"), rows);
    QString selected;
    if (m_first < 0)
        selected = QStringLiteral("(no rows selected)");
    else if (m_first == m_last)
        selected = QStringLiteral("Copy selected columns from row %1 only").arg(m_first + 1);
    else
        selected =
            QStringLiteral("Copy selected columns from rows %1 to %2").arg(m_first + 1).arg(m_last + 1);
    optRows[1] = new QRadioButton(selected, rows);
    optRows[1]->setEnabled(m_first >= 0);
    for (int i = 0; i < 2; ++i) {
        optRows[size_t(i)]->setObjectName(QStringLiteral("optRows%1").arg(i));
        rowsLayout->addWidget(optRows[size_t(i)]);
    }
    if (m_rowChoice == 1 && m_first < 0)
        m_rowChoice = 0;
    optRows[size_t(qBound(0, m_rowChoice, 1))]->setChecked(true);

    auto* columns = new QGroupBox(QStringLiteral("Select Output Columns"), this);
    auto* columnsLayout = new QGridLayout(columns);
    QStringList choices{QStringLiteral("[nothing]")};
    for (int c = 1; c < DataLine::Columns; ++c)
        choices.append(DataLine::Titles()[size_t(c)]);
    const std::array<int, 5> stored{params.CopySpecialColumn1, params.CopySpecialColumn2,
                                    params.CopySpecialColumn3, params.CopySpecialColumn4,
                                    params.CopySpecialColumn5};
    for (int i = 0; i < 5; ++i) {
        auto* box = new QComboBox(columns);
        box->setObjectName(QStringLiteral("comDataColumn%1").arg(i));
        box->addItems(choices);
        box->setCurrentIndex(qBound(0, stored[size_t(i)], DataLine::Columns - 1));
        comDataColumn[size_t(i)] = box;
        columnsLayout->addWidget(new QLabel(QString::number(i + 1), columns), i, 0);
        columnsLayout->addWidget(box, i, 1);
    }

    auto* cmdCopy = new QPushButton(QStringLiteral("C&opy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    auto* cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdCopy, &QPushButton::clicked, this, &frmCopySpecial::copy);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCopySpecial::cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(rows);
    layout->addWidget(columns);
    layout->addLayout(buttons);
}

void frmCopySpecial::copy() {
    std::array<int, 5> chosen{};
    for (int i = 0; i < 5; ++i)
        chosen[size_t(i)] = comDataColumn[size_t(i)]->currentIndex();
    const bool all = optRows[0]->isChecked() || m_first < 0;
    if (!m_commands.CopySpecial(chosen, all, m_first, m_last))
        return;
    m_rowChoice = optRows[1]->isChecked() ? 1 : 0;
    accept();
}

void frmCopySpecial::cancel() {
    m_rowChoice = optRows[1]->isChecked() ? 1 : 0;
    reject();
}
