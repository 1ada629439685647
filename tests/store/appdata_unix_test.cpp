// The application-data folder's Linux side: which base folder the XDG rules
// give, and what happens without a home or without the right to create.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>

#include "appdata.h"
#include "unixtestutil.h"

namespace fs = std::filesystem;

namespace {

using unixtest::modeOf;
using unixtest::ScopedEnv;
using unixtest::TempFolder;

class AppDataUnixTest : public ::testing::Test {
protected:
    TempFolder home;
    ScopedEnv homeVar{"HOME", home.path()};
};

TEST_F(AppDataUnixTest, AbsoluteDataHomeIsTheBaseFolder)
{
    TempFolder data;
    {
        ScopedEnv dataVar("XDG_DATA_HOME", data.path());
        EXPECT_EQ(GetSpecialFolder(kCsidlAppData), data.path() + "/");
    }
    ScopedEnv dataVar("XDG_DATA_HOME", data.path() + "/");
    EXPECT_EQ(GetSpecialFolder(kCsidlAppData), data.path() + "/");
    EXPECT_EQ(GetAppDataFolder("/opt/ravodor"), data.path() + "/Zaduziro software/Ravodor/");
}

TEST_F(AppDataUnixTest, UnsetEmptyOrRelativeDataHomeMeansHomeDotLocalShare)
{
    const std::string relative = "ravodor-relative-data-" + std::to_string(getpid());
    for (const char* value : {static_cast<const char*>(nullptr), "", relative.c_str()}) {
        ScopedEnv dataVar("XDG_DATA_HOME", value);
        EXPECT_EQ(GetSpecialFolder(kCsidlAppData), home.path() + "/.local/share/") << (value ? value : "(unset)");
    }
    EXPECT_FALSE(fs::exists(relative));
}

TEST_F(AppDataUnixTest, MissingBaseFoldersAreCreatedPrivate)
{
    const std::string base = home.path() + "/fresh/data";
    ScopedEnv dataVar("XDG_DATA_HOME", base);

    EXPECT_EQ(GetAppDataFolder("/opt/ravodor"), base + "/Zaduziro software/Ravodor/");
    for (const std::string& folder : {home.path() + "/fresh", base, base + "/Zaduziro software",
                                      base + "/Zaduziro software/Ravodor"})
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
}

TEST_F(AppDataUnixTest, OtherSpecialFoldersAreNotAvailable)
{
    for (int csidl : {0, 5, 28, 35})
        EXPECT_EQ(GetSpecialFolder(csidl), "") << csidl;
}

TEST_F(AppDataUnixTest, WithoutHomeVariableTheAccountsHomeIsUsed)
{
    const passwd* nobody = getpwuid(unixtest::kNobody);
    if (!nobody)
        GTEST_SKIP() << "no account for uid " << unixtest::kNobody;
    const std::string expected = std::string(nobody->pw_dir) + "/.local/share/";
    ScopedEnv noHome("HOME", nullptr);
    ScopedEnv noData("XDG_DATA_HOME", nullptr);

    auto report = unixtest::RunInChild(
        [&expected] {
            std::string folder = GetSpecialFolder(kCsidlAppData);
            return folder == expected ? std::string() : "got '" + folder + "'";
        },
        unixtest::kNobody);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
}

TEST_F(AppDataUnixTest, NoHomeAtAllGivesTheFallback)
{
    const auto homeless = unixtest::UidWithoutAccount();
    if (!homeless)
        GTEST_SKIP() << "every uid tried has an account";
    ScopedEnv noHome("HOME", nullptr);
    ScopedEnv relativeData("XDG_DATA_HOME", "relative/data");

    auto report = unixtest::RunInChild(
        [] {
            std::string out;
            if (std::string folder = GetSpecialFolder(kCsidlAppData); !folder.empty())
                out += "special folder '" + folder + "'; ";
            if (std::string folder = GetAppDataFolder("/opt/ravodor"); folder != "/opt/ravodor/")
                out += "folder '" + folder + "'; ";
            if (std::string folder = GetAppDataFolder(""); folder != "/")
                out += "empty fallback gave '" + folder + "'; ";
            return out;
        },
        *homeless);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
}

TEST_F(AppDataUnixTest, NoRightToCreateGivesTheFallbackAndCreatesNothing)
{
    TempFolder data;  // root's, readable by all, writable by root only
    chmod(data.path().c_str(), 0755);
    ScopedEnv dataVar("XDG_DATA_HOME", data.path());

    auto report = unixtest::RunInChild(
        [] {
            std::string folder = GetAppDataFolder("/opt/ravodor");
            return folder == "/opt/ravodor/" ? std::string() : "got '" + folder + "'";
        },
        unixtest::kNobody);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
    EXPECT_EQ(unixtest::Tree(data.path()), std::set<std::string>{});
}

TEST_F(AppDataUnixTest, FolderExistsFollowsLinksAndKnowsTheRoot)
{
    const std::string dir = home.path() + "/dir";
    const std::string file = home.path() + "/file";
    fs::create_directory(dir);
    unixtest::WriteFile(file, "x");
    fs::create_directory_symlink(dir, home.path() + "/linkToDir");
    fs::create_symlink(file, home.path() + "/linkToFile");
    fs::create_symlink(home.path() + "/gone", home.path() + "/dangling");

    for (const std::string& path : {std::string("/"), std::string("///"), home.path() + "/linkToDir",
                                    home.path() + "/linkToDir/"})
        EXPECT_TRUE(FolderExists(path)) << path;
    for (const std::string& path : {std::string(), home.path() + "/linkToFile", home.path() + "/linkToFile/",
                                    home.path() + "/dangling"})
        EXPECT_FALSE(FolderExists(path)) << path;
}

}  // namespace
