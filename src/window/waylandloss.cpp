#include "waylandloss.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QString>
#include <QThread>

#include <memory>

#include "lastchance.h"

namespace {

QtMessageHandler previousHandler = nullptr;
// Longer than a restore takes; a main thread that never answers is not waited
// for beyond it.
constexpr int kMainThreadWaitMs = 4000;

bool isWaylandLoss(const QString& message)
{
    // Qt 6.4's two texts: a compositor that is gone, and any other fatal error.
    return message.startsWith(QLatin1String("The Wayland connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

// The restore talks to the guard through objects of the main thread and
// waits in its event loop; Qt may meet the broken connection first on its
// own reading thread, whose ending must then wait for the main thread's.
void restoreOnMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        lastChanceNow();
        return;
    }
    const auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(app, [done] {
        lastChanceNow();
        done->release();
    }, Qt::QueuedConnection);
    if (!done->tryAcquire(1, kMainThreadWaitMs))
        lastChanceNow();
}

void restoreOnWaylandLoss(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (isWaylandLoss(message))
        restoreOnMainThread();
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
