#include "store/LabStatus.h"

#include "store/LabTexts.h"

QString LabStatus::text() const {
    if (waiting == 0 && error.fault == LabFault::None)
        return LabTexts::StatusUpToDate;
    // A store that cannot be read cannot be counted: never "0 waiting" while results may wait.
    if (waiting < 0 || error.fault == LabFault::StoreUnreadable)
        return LabTexts::StatusStoreUnreadable.arg(error.message);
    QString out = waiting == 1 ? LabTexts::StatusWaitingOne : LabTexts::StatusWaiting.arg(waiting);
    const QString when = since.toString(QStringLiteral("HH:mm"));
    if (error.fault == LabFault::Unreachable)
        out += LabTexts::StatusUnreachableSince.arg(when);
    else if (error.fault == LabFault::Diverged)
        out += LabTexts::StatusHeldSince.arg(when, error.message);
    else if (error.fault != LabFault::None)
        out += LabTexts::StatusRefusedSince.arg(when, error.message);
    return out;
}

QString LabStatus::exitText() const {
    if (waiting <= 0)
        return QString();
    return waiting == 1 ? LabTexts::WaitingAtExitOne : LabTexts::WaitingAtExit.arg(waiting);
}
