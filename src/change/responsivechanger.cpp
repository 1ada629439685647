#include "responsivechanger.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

ResponsiveChanger::ResponsiveChanger(std::unique_ptr<DateChanger> inner) : inner_(std::move(inner)) {}

SyncState ResponsiveChanger::syncState()
{
    SyncState result = SyncState::None;
    ask(true, [&] {
        result = inner_->syncState();
        return AppError::none();
    });
    return result;
}

AppError ResponsiveChanger::setSync(bool on, bool interactive)
{
    return ask(interactive, [&] { return inner_->setSync(on, interactive); });
}

AppError ResponsiveChanger::setDate(const CivilDate& date, bool interactive)
{
    return ask(interactive, [&] { return inner_->setDate(date, interactive); });
}

AppError ResponsiveChanger::undo(bool interactive)
{
    return ask(interactive, [&] { return inner_->undo(interactive); });
}

AppError ResponsiveChanger::adopt(const CivilDate& realDate, bool syncPaused)
{
    // The guard's own bookkeeping: no prompt, no service.
    return ask(false, [&] { return inner_->adopt(realDate, syncPaused); });
}

// A request that cannot prompt is answered within seconds, and comes from an
// end that must not run the event loop again (a lost display would end the
// process from inside it): it is made here.
AppError ResponsiveChanger::ask(bool mayPrompt, const std::function<AppError()>& call)
{
    const auto oneAtATime = [&] {
        const std::lock_guard<std::mutex> lock(calls_);
        return call();
    };
    return mayPrompt ? runAside(oneAtATime) : oneAtATime();
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
