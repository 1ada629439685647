#include "secondstart.h"

#include <optional>

#include "commandrun.h"
#include "singleinstance.h"

int secondStart(SingleInstance& single, const CommandLine& commandLine)
{
    const ProgramLock& lock = single.lock();
    if (lock.holder() == ProgramLock::RunAt) {
        say(lock.refusal());
        return kExitTempFail;
    }
    // The launcher's token lets the window come forward on Wayland; it is
    // this start's, which shows no window of its own.
    const SingleInstance::Answer answer =
        single.askLeader(commandLine.hasDate ? std::optional<QString>(commandLine.date) : std::nullopt,
                         qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    if (!answer.reached) {
        // A holder whose note is not written yet may still be a window.
        say(lock.holder() == ProgramLock::Window ? answer.message : lock.refusal());
        return kExitTempFail;
    }
    if (!commandLine.hasDate) {
        say(QStringLiteral("already running; its window was asked to come forward."));
        return 0;
    }
    if (answer.done)
        return 0;
    say(answer.message);
    return 1;
}
