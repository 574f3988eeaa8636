#include "app/HelpKey.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QWidget>

HelpKey::HelpKey(Open open, QObject* parent) : QObject(parent), m_open(std::move(open)) {}

QString HelpKey::TopicFor(const QWidget* window) {
    static const QHash<QString, QString> topics{
        {QStringLiteral("frmOptions"), QStringLiteral("options")},
        {QStringLiteral("frmPreloadSpeed"), QStringLiteral("preload")},
        {QStringLiteral("frmHardware"), QStringLiteral("hardware")},
        {QStringLiteral("Calculator"), QStringLiteral("calculator")},
        {QStringLiteral("frmLoadCalibrateMain"), QStringLiteral("calibration")},
        {QStringLiteral("frmLoadCalibrate"), QStringLiteral("calibration")},
        {QStringLiteral("zero"), QStringLiteral("zero")},
        {QStringLiteral("frmMoving"), QStringLiteral("moving")},
        {QStringLiteral("frmWait"), QStringLiteral("breaktest")},
        {QStringLiteral("frmBigPlot"), QStringLiteral("plots")},
        {QStringLiteral("frmAbout"), QStringLiteral("help")},
        {QStringLiteral("frmInstrumentPanel"), QStringLiteral("simulator")},
        {QStringLiteral("frmResultsStore"), QStringLiteral("resultsstore")},
        {QStringLiteral("frmAuditTrail"), QStringLiteral("audittrail")},
        {QStringLiteral("frmStatistics"), QStringLiteral("statistics")},
        {QStringLiteral("frmLoadTimePlots"), QStringLiteral("plots")},
        {QStringLiteral("frmExport"), QStringLiteral("export")},
        {QStringLiteral("frmCopySpecial"), QStringLiteral("export")},
        {QStringLiteral("frmShowLongString"), QStringLiteral("help")},
        {QStringLiteral("MyMsgBox"), QStringLiteral("messages")},
    };
    for (const QWidget* w = window; w != nullptr; w = w->parentWidget()) {
        const auto found = topics.constFind(w->window()->objectName());
        if (found != topics.constEnd())
            return *found;
        w = w->window();
    }
    return {};
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window()->objectName() != QLatin1String("frmHelp")) {
            m_open(TopicFor(widget->window()));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
