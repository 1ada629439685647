// The Set action's own work per call, on the fake clock: reading the date,
// setting it, the message, and storing it in the recent dates list, with the
// settings on tmpfs (no real sync cost) and on the disk (/tmp here).
// Its parts are timed alone too, to show where the time goes.

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "benchutil.h"
#include "fakeclock.h"
#include "frmmain.h"
#include "fakeservices.h"
#include "messagerecorder.h"
#include "recentdates.h"
#include "settingskey.h"

namespace {

// Settings in a fresh folder on tmpfs (0) or on the disk (1).
class Settings {
public:
    explicit Settings(int storage) : folder_(storage == 0 ? "/dev/shm" : "/tmp")
    {
        setenv("XDG_CONFIG_HOME", (folder_.path() + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder_.path() + "/data").c_str(), 1);
    }

private:
    bench::ScratchFolder folder_;
};

const char* storageName(int storage) { return storage == 0 ? "tmpfs" : "disk"; }

// A date text for call i: two dates taking turns (the list only swaps its
// head), or a new date each time (the whole list moves down).
QString dateFor(std::int64_t i, bool newEachTime)
{
    const int n = newEachTime ? static_cast<int>(i % 300) : static_cast<int>(i % 2);
    return QDate(2001, 1, 1).addDays(n).toString(QStringLiteral("dd/MM/yyyy"));
}

void BM_SetAction(benchmark::State& state)
{
    Settings settings(static_cast<int>(state.range(0)));
    const bool newEachTime = state.range(1) != 0;
    FakeClock clock(QDate(2004, 1, 10));
    MessageRecorder dialogs;
    Services services = fakeServices(clock, dialogs);
    frmMain window(services);
    window.Form_Load();
    window.show();

    std::int64_t i = 0;
    for (auto _ : state) {
        window.Text2->setText(dateFor(i++, newEachTime));
        window.cmdSet_Click();
        dialogs.clear();
    }
    if (clock.sets.size() != static_cast<std::size_t>(i))
        state.SkipWithError("a call did not set the date");
    state.SetLabel(std::string(storageName(static_cast<int>(state.range(0)))) +
                   (newEachTime ? ", new date each call" : ", two dates taking turns"));
}
BENCHMARK(BM_SetAction)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_StoreRecentDate(benchmark::State& state)
{
    Settings settings(static_cast<int>(state.range(0)));
    const bool newEachTime = state.range(1) != 0;
    const std::string key = recentFilesKeyPath("ravodor");
    std::int64_t i = 0;
    for (auto _ : state)
        storeRecentDate(key, dateFor(i++, newEachTime).toStdString());
    state.SetLabel(std::string(storageName(static_cast<int>(state.range(0)))) +
                   (newEachTime ? ", new date each call" : ", two dates taking turns"));
}
BENCHMARK(BM_StoreRecentDate)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_ParseAndFormat(benchmark::State& state)
{
    const DateText dates(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QString text = QStringLiteral("12/12/2001");
    for (auto _ : state) {
        const QDate date = dates.parse(text);
        benchmark::DoNotOptimize(dates.format(date));
    }
}
BENCHMARK(BM_ParseAndFormat)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    bench::refuseWhileClockCanBeSet();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
