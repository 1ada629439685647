// A fixed-size window asked to be maximised or full screen, as the title bar
// Qt draws on Wayland asks, stays as it was. Run offscreen and in weston.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "frmabout.h"
#include "frmpresets.h"
#include "testenv.h"

namespace {

// What is wrong after the request, if anything.
std::string survives(QWidget* window, Qt::WindowState request)
{
    const QSize before = window->size();
    QWindow* handle = window->windowHandle();
    handle->setWindowStates(request);
    QTest::qWait(200);  // the compositor's answer
    if (QTest::qWaitFor([&] { return !handle->windowStates() && window->maximumSize() == before; }, 5000)
        && window->size() == before && !window->windowState())
        return {};
    return window->objectName().toStdString() + " " + std::to_string(window->width()) + "x"
           + std::to_string(window->height()) + ", state " + std::to_string(window->windowState());
}

TEST_F(MainWindowTest, EveryFixedSizeWindowStaysAsItWasWhenAskedToFillTheScreen)
{
    for (int which = 0; which < 4; ++which) {
        for (Qt::WindowState request : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
            window.reset();
            show();
            std::unique_ptr<QWidget> other;
            if (which == 1)
                other = std::make_unique<frmPresets>(*window);
            if (which == 2)
                other = std::make_unique<frmabout>(services, window.get());
            if (which == 3) {  // a message box, up while it is asked
                std::string wrong = "no box";
                QTimer::singleShot(0, [&] {
                    QWidget* box = QApplication::activeModalWidget();
                    if (QTest::qWaitForWindowExposed(box))
                        wrong = survives(box, request);
                    box->close();
                });
                QtMessageBoxes().MsgBox(QStringLiteral("Sure?"), MsgStyle::OkOnly, QStringLiteral("Say"), {}, 0);
                EXPECT_EQ(wrong, "");
                continue;
            }
            QWidget* asked = other ? other.get() : window.get();
            asked->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(asked));
            EXPECT_EQ(survives(asked, request), "");
        }
    }
}

}  // namespace
