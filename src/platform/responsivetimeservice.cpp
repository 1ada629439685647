#include "responsivetimeservice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

ResponsiveTimeService::ResponsiveTimeService(std::unique_ptr<TimeService> inner)
    : inner_(std::move(inner))
{
}

bool ResponsiveTimeService::available()
{
    bool result = false;
    runAside([&] { result = inner_->available(); });
    return result;
}

SyncState ResponsiveTimeService::syncState()
{
    SyncState result = SyncState::None;
    runAside([&] { result = inner_->syncState(); });
    return result;
}

AppError ResponsiveTimeService::setSync(bool on, bool interactive)
{
    AppError result;
    runAside([&] { result = inner_->setSync(on, interactive); });
    return result;
}

AppError ResponsiveTimeService::shiftClock(std::int64_t deltaUs, bool interactive)
{
    AppError result;
    runAside([&] { result = inner_->shiftClock(deltaUs, interactive); });
    return result;
}

void ResponsiveTimeService::runAside(const std::function<void()>& call)
{
    if (QCoreApplication::instance() == nullptr) {
        call();
        return;
    }
    std::unique_ptr<QThread> worker(QThread::create(call));
    QEventLoop loop;
    // Queued to this thread: it arrives once the loop runs, however fast the call.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Once the application quits, its loops no longer run: the rest of the
    // call is waited for without painting.
    worker->wait();
}
