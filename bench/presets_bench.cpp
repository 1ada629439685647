// Opening the presets window on files of 1k, 10k and 100k entries, and on a
// hostile one of four entries two of which are 1 MB long: the time from
// creating the window to its list painted, split into the load step (read,
// split, fill the list) and showing, and the peak memory of the whole
// process against one that only shows the main window.
//
// Every measurement runs in a fresh child process (this program started
// again with --child N), so that the peak memory belongs to one opening.
//
//   bench_presets [--runs N]    (default 5 children per size)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "benchutil.h"
#include "fakeclock.h"
#include "frmmain.h"
#include "frmpresets.h"
#include "fakeservices.h"
#include "messagerecorder.h"

namespace {

// Marks the moment the list's viewport starts to paint.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// The hostile file: a normal entry, two of 1 MB, a normal entry.
constexpr int kHugeLines = -2;

QByteArray presetsContent(int entries)
{
    if (entries == kHugeLines) {
        return "First = 1/1/2001\r\nLong = " + QByteArray(1024 * 1024, '7') + "\r\n" +
               QString(512 * 1024, QChar(0x00E9)).toUtf8() + "\r\nLast = 2/2/2002\r\n";
    }
    QByteArray content;
    for (int i = 0; i < entries; ++i) {
        const QDate date = QDate(2001, 1, 1).addDays(i % 3650);
        content += "Preset number " + QByteArray::number(i) + " = " +
                   date.toString(QStringLiteral("d/M/yyyy")).toLatin1() + "\r\n";
    }
    return content;
}

// One opening; prints "loadMs totalMs entries". entries -1: the main window only.
int child(int argc, char** argv, int entries)
{
    bench::ScratchFolder scratch;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(scratch.path() + "/config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(scratch.path() + "/data"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString folder = QString::fromStdString(scratch.path()) + "/data/Zaduziro software/Ravodor";
    QDir().mkpath(folder);
    if (entries != -1) {
        QFile file(folder + "/ravodor.ini");
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(presetsContent(entries));
    }

    QApplication app(argc, argv);
    FakeClock clock(QDate(2004, 1, 10));
    MessageRecorder dialogs;
    Services services = fakeServices(clock, dialogs);
    services.programFolder = scratch.path();
    frmMain window(services);
    window.Form_Load();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    if (entries == -1) {
        std::printf("0 0 0\n");
        return 0;
    }

    QElapsedTimer timer;
    timer.start();
    frmPresets presets(window);
    auto* list = presets.findChild<QListWidget*>(QStringLiteral("List1"));
    PaintWatch watch;
    list->viewport()->installEventFilter(&watch);
    presets.Form_Load();
    const double loadMs = timer.nsecsElapsed() / 1e6;
    presets.show();
    while (!watch.painted && timer.elapsed() < 20000)
        QCoreApplication::processEvents();
    const double totalMs = timer.nsecsElapsed() / 1e6;
    std::printf("%.3f %.3f %d\n", loadMs, totalMs, list->count());
    return watch.painted && list->count() == (entries == kHugeLines ? 4 : entries) ? 0 : 1;
}

struct Result {
    bool ok = false;
    double loadMs = 0, totalMs = 0, rssMb = 0;
    int count = 0;
};

Result runChild(const char* self, int entries)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(1);
    const std::string arg = std::to_string(entries);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl(self, self, "--child", arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buffer[256];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<std::size_t>(got));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Result result;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                std::sscanf(out.c_str(), "%lf %lf %d", &result.loadMs, &result.totalMs, &result.count) == 3;
    result.rssMb = usage.ru_maxrss / 1024.0;
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::refuseWhileClockCanBeSet();
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, std::atoi(argv[2]));
    int runs = 5;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::atoi(argv[2]);

    std::printf("opening the presets window, median of %d fresh processes per size\n", runs);
    std::printf("%8s %10s %10s %12s %14s\n", "entries", "load ms", "total ms", "peak MiB", "over baseline");
    double baseline = 0;
    bool failed = false;
    for (int entries : {-1, 1000, 10000, 100000, kHugeLines}) {
        std::vector<double> load, total, rss;
        for (int i = 0; i < runs; ++i) {
            const Result r = runChild("/proc/self/exe", entries);
            if (!r.ok) {
                std::fprintf(stderr, "a run with %d entries failed\n", entries);
                failed = true;
                continue;
            }
            load.push_back(r.loadMs);
            total.push_back(r.totalMs);
            rss.push_back(r.rssMb);
        }
        const double peak = bench::median(rss);
        if (entries == -1) {
            baseline = peak;
            std::printf("%8s %10s %10s %12.1f %14s\n", "none", "-", "-", peak, "-");
        } else if (entries == kHugeLines) {
            std::printf("%8s %10.1f %10.1f %12.1f %14.1f   (4 entries, two of 1 MB)\n", "2x1MB", bench::median(load),
                        bench::median(total), peak, peak - baseline);
        } else {
            std::printf("%8d %10.1f %10.1f %12.1f %14.1f\n", entries, bench::median(load), bench::median(total), peak,
                        peak - baseline);
        }
    }
    return failed ? 1 : 0;
}
