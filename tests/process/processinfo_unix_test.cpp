// The running program's path after its file was replaced (an upgrade): the
// installed one, never the kernel's "(deleted)" mark.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "unixtestutil.h"

namespace {

TEST(ProgramPath, AfterAnUpgradeItIsTheInstalledPath)
{
    unixtest::TempFolder folder;
    const std::string installed = folder.path() + "/ravodor";
    std::filesystem::copy_file(RAVODOR_PROGRAMPATH_PROBE, installed);
    const std::string go = folder.path() + "/go";
    FILE* probe = ::popen(("'" + installed + "' '" + go + "'").c_str(), "r");
    ASSERT_NE(probe, nullptr);
    char path[4096] = {};
    ASSERT_NE(std::fgets(path, sizeof path, probe), nullptr);
    // Its file replaced while it runs.
    std::filesystem::remove(installed);
    std::filesystem::copy_file(RAVODOR_PROGRAMPATH_PROBE, installed);
    std::ofstream{go};
    ASSERT_NE(std::fgets(path, sizeof path, probe), nullptr);
    ::pclose(probe);
    EXPECT_EQ(std::string(path), installed + "\n");
}

}  // namespace
