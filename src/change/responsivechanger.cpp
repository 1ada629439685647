#include "responsivechanger.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

ResponsiveChanger::ResponsiveChanger(std::unique_ptr<DateChanger> inner) : inner_(std::move(inner)) {}

SyncState ResponsiveChanger::syncState()
{
    SyncState result = SyncState::None;
    runAside([&] {
        const std::lock_guard<std::mutex> lock(calls_);
        result = inner_->syncState();
        return AppError::none();
    });
    return result;
}

// A request that cannot prompt is answered within seconds, and comes from an
// end that must not run the event loop again (a lost display would end the
// process from inside it): it is made here.
AppError ResponsiveChanger::setSync(bool on, bool interactive)
{
    const auto call = [&] { return serial([&] { return inner_->setSync(on, interactive); }); };
    return interactive ? runAside(call) : call();
}

AppError ResponsiveChanger::setDate(const CivilDate& date, bool interactive)
{
    const auto call = [&] { return serial([&] { return inner_->setDate(date, interactive); }); };
    return interactive ? runAside(call) : call();
}

AppError ResponsiveChanger::undo(bool interactive)
{
    const auto call = [&] { return serial([&] { return inner_->undo(interactive); }); };
    return interactive ? runAside(call) : call();
}

AppError ResponsiveChanger::adopt(const CivilDate& realDate, bool syncPaused)
{
    // The guard's own bookkeeping: no prompt, no service.
    return serial([&] { return inner_->adopt(realDate, syncPaused); });
}

AppError ResponsiveChanger::serial(const std::function<AppError()>& call)
{
    const std::lock_guard<std::mutex> lock(calls_);
    return call();
}

AppError ResponsiveChanger::runAside(const std::function<AppError()>& call)
{
    // Only the window's own thread has a loop to keep running; at exit (the
    // last chance may come on another thread) the call is simply made.
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread() || QCoreApplication::closingDown())
        return call();
    AppError result;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = call(); }));
    QEventLoop loop;
    // Queued to this thread: it arrives once the loop runs, however fast the call.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Once the application quits, its loops no longer run: the rest of the
    // call is waited for without painting.
    worker->wait();
    return result;
}
