#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>

namespace {

const char kKeptOut[] = "ravodorKeptFromAccessibility";

bool keptOut(const QObject* object)
{
    return object->property(kKeptOut).toBool();
}

QList<QWidget*> listedChildren(const QWidget* parent)
{
    // The same children Qt lists for a plain widget, less those kept out.
    QList<QWidget*> listed;
    for (QObject* object : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget && !widget->isWindow() && !qobject_cast<QMenu*>(widget) && !keptOut(widget))
            listed << widget;
    }
    return listed;
}

// A container that lists only the children that are meant to be heard.
class ListedChildren : public QAccessibleWidget {
public:
    ListedChildren(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return listedChildren(widget()).size(); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> listed = listedChildren(widget());
        return index >= 0 && index < listed.size() ? QAccessible::queryAccessibleInterface(listed[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        return listedChildren(widget()).indexOf(qobject_cast<QWidget*>(child->object()));
    }
};

// Every plain menu item alike: named without the caption's padding, and
// focusable as the keyboard reaches it (Qt's own item says so only for some).
class MenuItem : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit MenuItem(QAction* action) : action_(action) {}

    bool isValid() const override { return action_ && menu(); }
    QObject* object() const override { return action_; }
    QWindow* window() const override { return menu() ? menu()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
            return spokenName(action_->text());
        case QAccessible::Accelerator:
            return action_->shortcut().toString(QKeySequence::NativeText);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        QMenu* owner = menu();
        if (!owner)
            return {};
        const QRect inMenu = owner->actionGeometry(action_);
        return inMenu.translated(owner->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        QMenu* owner = menu();
        state.focusable = true;
        state.invisible = !owner || owner->isHidden();
        state.focused = owner && owner->activeAction() == action_;
        state.disabled = !action_->isEnabled();
        state.checkable = action_->isCheckable();
        state.checked = action_->isChecked();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        return action_->isEnabled() ? QStringList{pressAction()} : QStringList();
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && action_->isEnabled())
            action_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QMenu* menu() const
    {
        if (!action_)
            return nullptr;
        for (QObject* object : action_->associatedObjects())
            if (auto* owner = qobject_cast<QMenu*>(object))
                return owner;
        return nullptr;
    }

    QPointer<QAction> action_;
};

bool hasKeptOutChild(const QObject* object)
{
    for (const QObject* child : object->children())
        if (keptOut(child))
            return true;
    return false;
}

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QAction")) {
        auto* action = static_cast<QAction*>(object);
        if (!action->menu() && !action->isSeparator())
            return new MenuItem(action);
        return nullptr;
    }
    // Asked for the plain classes only, where Qt would build a plain widget's
    // interface with the same role.
    const bool dialog = className == QLatin1String("QDialog");
    if ((dialog || className == QLatin1String("QWidget")) && hasKeptOutChild(object))
        return new ListedChildren(static_cast<QWidget*>(object), dialog ? QAccessible::Dialog : QAccessible::Client);
    return nullptr;
}

// A tooltip is padded with blanks to look right on screen; the description
// that Qt takes from it is not.
class DescriptionFromToolTip : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTipChange && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            widget->setAccessibleDescription(widget->toolTip().simplified());
        }
        return false;
    }
};

}  // namespace

QString spokenName(const QString& caption)
{
    QString name;
    for (int i = 0; i < caption.size(); ++i) {
        // "&&" is a literal ampersand; a single "&" marks the access key.
        if (caption[i] == QLatin1Char('&') && ++i == caption.size())
            break;
        name += caption[i];
    }
    return name.simplified();
}

void keepFromAccessibility(QWidget* widget)
{
    installAccessibility();
    widget->setProperty(kKeptOut, true);
}

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        QCoreApplication::instance()->installEventFilter(new DescriptionFromToolTip(QCoreApplication::instance()));
        return true;
    }();
    (void)installed;
}
