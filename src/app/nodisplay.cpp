#include "nodisplay.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

#include "commandline.h"

namespace {

// Set only while the application object is being made: one thread.
QtMessageHandler previousHandler = nullptr;
QByteArray noteLine;

void noteDisplayFailure(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Fatal while the application object is made: no platform could start,
    // and Qt would abort. Its words then blame the installation ("Reinstalling
    // the application may fix this problem"): its warnings before them have
    // said what failed, and ours say what to do. Nothing is changed yet, so
    // nothing needs unwinding.
    if (type == QtFatalMsg) {
        std::fputs(noteLine.constData(), stderr);
        std::fflush(nullptr);
        std::_Exit(kExitNoDisplay);
    }
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

}  // namespace

QString noDisplayText(const QString& program)
{
    return QStringLiteral("%1: no display to open the window on; to run a command at a date without one, use "
                          "'%1 --at DATE -- COMMAND' (see '%1 --help').\n")
        .arg(program);
}

bool noDisplayNamed(const CommandLine& commandLine)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    return !commandLine.platformNamed && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    Q_UNUSED(commandLine);
    return false;
#endif
}

// A message handler rather than a look at the display beforehand: Qt alone
// knows which plugins it tries and how (xcb, wayland, a list of both), and
// its own words about what failed come first.
DisplayFailureNote::DisplayFailureNote(const QString& program)
{
    noteLine = noDisplayText(program).toLocal8Bit();
    previousHandler = previous_ = qInstallMessageHandler(noteDisplayFailure);
}

DisplayFailureNote::~DisplayFailureNote()
{
    qInstallMessageHandler(previous_);
    previousHandler = nullptr;
}
