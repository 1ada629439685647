#include "firstframe.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class FirstFrameWatch : public QObject {
public:
    FirstFrameWatch(QWidget* window, std::function<void()> then) : QObject(window), then_(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the frame is flushed when the paint event is done.
            QTimer::singleShot(0, watched, std::move(then_));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> then_;
};

}  // namespace

void afterFirstFrame(QWidget* window, std::function<void()> then)
{
    new FirstFrameWatch(window, std::move(then));
}
