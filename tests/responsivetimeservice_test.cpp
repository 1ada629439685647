// A slow time service leaves the window painting and its input waiting.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <chrono>
#include <thread>

#include "responsivetimeservice.h"

namespace {

class SlowService final : public TimeService {
public:
    bool available() override { return true; }
    SyncState syncState() override { return SyncState::On; }
    AppError setSync(bool, bool) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return {kErrTimeService, "timed out", {}, 0};
    }
    AppError shiftClock(std::int64_t, bool) override { return AppError::none(); }
};

class KeyWindow : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

TEST(ResponsiveTimeService, KeepsProcessingEventsButHoldsUserInputUntilTheCallIsBack)
{
    ResponsiveTimeService service(std::make_unique<SlowService>());

    KeyWindow window;
    window.show();

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    // A key press from the window system while the call runs.
    QTimer::singleShot(100, [&] {
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window.windowHandle(), QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    });

    const AppError result = service.setSync(false, true);
    const int keysDuringCall = window.keys;

    EXPECT_EQ(result.description, "timed out");
    EXPECT_GE(ticks, 5);  // so the call ran on another thread
    EXPECT_EQ(keysDuringCall, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.keys, 1);  // held back, not lost
}

}  // namespace
