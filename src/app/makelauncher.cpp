#include "makelauncher.h"

#include <QFile>
#include <QLocale>

#include <cstdio>

#include "commandline.h"
#include "commandrun.h"
#include "datetext.h"
#include "launcher.h"
#include "processinfo.h"
#include "runonly.h"

int makeLauncher(const QString& dateText, const std::vector<std::string>& command)
{
    // A launcher that would only be refused when started is not made.
    OnlyLaunch launch;
    QString why;
    if (const int status = prepareOnly(dateText, command, Reader::CommandLine, &launch, &why)) {
        say(why);
        return status;
    }
    // The launcher may start in another locale: a date in the locale's form
    // is kept in the ISO one; the form with a time of day is that already.
    const QDate date = DateText(QLocale::system()).parse(dateText);
    const QString at = date.isValid() ? date.toString(Qt::ISODate) : dateText;
    const LauncherMade made = writeLauncher({QFile::decodeName(currentProgramPath().c_str()), at, command}, &why);
    if (made.path.isEmpty()) {
        say(why);
        return kExitCantCreate;
    }
    std::printf("%s\n", QFile::encodeName(made.path).constData());
    std::fflush(stdout);
    say(QStringLiteral("The applications menu shows it as \"%1\"; delete that file to remove it.").arg(made.name));
    return 0;
}
