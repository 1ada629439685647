// The presets folder's contract, the same on every platform: found or made
// below the application-data folder, else the caller's fallback, and always
// ending in the platform's separator.

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "appdata.h"
#include "testroots.h"

namespace fs = std::filesystem;

namespace {

const std::string sep(1, kPathSeparator);

// Every path below a folder, to show that nothing was created or removed.
std::set<std::string> tree(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

void writeFile(const std::string& path)
{
    std::ofstream(path) << "not a folder";
}

class AppDataTest : public ::testing::Test {
protected:
    TestDataRoot root;
    const std::string maker = root.folder() + "Zaduziro software";
    const std::string program = maker + sep + "Ravodor";
    const std::string fallback = "program" + sep + "folder";
};

TEST_F(AppDataTest, SpecialFolderIsTheDataRootWithTrailingSeparator)
{
    EXPECT_EQ(GetSpecialFolder(kCsidlAppData), root.folder());
}

TEST_F(AppDataTest, BothFoldersExistNothingIsCreated)
{
    fs::create_directories(program);
    writeFile(program + sep + "ravodor.ini");
    const auto before = tree(root.folder());

    EXPECT_EQ(GetAppDataFolder(fallback), program + sep);
    EXPECT_EQ(tree(root.folder()), before);
}

TEST_F(AppDataTest, NeitherFolderExistsBothAreCreated)
{
    EXPECT_EQ(GetAppDataFolder(fallback), program + sep);
    EXPECT_TRUE(fs::is_directory(program));
}

TEST_F(AppDataTest, OnlyTheMakerFolderExistsTheProgramFolderIsCreatedInIt)
{
    fs::create_directory(maker);
    writeFile(maker + sep + "other.txt");

    EXPECT_EQ(GetAppDataFolder(fallback), program + sep);
    EXPECT_TRUE(fs::is_directory(program));
    EXPECT_TRUE(fs::is_regular_file(maker + sep + "other.txt"));
}

TEST_F(AppDataTest, PlainFileNamedLikeTheMakerFolderGivesTheFallback)
{
    writeFile(maker);

    EXPECT_EQ(GetAppDataFolder(fallback), fallback + sep);
    EXPECT_TRUE(fs::is_regular_file(maker));
}

TEST_F(AppDataTest, PlainFileNamedLikeTheProgramFolderGivesTheFallback)
{
    fs::create_directory(maker);
    writeFile(program);

    EXPECT_EQ(GetAppDataFolder(fallback), fallback + sep);
    EXPECT_TRUE(fs::is_directory(maker));
    EXPECT_TRUE(fs::is_regular_file(program));
}

TEST_F(AppDataTest, FallbackGetsExactlyOneTrailingSeparator)
{
    writeFile(maker);

    EXPECT_EQ(GetAppDataFolder(fallback + sep), fallback + sep);
    EXPECT_EQ(GetAppDataFolder(""), sep);
}

TEST(AppDataPaths, AddBackslashAppendsTheSeparatorOnlyWhenMissing)
{
    EXPECT_EQ(AddBackslash(""), sep);
    EXPECT_EQ(AddBackslash("a"), "a" + sep);
    EXPECT_EQ(AddBackslash("a" + sep), "a" + sep);
    EXPECT_EQ(AddBackslash("a" + sep + sep), "a" + sep + sep);
    EXPECT_EQ(AddBackslash(sep), sep);
}

TEST(AppDataPaths, StripBackslashDropsEveryTrailingSeparator)
{
    EXPECT_EQ(StripBackslash(""), "");
    EXPECT_EQ(StripBackslash(sep + sep + sep), "");
    EXPECT_EQ(StripBackslash("a" + sep + sep), "a");
    EXPECT_EQ(StripBackslash("a"), "a");
    EXPECT_EQ(StripBackslash(sep + "a" + sep + "b" + sep), sep + "a" + sep + "b");
}

TEST_F(AppDataTest, FolderExistsWithOrWithoutTrailingSeparatorsAndNotForFiles)
{
    fs::create_directory(maker);
    writeFile(program);

    for (const std::string& path : {maker, maker + sep, maker + sep + sep, root.folder()})
        EXPECT_TRUE(FolderExists(path)) << path;
    for (const std::string& path : {program, program + sep, maker + sep + "missing", maker + sep + "missing" + sep})
        EXPECT_FALSE(FolderExists(path)) << path;
}

}  // namespace
