#include "store/frmAuditTrail.h"

#include "store/StoreTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QStringList TrailColumns{
    QStringLiteral("Time (UTC)"), QStringLiteral("What"),    QStringLiteral("Data file"),
    QStringLiteral("Row"),        QStringLiteral("Account"), QStringLiteral("Operator"),
    QStringLiteral("Before"),     QStringLiteral("After"),   QStringLiteral("Reason")};
// A whole data line in a cell is unreadable: the cell shows its start, the tip the whole.
constexpr int CellChars = 80;
} // namespace

frmAuditTrail::frmAuditTrail(const QString& storePath, QWidget* parent)
    : QDialog(parent), m_storePath(storePath) {
    setObjectName(QStringLiteral("frmAuditTrail"));
    setWindowTitle(StoreTexts::TrailTitle);
    setSizeGripEnabled(true);
    cboScope = new QComboBox(this);
    cboScope->setObjectName(QStringLiteral("cboScope"));
    grdTrail = new QTableWidget(this);
    grdTrail->setObjectName(QStringLiteral("grdTrail"));
    grdTrail->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdTrail->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTrail->verticalHeader()->hide();
    grdTrail->verticalHeader()->setDefaultSectionSize(grdTrail->fontMetrics().height() + 6);
    grdTrail->setWordWrap(false);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblStatus->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(cboScope, &QComboBox::currentIndexChanged, this,
            [this] { Read(AuditTrail::Scope(cboScope->currentData().toInt())); });

    auto* top = new QHBoxLayout;
    auto* show = new QLabel(QStringLiteral("&Show"), this);
    show->setBuddy(cboScope);
    top->addWidget(show);
    top->addWidget(cboScope, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grdTrail, 1);
    layout->addLayout(bottom);
    resize(1100, 560);

    if (!QFileInfo::exists(storePath))
        lblStatus->setText(QStringLiteral("No results store yet at ") + QDir::toNativeSeparators(storePath));
    else if (!m_db.open(storePath))
        lblStatus->setText(QStringLiteral("The results store cannot be read: ") + m_db.error());
}

void frmAuditTrail::Show(const QString& dataFile, int row) {
    using AuditTrail::Scope;
    m_dataFile = dataFile.isEmpty() ? QString() : AuditTrail::FileKey(dataFile);
    m_row = row;
    const QString name = QFileInfo(m_dataFile).fileName();
    const QSignalBlocker block(cboScope);
    cboScope->clear();
    if (!m_dataFile.isEmpty() && row > 0)
        cboScope->addItem(QStringLiteral("Row %1 of %2").arg(row).arg(name), int(Scope::Row));
    if (!m_dataFile.isEmpty())
        cboScope->addItem(QStringLiteral("The data file %1").arg(name), int(Scope::DataFile));
    cboScope->addItem(QStringLiteral("Option and calibration changes"), int(Scope::Settings));
    cboScope->addItem(QStringLiteral("The whole trail"), int(Scope::Whole));
    cboScope->setCurrentIndex(0);
    Read(Scope(cboScope->currentData().toInt()));
}

int frmAuditTrail::Read(AuditTrail::Scope scope) {
    grdTrail->clear();
    grdTrail->setRowCount(0);
    grdTrail->setColumnCount(int(TrailColumns.size()));
    grdTrail->setHorizontalHeaderLabels(TrailColumns);
    if (!m_db.isOpen())
        return -1;
    QString error;
    const std::optional<QList<AuditEvent>> events = AuditTrail::Read(m_db, scope, m_dataFile, m_row, &error);
    if (!events) {
        lblStatus->setText(QStringLiteral("The results store cannot be read: ") + error);
        return -1;
    }
    // A trail of years is long: the latest entries are listed, and the line below says so.
    const int first = int(qMax<qsizetype>(0, events->size() - MaxRows));
    grdTrail->setRowCount(int(events->size()) - first);
    for (int r = 0; r < grdTrail->rowCount(); ++r) {
        const AuditEvent& e = (*events)[first + r];
        const QStringList cells{AuditTrail::Time(e),
                                e.kind,
                                QFileInfo(e.dataFile).fileName(),
                                e.rowNumber > 0 ? QString::number(e.rowNumber) : QString(),
                                e.systemUser,
                                e.operatorName,
                                e.before,
                                e.after,
                                AuditTrail::Reason(e)};
        for (int c = 0; c < cells.size(); ++c) {
            const QString& text = cells[c];
            auto* item = new QTableWidgetItem(
                text.size() > CellChars ? text.left(CellChars - 3) + QStringLiteral("...") : text);
            // The whole value and, on the file's cell, the whole path.
            const QString tip = c == 2 ? QDir::toNativeSeparators(e.dataFile) : text;
            if (!tip.isEmpty() && (c == 2 || text.size() > CellChars))
                item->setToolTip(tip);
            if (c == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdTrail->setItem(r, c, item);
        }
    }
    grdTrail->resizeColumnsToContents();
    lblStatus->setText(
        QStringLiteral("%1 %2%3. Results store: %4")
            .arg(events->size())
            .arg(events->size() == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
            .arg(first > 0 ? QStringLiteral(" (the latest %1 listed)").arg(MaxRows) : QString())
            .arg(QDir::toNativeSeparators(m_storePath)));
    // The latest entry is what one usually looks for.
    if (!events->isEmpty())
        grdTrail->scrollToBottom();
    return int(events->size());
}
