// Runs the GoogleTest suites inside a headless QApplication, and refuses to
// run at all while the process could set the real clock.

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool maySetClock()
{
#ifdef __linux__
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0) {
            const unsigned long long caps = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (caps >> 25) & 1;  // CAP_SYS_TIME
        }
    }
#endif
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::string(argv[i]).rfind("--gtest_list_tests", 0) == 0;
    if (maySetClock() && !listing) {
        std::fprintf(stderr, "These tests must run without the right to set the clock: "
                             "setpriv --inh-caps=-sys_time --bounding-set=-sys_time <test>\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
