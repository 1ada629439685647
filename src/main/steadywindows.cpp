#include "steadywindows.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace {

const char* const kHeldSize = "ravodorHeldSize";
const char* const kWatched = "ravodorSteadyWatched";
constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;

// The size limit has to be gone before the compositor's answer comes in:
// the state changes on the window at once, on the widget only afterwards.
void letLargeSize(QWidget* window, Qt::WindowState state)
{
    if (!(state & kLarge) || window->property(kHeldSize).isValid()
        || window->minimumSize() != window->maximumSize())
        return;
    window->setProperty(kHeldSize, window->minimumSize());
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

class SteadyWindows : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || !window->isWindow())
            return false;
        switch (event->type()) {
        case QEvent::Show:
            watch(window);
            break;
        case QEvent::WindowStateChange:
            if (window->property(kHeldSize).isValid() && (window->windowState() & kLarge)) {
                QTimer::singleShot(0, window, [window] { window->setWindowState(window->windowState() & ~kLarge); });
            }
            break;
        case QEvent::LayoutRequest:
            // A message box fixes its size again on every layout.
            return window->property(kHeldSize).isValid();
        case QEvent::Resize: {
            // Held again only once the compositor has given the old size back.
            const QVariant held = window->property(kHeldSize);
            if (held.isValid() && !(window->windowState() & kLarge) && window->size() == held.toSize()) {
                window->setProperty(kHeldSize, QVariant());
                window->setFixedSize(held.toSize());
                QCoreApplication::postEvent(window, new QEvent(QEvent::LayoutRequest));
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    static void watch(QWidget* window)
    {
        QWindow* handle = window->windowHandle();
        if (!handle || window->property(kWatched).toBool())
            return;
        window->setProperty(kWatched, true);
        QObject::connect(handle, &QWindow::windowStateChanged, window,
                         [window](Qt::WindowState state) { letLargeSize(window, state); });
    }
};

}  // namespace

void installSteadyWindows()
{
    static const bool installed = [] {
        QCoreApplication::instance()->installEventFilter(new SteadyWindows(QCoreApplication::instance()));
        return true;
    }();
    (void)installed;
}
