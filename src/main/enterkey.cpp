#include "enterkey.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

bool isEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

class EnterFilter : public QObject
{
public:
    EnterFilter(QWidget* control, QPushButton* button) : QObject(control), button_(button) {}

    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (!isEnter(event))
            return false;
        // The release is taken too: the theme's button would click on it.
        if (event->type() == QEvent::KeyPress && button_ && button_->isEnabled())
            button_->click();
        return true;
    }

private:
    QPointer<QPushButton> button_;
};

}  // namespace

void pressOnEnter(QLineEdit* box, QPushButton* button)
{
    QObject::connect(box, &QLineEdit::returnPressed, button, [button] {
        if (button->isEnabled())
            button->click();
    });
}

void pressOnEnter(QWidget* control, QPushButton* button)
{
    control->installEventFilter(new EnterFilter(control, button));
}
