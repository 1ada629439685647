// The window's library: builds the real services, loads the main window
// and runs the event loop.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "appicon.h"
#include "comeforward.h"
#include "commandline.h"
#include "datekeeper.h"
#include "firstframe.h"
#include "frmmain.h"
#include "guard.h"
#include "lastchance.h"
#include "nodisplay.h"
#include "parts.h"
#include "waylandloss.h"
#include "processinfo.h"
#include "quitsignals.h"
#include "responsivechanger.h"
#include "secondstart.h"
#include "settingskey.h"
#include "shell.h"
#include "singleinstance.h"
#include "version.h"

RAVODOR_PART_ENTRY int ravodor_window_main(int argc, char* argv[])
{
    // Names the settings key, the lock and the guard's record, as on Windows.
    const std::string exeBaseName =
        QFileInfo(QFile::decodeName(currentProgramPath().c_str())).completeBaseName().toStdString();
    // The command line's part has read it already and found the window asked for.
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    const QString program = QFileInfo(QFile::decodeName(argc > 0 ? argv[0] : "ravodor")).fileName();
    std::optional<DisplayFailureNote> displayFailure(std::in_place, program);
    QApplication app(argc, argv);
    displayFailure.reset();
    QApplication::setApplicationName(QStringLiteral("Ravodor"));
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(RAVODOR_APP_ID));

    // One program at a time: a second start hands its date to the first, or
    // brings it forward, and touches neither the clock nor the settings.
    SingleInstance single(QString::fromStdString(exeBaseName));
    if (!single.tryLead())
        return secondStart(single, commandLine);

    std::unique_ptr<SystemClock> clock = makeSystemClock();
    QtMessageBoxes dialogs;

    Services services;
    services.clock = clock.get();
    services.dialogs = &dialogs;
    services.endProcess = [](int exitCode) {
        // The date is back and the settings are on disk: end at once, as
        // the design asks, without unwinding windows that are still open.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    };
    services.openAddress = [](QWidget* owner, const std::string& address) {
        return OpenWithShell(owner ? reinterpret_cast<void*>(owner->winId()) : nullptr, address);
    };
    services.exeBaseName = exeBaseName;
    // Only the guard sets the clock. Its requests may wait for an
    // authorisation prompt: the window keeps painting.
    services.keeper = std::make_shared<DateKeeper>(
        *clock, std::make_unique<ResponsiveChanger>(makeGuardedChanger(*clock, exeBaseName)),
        settingsKeyPath(exeBaseName));
    services.programFolder = QDir::toNativeSeparators(QApplication::applicationDirPath()).toLocal8Bit().toStdString();

    frmMain window(services);
    QObject::connect(&single, &SingleInstance::activationRequested, &window,
                     [&window](const QString& token) { comeForward(&window, token); });
    single.onDateHanded = [&window](const QString& date, const SingleInstance::Reply& answer) {
        window.setHandedDate(date, answer);
    };
    // Needed only later: the icon for the window list, and the door for a second start.
    afterFirstFrame(&window, [&single] {
        QApplication::setWindowIcon(programIcon());
        single.listen();
    });
    LastChance lastChance([&window] { window.restoreAtExit(); });
    WaylandLossRestore waylandLoss;

    // A signal or the end of the desktop session closes the window like the
    // close box does, so the real date comes back.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &frmMain::closeQuietly);
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.closeQuietly(); });
#endif

    window.Form_Load();
    window.show();
    // After the automatic set, as if the user had typed the date and pressed Set.
    if (commandLine.hasDate) {
        window.Text2->setText(commandLine.date);
        window.cmdSet_Click();
        window.showAlteredState();
    }
    return app.exec();
}
