// A program on the fake clock for the signal test: it alters the date, says
// "ready", and on its end prints the date the clock was left at.

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>

#include "fakeservices.h"
#include "frmmain.h"
#include "messagerecorder.h"
#include "quitsignals.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FakeClock clock(QDate(2004, 1, 10));
    MessageRecorder dialogs;

    Services services = fakeServices(clock, dialogs);
    services.endProcess = [&](int exitCode) {
        std::printf("ended %s after %d messages\n", qPrintable(clock.date().toString(Qt::ISODate)),
                    static_cast<int>(dialogs.shown.size()));
        std::fflush(nullptr);
        std::_Exit(exitCode);
    };

    frmMain window(services);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &frmMain::closeQuietly);
    window.Form_Load();
    window.show();
    window.Text2->setText(QStringLiteral("12/12/2001"));
    window.cmdSet_Click();
    std::printf("ready %s\n", qPrintable(clock.date().toString(Qt::ISODate)));
    std::fflush(stdout);
    return app.exec();
}
