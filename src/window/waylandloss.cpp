#include "waylandloss.h"

#include <QString>

#include "lastchance.h"

namespace {

QtMessageHandler previousHandler = nullptr;

bool isWaylandLoss(const QString& message)
{
    // Qt 6.4's two texts: a compositor that is gone, and any other fatal error.
    return message.startsWith(QLatin1String("The Wayland connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void restoreOnWaylandLoss(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (isWaylandLoss(message))
        lastChanceNow();
    if (previousHandler)
        previousHandler(type, context, message);
}

}  // namespace

WaylandLossRestore::WaylandLossRestore()
{
    previousHandler = previous_ = qInstallMessageHandler(restoreOnWaylandLoss);
}

WaylandLossRestore::~WaylandLossRestore()
{
    qInstallMessageHandler(previous_);
    previousHandler = nullptr;
}
