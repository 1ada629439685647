// Preloaded into the real program by scripts/sweep.sh: once the event loop
// runs, it triggers the menu item whose object name is in RAVODOR_TRIGGER
// after RAVODOR_TRIGGER_MS milliseconds, as a click on it would, and it
// answers every message box with its default button a moment after it shows,
// as a user who reads it would (the text goes to standard error). That drives
// the real window with the real services, with no display and no
// accessibility bus. It takes itself out of LD_PRELOAD at load, so the guard
// and the commands the program starts never load Qt through it.

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kSelf[] = "menutrigger";

struct LeavePreload {
    LeavePreload()
    {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload)
            return;
        // The loader splits the list at blanks and colons.
        std::string kept, entry;
        const std::string list = std::string(preload) + ':';
        for (const char c : list) {
            if (c != ':' && c != ' ') {
                entry += c;
                continue;
            }
            if (!entry.empty() && entry.find(kSelf) == std::string::npos)
                kept += (kept.empty() ? "" : ":") + entry;
            entry.clear();
        }
        setenv("LD_PRELOAD", kept.c_str(), 1);
    }
} leavePreload;

void trigger(const QString& name)
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (QAction* action = top->findChild<QAction*>(name)) {
            action->trigger();
            return;
        }
    std::fprintf(stderr, "menutrigger: no menu item named %s\n", qPrintable(name));
}

// Checked every 100 ms: a box is answered at the second look that finds it.
void answerMessageBox()
{
    static QMessageBox* seen = nullptr;
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box != seen) {
        seen = box;
        return;
    }
    seen = nullptr;
    std::fprintf(stderr, "menutrigger: answered: %s\n", qPrintable(box->text().simplified()));
    QAbstractButton* button = box->defaultButton();
    if (button || (button = box->button(QMessageBox::Ok)))
        button->click();
    else
        box->accept();
}

// Called from the application's constructor, before its event dispatcher
// may exist: the timers are started from the first turn of the event loop.
void armTrigger()
{
    const QString name = qEnvironmentVariable("RAVODOR_TRIGGER");
    const int ms = qEnvironmentVariableIntValue("RAVODOR_TRIGGER_MS");
    QMetaObject::invokeMethod(
        qApp,
        [name, ms] {
            auto* answering = new QTimer(qApp);
            QObject::connect(answering, &QTimer::timeout, qApp, answerMessageBox);
            answering->start(100);
            if (!name.isEmpty())
                QTimer::singleShot(ms, qApp, [name] { trigger(name); });
        },
        Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(armTrigger)
