// What a compositor may ask of a fixed-size window: to be maximised or shown
// full screen, as the title bar Qt draws on Wayland asks. The window and the
// program stay as they were. Run offscreen and again inside weston.

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

#include "frmabout.h"
#include "frmpresets.h"
#include "testenv.h"

namespace {

class WindowRequestTest : public MainWindowTest {
protected:
    frmMain& shown() { return window ? *window : show(); }
    QWidget* keep(QWidget* other)
    {
        others.reset(other);
        return other;
    }
    std::unique_ptr<QWidget> others;
};

// Asks as the title bar's button does, and says what is wrong afterwards.
QString survives(QWidget* window, Qt::WindowState request)
{
    const QSize before = window->size();
    window->windowHandle()->setWindowStates(request);
    const bool back = QTest::qWaitFor([&] {
        return window->windowState() == Qt::WindowNoState && window->size() == before
               && window->maximumSize() == before;
    }, 5000);
    if (back)
        return {};
    return QStringLiteral("%1: %2x%3, state %4, largest %5x%6")
        .arg(window->objectName()).arg(window->width()).arg(window->height())
        .arg(int(window->windowState())).arg(window->maximumWidth()).arg(window->maximumHeight());
}

TEST_F(WindowRequestTest, EveryFixedSizeWindowStaysAsItWasWhenAskedToFillTheScreen)
{
    const std::function<QWidget*()> opens[] = {
        [this]() -> QWidget* { return &shown(); },
        [this] { return keep(new frmPresets(shown())); },
        [this] { return keep(new frmabout(services, &shown())); },
    };
    for (const auto& open : opens) {
        for (Qt::WindowState request : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
            QWidget* window = open();
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            EXPECT_EQ(survives(window, request), QString()) << int(request);
            others.reset();
            this->window.reset();
        }
    }
}

TEST_F(WindowRequestTest, AMessageBoxStaysAsItWasWhenAskedToFillTheScreen)
{
    QString wrong = QStringLiteral("no box");
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !QTest::qWaitForWindowExposed(box))
            return;
        wrong = survives(box, Qt::WindowMaximized);
        box->close();
    });
    QtMessageBoxes boxes;
    boxes.MsgBox(QStringLiteral("Sure?"), MsgStyle::OkOnly, QStringLiteral("Ravodor says:"), {}, 0);
    EXPECT_EQ(wrong, QString());
}

}  // namespace
