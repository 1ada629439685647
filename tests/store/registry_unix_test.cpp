// The settings store's Linux side: where keys and values land as folders and
// files, names that could escape them, and what the file system may refuse
// or plant there.

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include "registry.h"
#include "unixtestutil.h"

namespace fs = std::filesystem;

namespace {

using unixtest::modeOf;
using unixtest::ScopedEnv;
using unixtest::TempFolder;

class RegistryUnixTest : public ::testing::Test {
protected:
    TempFolder outer;  // holds the config folder, to see nothing escapes it
    std::string config = outer.path() + "/config";
    ScopedEnv configHome{"XDG_CONFIG_HOME", config};

    void SetUp() override { fs::create_directory(config); }

    static std::optional<std::string> read(const std::string& subKey, const std::string& name)
    {
        std::string text = "stale";
        if (GetKeyValue(HKEY_CURRENT_USER, subKey, name, text) != ERROR_SUCCESS)
            return std::nullopt;
        return text;
    }
};

TEST_F(RegistryUnixTest, SettingsKeyIsAFolderBelowTheConfigHome)
{
    const std::string recent = "Software\\Zaduziro\\ravodor\\RecentFiles";
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, recent, "1", "07-12-2026"), ERROR_SUCCESS);

    const std::string file = config + "/Zaduziro/ravodor/RecentFiles/1";
    EXPECT_EQ(unixtest::FileBytes(file), "07-12-2026");
    EXPECT_EQ(fs::file_size(file), 10u);
    for (const char* created : {"/Zaduziro", "/Zaduziro/ravodor", "/Zaduziro/ravodor/RecentFiles"})
        EXPECT_EQ(modeOf(config + created), 0700u) << created;
}

TEST_F(RegistryUnixTest, UnsetEmptyOrRelativeConfigHomeMeansHomeDotConfig)
{
    TempFolder home;
    ScopedEnv homeVar("HOME", home.path());
    const std::string relative = "ravodor-relative-config-" + std::to_string(getpid());

    int round = 0;
    for (const char* value : {static_cast<const char*>(nullptr), "", relative.c_str()}) {
        ScopedEnv configVar("XDG_CONFIG_HOME", value);
        const std::string name = "v" + std::to_string(++round);
        ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\Zaduziro\\ravodor", name, "x"), ERROR_SUCCESS);
        EXPECT_EQ(unixtest::FileBytes(home.path() + "/.config/Zaduziro/ravodor/" + name), "x")
            << (value ? value : "(unset)");
    }
    EXPECT_FALSE(fs::exists(relative));
    EXPECT_EQ(unixtest::Tree(config), std::set<std::string>{});
}

TEST_F(RegistryUnixTest, ConfigHomeIsLookedUpAtEveryCall)
{
    const std::string other = outer.path() + "/other";
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "first"), ERROR_SUCCESS);
    {
        ScopedEnv elsewhere("XDG_CONFIG_HOME", other);
        ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "second"), ERROR_SUCCESS);
        EXPECT_EQ(read("Software\\K", "v"), "second");
    }
    EXPECT_EQ(read("Software\\K", "v"), "first");
    EXPECT_EQ(unixtest::FileBytes(other + "/K/v"), "second");
}

TEST_F(RegistryUnixTest, SoftwareIsMatchedWithoutRegardToCase)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "SOFTWARE\\K", "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(unixtest::FileBytes(config + "/K/v"), "x");
    EXPECT_EQ(read("software\\K", "v"), "x");
}

TEST_F(RegistryUnixTest, RunsOfBackslashesCountAsOne)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "\\Software\\\\K\\\\\\L\\", "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(unixtest::FileBytes(config + "/K/L/v"), "x");
    EXPECT_EQ(read("Software\\K\\L", "v"), "x");
}

TEST_F(RegistryUnixTest, OnlySoftwareIsKeptBelowTheUserRoot)
{
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, "Environment", "PATH", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "");
    EXPECT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Environment", "PATH", "x"), ERROR_ACCESS_DENIED);
    HKEY key = HKEY_CURRENT_USER;
    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Console\\Sub", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);

    // The user root itself opens, but holds no values.
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "", &key), ERROR_SUCCESS);
    EXPECT_EQ(GetKeyValue(key, "", "v", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetKeyValue(key, "", "v", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(unixtest::Tree(outer.path()), std::set<std::string>{"config"});
}

TEST_F(RegistryUnixTest, NamesThatCouldEscapeTheFolderAreRefused)
{
    const std::string badKeys[] = {"Software\\..", "Software\\K\\..\\..", "Software\\.", "Software\\a/b",
                                   "Software\\/etc", std::string("Software\\a\0b", 12), "..\\Software"};
    const std::string badValues[] = {"", ".", "..", "a/b", "../escape", "/abs", std::string("x\0y", 3),
                                     ".ravodor-tmp-abc123"};
    for (const std::string& subKey : badKeys) {
        EXPECT_NE(SetKeyValue(HKEY_CURRENT_USER, subKey, "v", "x"), ERROR_SUCCESS) << subKey;
        std::string text = "stale";
        EXPECT_NE(GetKeyValue(HKEY_CURRENT_USER, subKey, "v", text), ERROR_SUCCESS) << subKey;
        EXPECT_EQ(text, "");
        HKEY key = HKEY_CURRENT_USER;
        EXPECT_NE(CreateKey(HKEY_CURRENT_USER, subKey, &key), ERROR_SUCCESS) << subKey;
        EXPECT_EQ(key, nullptr);
    }
    // Planted where an escaping name would lead, so that reading it would show.
    unixtest::WriteFile(outer.path() + "/escape", "outside");
    fs::create_directory(config + "/K");
    for (const std::string& name : badValues) {
        EXPECT_NE(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", name, "x"), ERROR_SUCCESS) << name;
        std::string text = "stale";
        EXPECT_NE(GetKeyValue(HKEY_CURRENT_USER, "Software\\K", name, text), ERROR_SUCCESS) << name;
        EXPECT_EQ(text, "");
    }

    EXPECT_EQ(unixtest::Tree(outer.path()), (std::set<std::string>{"config", "config/K", "escape"}));
    EXPECT_EQ(unixtest::FileBytes(outer.path() + "/escape"), "outside");
}

TEST_F(RegistryUnixTest, BackslashInAValueNameIsJustACharacter)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "a\\b", "x"), ERROR_SUCCESS);
    EXPECT_EQ(unixtest::FileBytes(config + "/K/a\\b"), "x");
}

TEST_F(RegistryUnixTest, StaleOrForeignHandlesAreRefused)
{
    HKEY key = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\K", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    int notAKey = 0;
    for (HKEY bad : {key, reinterpret_cast<HKEY>(&notAKey), static_cast<HKEY>(nullptr)}) {
        std::string text = "stale";
        EXPECT_EQ(GetKeyValue(bad, "", "v", text), ERROR_INVALID_HANDLE);
        EXPECT_EQ(text, "");
        EXPECT_EQ(SetKeyValue(bad, "Sub", "v", "x"), ERROR_INVALID_HANDLE);
        HKEY sub = HKEY_CURRENT_USER;
        EXPECT_EQ(CreateKey(bad, "Sub", &sub), ERROR_INVALID_HANDLE);
        EXPECT_EQ(sub, nullptr);
    }
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&notAKey)), ERROR_INVALID_HANDLE);

    // The user root is never freed, however often it is closed.
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\K", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(unixtest::Tree(config), (std::set<std::string>{"K", "K/v"}));
}

TEST_F(RegistryUnixTest, ValueNamedLikeAFolderIsNotFoundAndNotReplaced)
{
    fs::create_directories(config + "/K/v");
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "");
    EXPECT_NE(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "x"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_directory(config + "/K/v"));
    EXPECT_EQ(unixtest::Tree(config), (std::set<std::string>{"K", "K/v"}));
}

TEST_F(RegistryUnixTest, KeyNamedLikeAFileIsNotFound)
{
    unixtest::WriteFile(config + "/K", "a file");
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, "Software\\K\\L", "v", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", text), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(SetKeyValue(HKEY_CURRENT_USER, "Software\\K\\L", "v", "x"), ERROR_SUCCESS);
    EXPECT_EQ(unixtest::FileBytes(config + "/K"), "a file");
}

TEST_F(RegistryUnixTest, ValuesOverOneMebibyteAreRefused)
{
    const std::string limit(1024 * 1024, 'a');
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "fits", limit), ERROR_SUCCESS);
    EXPECT_EQ(read("Software\\K", "fits"), limit);

    unixtest::WriteFile(config + "/K/huge", limit + "b");
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "huge", text), ERROR_INVALID_DATA);
    EXPECT_EQ(text, "");
}

TEST_F(RegistryUnixTest, SpecialFilesPlantedAsValuesAreRefusedAtOnce)
{
    fs::create_directory(config + "/K");
    ASSERT_EQ(mkfifo((config + "/K/fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", config + "/K/zero");

    // A child with a deadline: a read that blocks or never ends fails the test.
    auto report = unixtest::RunInChild(
        [] {
            std::string out;
            for (const char* name : {"fifo", "zero"}) {
                std::string text = "stale";
                long status = GetKeyValue(HKEY_CURRENT_USER, "Software\\K", name, text);
                if (status == ERROR_SUCCESS || !text.empty())
                    out += std::string(name) + ": status " + std::to_string(status) + " text '" + text + "'; ";
            }
            return out;
        },
        std::nullopt, 5);
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, "");
}

TEST_F(RegistryUnixTest, FailedWriteKeepsTheOldValueAndLeavesNoTemporaryFile)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "old"), ERROR_SUCCESS);

    // Files may not grow past 8 bytes in the child: the write fails halfway.
    auto report = unixtest::RunInChild([] {
        rlimit limit{8, 8};
        signal(SIGXFSZ, SIG_IGN);
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return std::string("setrlimit failed");
        if (SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", std::string(100, 'n')) == ERROR_SUCCESS)
            return std::string("write past the limit succeeded");
        return std::string();
    });
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, "");
    EXPECT_EQ(read("Software\\K", "v"), "old");
    EXPECT_EQ(unixtest::Tree(config + "/K"), std::set<std::string>{"v"});
}

TEST_F(RegistryUnixTest, ReadOnlyKeyKeepsItsValueAndRefusesWithAccessDenied)
{
    chmod(outer.path().c_str(), 0755);
    ASSERT_EQ(chown(config.c_str(), unixtest::kNobody, unixtest::kNobody), 0);
    const std::string keyFolder = config + "/K";

    auto report = unixtest::RunInChild(
        [&keyFolder] {
            std::string out;
            if (SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "old") != ERROR_SUCCESS)
                return std::string("first write failed");
            chmod(keyFolder.c_str(), 0500);
            long status = SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "new");
            if (status != ERROR_ACCESS_DENIED)
                out += "write status " + std::to_string(status) + "; ";
            std::string text;
            if (GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", text) != ERROR_SUCCESS || text != "old")
                out += "read back '" + text + "'; ";
            return out;
        },
        unixtest::kNobody);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
    EXPECT_EQ(unixtest::Tree(keyFolder), std::set<std::string>{"v"});
}

TEST_F(RegistryUnixTest, KeyThatCannotBeEnteredIsAccessDenied)
{
    fs::create_directories(config + "/K");
    unixtest::WriteFile(config + "/K/v", "secret");
    chmod(outer.path().c_str(), 0755);
    chmod(config.c_str(), 0700);  // root's; nobody may not look inside

    auto report = unixtest::RunInChild(
        [] {
            std::string text = "stale";
            long status = GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", text);
            if (status != ERROR_ACCESS_DENIED || !text.empty())
                return "read status " + std::to_string(status) + " text '" + text + "'";
            return std::string();
        },
        unixtest::kNobody);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
}

TEST_F(RegistryUnixTest, NoHomeFolderMeansNoSettingsStore)
{
    const auto homeless = unixtest::UidWithoutAccount();
    if (!homeless)
        GTEST_SKIP() << "every uid tried has an account";
    ScopedEnv noHome("HOME", nullptr);
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);

    auto report = unixtest::RunInChild(
        [] {
            std::string out;
            std::string text = "stale";
            long status = GetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", text);
            if (status != ERROR_FILE_NOT_FOUND || !text.empty())
                out += "read status " + std::to_string(status) + "; ";
            if (SetKeyValue(HKEY_CURRENT_USER, "Software\\K", "v", "x") == ERROR_SUCCESS)
                out += "write succeeded; ";
            HKEY key = HKEY_CURRENT_USER;
            if (CreateKey(HKEY_CURRENT_USER, "Software\\K", &key) == ERROR_SUCCESS || key != nullptr)
                out += "key created; ";
            return out;
        },
        *homeless);
    if (!report)
        GTEST_SKIP() << "cannot run as another user";
    EXPECT_EQ(*report, "");
}

}  // namespace
