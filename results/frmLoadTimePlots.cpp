#include "results/frmLoadTimePlots.h"

#include "base/Operator.h"
#include "base/Twips.h"
#include "params/Cp1252.h"
#include "params/Parameters.h"
#include "params/WindowPlacement.h"
#include "results/ChartControl.h"
#include "results/PlotTexts.h"
#include "results/SafeReplace.h"
#include "results/ScreenCapture.h"
#include "results/TitleFit.h"
#include "results/frmBigPlot.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <cmath>

frmLoadTimePlots::frmLoadTimePlots(Parameters& params, Operator& op, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_params(params), m_op(op), m_store(store) {
    setObjectName(QStringLiteral("frmLoadTimePlots"));
    setWindowTitle(PlotTexts::LoadTimeCaption);
    setModal(true);
    setSizeGripEnabled(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(twipsToPixels(MinWidthTwips), twipsToPixels(MinHeightTwips));

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setAlignment(Qt::AlignCenter);
    // A sample name is text, whatever it looks like.
    lblTitle->setTextFormat(Qt::PlainText);
    {
        QFont bold = lblTitle->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.15);
        lblTitle->setFont(bold);
        m_titleFont = bold;
    }
    for (size_t i = 0; i < MSChart.size(); ++i) {
        lblCaption[i] = new QLabel(this);
        lblCaption[i]->setObjectName(QStringLiteral("lblCaption%1").arg(i));
        lblCaption[i]->setAlignment(Qt::AlignCenter);
        QFont bold = lblCaption[i]->font();
        bold.setBold(true);
        lblCaption[i]->setFont(bold);
        MSChart[i] = new ChartControl(this);
        MSChart[i]->setObjectName(QStringLiteral("MSChart%1").arg(i));
        connect(MSChart[i], &ChartControl::doubleClicked, this, [this, i] { showBig(int(i)); });
    }
    Label6 = new QLabel(PlotTexts::DoubleClickHint, this);
    Label6->setObjectName(QStringLiteral("Label6"));
    cmdDots = new QPushButton(PlotTexts::Dots, this);
    cmdDots->setObjectName(QStringLiteral("cmdDots"));
    cmdCopy = new QPushButton(PlotTexts::CopyData, this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdClose = new QPushButton(PlotTexts::Close, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdDots, &QPushButton::clicked, this, &frmLoadTimePlots::cmdDots_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmLoadTimePlots::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmLoadTimePlots::cmdClose_Click);

    m_big = new frmBigPlot(m_op, m_store, this);
    m_dots = m_params.PlotsShowDots;
    resize(twipsToPixels(MinWidthTwips), twipsToPixels(MinHeightTwips));
    RestoreWindowPlacement(m_store, *this);
    layOut();
    applyDots();
}

frmLoadTimePlots::~frmLoadTimePlots() {
    SaveWindowPlacement(m_store, *this);
}

void frmLoadTimePlots::Show(const LoadTimePlotData& data) {
    m_data = data;
    m_hasData = true;
    // The record goes to the disc with the row, not when the window closes: whatever happens while
    // the operator looks at the plots, the curve is kept. The picture follows on closing.
    m_dataFileWritten = false;
    if (!m_data.basePath.isEmpty() && m_params.SaveLoadTimeData)
        m_dataFileWritten = !writeDataFile();
    for (size_t i = 0; i < MSChart.size(); ++i) {
        MSChart[i]->setData(data.charts[i]);
        lblCaption[i]->setText(data.captions[i]);
    }
    showTitle(data.title);
    Review();
}

void frmLoadTimePlots::ShowPast(const LoadTimePlotData& data) {
    const LoadTimePlotData last = m_data;
    const bool hadData = m_hasData;
    LoadTimePlotData past = data;
    past.basePath.clear();
    Show(past);
    m_data = last;
    m_hasData = hadData;
    if (hadData) {
        for (size_t i = 0; i < MSChart.size(); ++i) {
            MSChart[i]->setData(m_data.charts[i]);
            lblCaption[i]->setText(m_data.captions[i]);
        }
        showTitle(m_data.title);
    }
}

void frmLoadTimePlots::showTitle(const QString& title) {
    m_title = title;
    fitTitle(width());
    setWindowTitle(title.isEmpty() ? PlotTexts::LoadTimeCaption
                                   : PlotTexts::LoadTimeCaption + QStringLiteral(" \u2014 ") + title);
}

void frmLoadTimePlots::Review() {
    layOut();
    applyDots();
    cmdClose->setFocus();
    exec();
}

void frmLoadTimePlots::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        emit activated();
        layOut();
        cmdClose->setFocus();
    }
}

void frmLoadTimePlots::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

void frmLoadTimePlots::closeEvent(QCloseEvent* event) {
    // The title bar's close does what the close button does: save, then hide.
    event->ignore();
    cmdClose_Click();
}

void frmLoadTimePlots::reject() {
    cmdClose_Click();
}

void frmLoadTimePlots::layOut() {
    const int w = qMax(width(), twipsToPixels(MinWidthTwips));
    const int h = qMax(height(), twipsToPixels(MinHeightTwips));
    const int gap = twipsToPixels(90);
    const int chartWidth = (w - twipsToPixels(360)) / 3;
    const int captionHeight = twipsToPixels(300);
    // The row's title above the captions, inside the picture, whole; the charts give up its height.
    fitTitle(w - 2 * gap);
    const int titleHeight = lblTitle->sizeHint().height();
    lblTitle->setGeometry(gap, gap, w - 2 * gap, titleHeight);
    const int chartHeight = h - twipsToPixels(1860) - titleHeight;
    const int captionTop = gap + titleHeight;
    const int top = captionTop + captionHeight;
    for (size_t i = 0; i < MSChart.size(); ++i) {
        const int x = gap + int(i) * (chartWidth + gap);
        lblCaption[i]->setGeometry(x, captionTop, chartWidth, captionHeight);
        MSChart[i]->setGeometry(x, top, chartWidth, chartHeight);
    }
    const int hintTop = top + chartHeight + gap;
    Label6->setGeometry(gap, hintTop, w - 2 * gap, Label6->sizeHint().height());
    const int buttonTop = hintTop + Label6->sizeHint().height() + gap;
    int x = w - gap;
    for (QPushButton* b : {cmdClose, cmdCopy, cmdDots}) {
        const QSize size = b->sizeHint().expandedTo(QSize(twipsToPixels(1500), 0));
        x -= size.width();
        b->setGeometry(x, buttonTop, size.width(), size.height());
        x -= gap;
    }
}

void frmLoadTimePlots::fitTitle(int width) {
    // A little room to spare: the label's own margins and the glyphs' rounding.
    const FittedTitle fit = TitleFit::Fit(m_title, m_titleFont, width - 8);
    lblTitle->setFont(fit.font);
    lblTitle->setText(fit.text());
}

void frmLoadTimePlots::applyDots() {
    for (ChartControl* chart : MSChart) {
        for (CurveStyle& style : chart->data().styles) {
            style.showMarkers = m_dots;
            style.showLine = !m_dots;
            style.markerSize = 5;
        }
        chart->refresh();
    }
}

void frmLoadTimePlots::cmdDots_Click() {
    m_dots = !m_dots;
    applyDots();
}

void frmLoadTimePlots::cmdCopy_Click() {
    QApplication::clipboard()->setText(LT_Data_String());
    m_op.msgBox(PlotTexts::DataInClipboard, MsgStyle::Information, PlotTexts::DataInClipboardTitle);
}

QImage frmLoadTimePlots::ChartsPicture() {
    return CaptureWindow(*this, true, 0, 0, width(), Label6->y());
}

void frmLoadTimePlots::cmdClose_Click() {
    if (m_hasData && !m_data.basePath.isEmpty() && !writeRecordFiles())
        return;
    SaveWindowPlacement(m_store, *this);
    hide();
}

bool frmLoadTimePlots::writeRecordFiles() {
    QStringList failures;
    auto note = [&failures](const QString& path, const std::optional<FileFault>& fault) {
        if (fault)
            failures << path + QStringLiteral(": ") + fault->description;
    };
    if (m_params.SaveLoadTimeData && !m_dataFileWritten) {
        const std::optional<FileFault> fault = writeDataFile();
        m_dataFileWritten = !fault;
        note(m_data.basePath + QStringLiteral(".dat"), fault);
    }
    if (m_params.SaveLoadTimePlots) {
        const QString path = m_data.basePath + QStringLiteral(".jpg");
        note(path, PictureBoxToFile(ChartsPicture(), path, PlotTexts::PictureQuality));
    }
    if (failures.isEmpty())
        return true;
    // The record exists nowhere else once the window is gone: the operator decides.
    return m_op.msgBox(PlotTexts::RecordNotWritten(failures.join(QLatin1Char('\r'))),
                       MsgStyle::YesNo + MsgStyle::Exclamation,
                       PlotTexts::RecordNotWrittenTitle) == MsgResult::Yes;
}

std::optional<FileFault> frmLoadTimePlots::writeDataFile() {
    const QString path = m_data.basePath + QStringLiteral(".dat");
    return SafeReplace::WriteWhole(path, Cp1252::encode(LT_Data_String() + QStringLiteral("\r\n")));
}

QString frmLoadTimePlots::LT_Data_String() const {
    const QString& text = m_data.dataText;
    // The titles, then per sample six numbers separated by tabs; blank lines set off the rate fit.
    qsizetype start = text.indexOf(QLatin1Char('\n'));
    QString fault;
    if (text.trimmed().isEmpty() || start < 0)
        fault = PlotTexts::DataStringError(9, PlotTexts::NoSamples);
    int line = 0;
    while (fault.isEmpty() && start >= 0 && start + 1 < text.size()) {
        const qsizetype from = start + 1;
        qsizetype end = text.indexOf(QLatin1Char('\n'), from);
        const QStringView sample =
            QStringView(text).mid(from, (end < 0 ? text.size() : end) - from).trimmed();
        ++line;
        if (!sample.isEmpty()) {
            const auto fields = sample.split(QLatin1Char('\t'));
            bool numbers = fields.size() == 6;
            for (qsizetype i = 0; numbers && i < fields.size(); ++i) {
                bool ok = false;
                const double value = fields[i].toDouble(&ok);
                numbers = ok && std::isfinite(value);
            }
            if (!numbers) {
                fault = PlotTexts::DataStringError(13, PlotTexts::NotANumber(line));
                // What was built up to that sample is written.
                m_op.msgBox(fault, MsgStyle::Critical, PlotTexts::SoftwareErrorTitle);
                return text.left(from);
            }
        }
        start = end;
    }
    if (!fault.isEmpty())
        m_op.msgBox(fault, MsgStyle::Critical, PlotTexts::SoftwareErrorTitle);
    return text;
}

void frmLoadTimePlots::showBig(int index) {
    cmdClose->setFocus();
    const QString caption = lblCaption[size_t(index)]->text();
    m_big->Show(*MSChart[size_t(index)],
                m_title.isEmpty() ? caption : caption + QStringLiteral(" \u2014 ") + m_title);
    cmdClose->setFocus();
}
