// A slow change leaves the window painting and its input waiting.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <chrono>
#include <thread>

#include "responsivechanger.h"

namespace {

class SlowChanger final : public DateChanger {
public:
    SyncState syncState() override { return SyncState::On; }
    AppError setSync(bool, bool) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return {kErrUnconfirmed, "timed out", {}, 0};
    }
    AppError setDate(const CivilDate&, bool) override { return AppError::none(); }
    AppError undo(bool) override { return AppError::none(); }
    AppError adopt(const CivilDate&, bool) override { return AppError::none(); }
};

class KeyWindow : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

TEST(ResponsiveChanger, KeepsProcessingEventsButHoldsUserInputUntilTheCallIsBack)
{
    ResponsiveChanger service(std::make_unique<SlowChanger>());

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
