#include "results/frmExport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmExport::frmExport(DatasheetCommands& commands, std::function<GridBlock()> selection, QWidget* parent)
    : QDialog(parent), m_commands(commands), m_selection(std::move(selection)) {
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(QStringLiteral("EXPORT DATA"));
    setModal(true);

    auto* source = new QGroupBox(QStringLiteral("Data Source"), this);
    auto* sourceLayout = new QVBoxLayout(source);
    const std::array<QString, 3> sources{QStringLiteral("Whole datasheet"),
                                         QStringLiteral("Visible datasheet columns"),
                                         QStringLiteral("Selected datasheet cells")};
    for (int i = 0; i < 3; ++i) {
        optSource[size_t(i)] = new QRadioButton(sources[size_t(i)], source);
        optSource[size_t(i)]->setObjectName(QStringLiteral("optSource%1").arg(i));
        sourceLayout->addWidget(optSource[size_t(i)]);
    }
    optSource[0]->setChecked(true);

    auto* destination = new QGroupBox(QStringLiteral("Data Destination"), this);
    auto* destinationLayout = new QVBoxLayout(destination);
    const std::array<QString, 2> destinations{QStringLiteral("File (comma  delimited, .csv)"),
                                              QStringLiteral("Clipboard (tab delimited)")};
    for (int i = 0; i < 2; ++i) {
        optDestination[size_t(i)] = new QRadioButton(destinations[size_t(i)], destination);
        optDestination[size_t(i)]->setObjectName(QStringLiteral("optDestination%1").arg(i));
        destinationLayout->addWidget(optDestination[size_t(i)]);
    }
    optDestination[0]->setChecked(true);

    fraStyle = new QGroupBox(QStringLiteral("File Style"), this);
    fraStyle->setObjectName(QStringLiteral("fraStyle"));
    auto* styleLayout = new QVBoxLayout(fraStyle);
    const std::array<QString, 2> styles{
        QStringLiteral("As in the datasheet"),
        QStringLiteral("For analysis programs: UTF-8, units in the column names, ISO dates, "
                       "operator and sample in columns of their own, every column")};
    for (int i = 0; i < 2; ++i) {
        optStyle[size_t(i)] = new QRadioButton(styles[size_t(i)], fraStyle);
        optStyle[size_t(i)]->setObjectName(QStringLiteral("optStyle%1").arg(i));
        styleLayout->addWidget(optStyle[size_t(i)]);
    }
    optStyle[0]->setChecked(true);
    fraStyle->hide();
    // The style is a file's: the clipboard always gets the datasheet's text.
    connect(optDestination[0], &QRadioButton::toggled, fraStyle, &QWidget::setEnabled);
    connect(optStyle[1], &QRadioButton::toggled, this, [this](bool analysis) {
        // The analysis file always names its columns.
        chkIncHeaders->setEnabled(!analysis || !optDestination[0]->isChecked());
    });
    connect(optDestination[0], &QRadioButton::toggled, this,
            [this](bool file) { chkIncHeaders->setEnabled(!file || !optStyle[1]->isChecked()); });

    chkIncHeaders = new QCheckBox(QStringLiteral("Include column names"), this);
    chkIncHeaders->setObjectName(QStringLiteral("chkIncHeaders"));
    auto* note =
        new QLabel(QStringLiteral("Choose the data to export and where they go. A file is written as "
                                  "comma separated values; the clipboard gets tab separated text "
                                  "for pasting into other programs."),
                   this);
    note->setWordWrap(true);

    auto* cmdGo = new QPushButton(QStringLiteral("Go"), this);
    cmdGo->setObjectName(QStringLiteral("cmdGo"));
    auto* cmdDone = new QPushButton(QStringLiteral("Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    connect(cmdGo, &QPushButton::clicked, this, &frmExport::go);
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::hide);

    auto* groups = new QHBoxLayout;
    groups->addWidget(source);
    groups->addWidget(destination);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdGo);
    buttons->addWidget(cmdDone);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(fraStyle);
    layout->addWidget(chkIncHeaders);
    layout->addWidget(note);
    layout->addLayout(buttons);
}

void frmExport::chooseRescue() {
    optSource[0]->setChecked(true);
    optDestination[0]->setChecked(true);
    optStyle[0]->setChecked(true);
    chkIncHeaders->setChecked(true);
}

void frmExport::setAnalysisExport(AnalysisWriter write) {
    m_analysis = std::move(write);
    fraStyle->setVisible(bool(m_analysis));
}

void frmExport::go() {
    DatasheetCommands::Kind kind = DatasheetCommands::Kind::Whole;
    if (optSource[1]->isChecked())
        kind = DatasheetCommands::Kind::Visible;
    else if (optSource[2]->isChecked())
        kind = DatasheetCommands::Kind::Selection;
    const QString delimiter = optDestination[1]->isChecked() ? QStringLiteral("\t") : QStringLiteral(",");
    const GridBlock block = m_selection ? m_selection() : GridBlock();
    if (m_analysis && optDestination[0]->isChecked() && optStyle[1]->isChecked()) {
        m_analysis(kind, block);
        hide();
        return;
    }
    m_commands.ExportDatasheet(kind, delimiter, chkIncHeaders->isChecked(), false, true, block);
    hide();
}
