// The program's manifest travels inside the executable, where Windows reads
// it at start. Under Wine only its presence can be seen: Wine neither elevates
// nor asks, so what Windows does with the level is not tested here.

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

TEST(WindowsManifest, AsksForTheHighestRightsTheUserHas)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    const std::string text(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
    EXPECT_NE(text.find("<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>"), std::string::npos);
}
