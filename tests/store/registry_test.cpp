// The settings store's contract, the same on every platform: status codes,
// keys created on demand, and values that read back as they were written.

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "registry.h"
#include "testroots.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    TestSettingsRoot root;

    // A path below HKEY_CURRENT_USER inside the test's own key.
    std::string key(const std::string& relativePath = {}) const
    {
        return relativePath.empty() ? root.subKey() : root.subKey() + "\\" + relativePath;
    }

    std::optional<std::string> read(HKEY base, const std::string& subKey, const std::string& name)
    {
        std::string text = "stale";
        long status = GetKeyValue(base, subKey, name, text);
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        return text;
    }
};

TEST_F(RegistryTest, MissingValueIsNotFoundWithEmptyText)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Present", "x"), ERROR_SUCCESS);

    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, key(), "Absent", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "");
}

TEST_F(RegistryTest, MissingKeyFailsAtOpenWithEmptyTextAndCreatesNothing)
{
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, key("Missing\\Deeper"), "Value", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(root.keyExists(""));

    HKEY own = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, key(), &own), ERROR_SUCCESS);
    text = "stale";
    EXPECT_EQ(GetKeyValue(own, "Missing", "Value", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(root.keyExists("Missing"));
    EXPECT_EQ(RegCloseKey(own), ERROR_SUCCESS);
}

TEST_F(RegistryTest, WritingCreatesEveryMissingKeyOnThePath)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("A\\B\\C"), "Value", "deep"), ERROR_SUCCESS);

    for (const char* path : {"", "A", "A\\B", "A\\B\\C"})
        EXPECT_TRUE(root.keyExists(path)) << path;
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A\\B\\C"), "Value"), "deep");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A\\B"), "Value"), std::nullopt);
}

TEST_F(RegistryTest, CreateKeyCreatesThePathOrOpensTheExistingKey)
{
    HKEY created = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, key("Settings\\RecentFiles"), &created), ERROR_SUCCESS);
    EXPECT_TRUE(root.keyExists("Settings\\RecentFiles"));
    EXPECT_EQ(SetKeyValue(created, "", "1", "first"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);

    HKEY opened = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, key("Settings\\RecentFiles"), &opened), ERROR_SUCCESS);
    EXPECT_EQ(read(opened, "", "1"), "first");
    EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
}

TEST_F(RegistryTest, StoresExactlyTheTextBytesWithoutTerminator)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Date", "31-12-2026"), ERROR_SUCCESS);
    EXPECT_EQ(root.storedBytes("", "Date"), "31-12-2026");

    // UTF-8 here, two-byte characters in the East Asian code pages: either
    // way the bytes go in as they are.
    const std::string multiByte = "D\xC3\xBC" "sseldorf \xE2\x82\xAC \xE6\x97\xA5";
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Place", multiByte), ERROR_SUCCESS);
    EXPECT_EQ(root.storedBytes("", "Place"), multiByte);
}

TEST_F(RegistryTest, TextsReadBackAsWritten)
{
    const std::string texts[] = {
        "0",
        "1",
        "07/12/2026",
        " leading and trailing blanks ",
        "Zaduziro \xE2\x80\x94 Ravodor",                     // em dash
        "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",  // Ünïcødé 日本語
        std::string(5000, 'x') + "end",
    };
    int name = 0;
    for (const std::string& text : texts)
        ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), std::to_string(++name), text), ERROR_SUCCESS);
    name = 0;
    for (const std::string& text : texts)
        EXPECT_EQ(read(HKEY_CURRENT_USER, key(), std::to_string(++name)), text) << "value " << name;
}

TEST_F(RegistryTest, ShorterTextReplacesALongerOneWhole)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Value", "a much longer text"), ERROR_SUCCESS);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Value", "short"), ERROR_SUCCESS);

    EXPECT_EQ(read(HKEY_CURRENT_USER, key(), "Value"), "short");
    EXPECT_EQ(root.storedBytes("", "Value"), "short");
}

TEST_F(RegistryTest, EmptyTextIsAZeroLengthValue)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "StartAltered", ""), ERROR_SUCCESS);

    EXPECT_EQ(root.storedBytes("", "StartAltered"), "");
    std::string text = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, key(), "StartAltered", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "");
}

TEST_F(RegistryTest, ValueHoldingNulReadsBackCutBeforeIt)
{
    const std::string withNul("12\0" "34", 5);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Cut", withNul), ERROR_SUCCESS);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key(), "Lead", std::string("\0" "56", 3)), ERROR_SUCCESS);

    EXPECT_EQ(root.storedBytes("", "Cut"), withNul);
    EXPECT_EQ(read(HKEY_CURRENT_USER, key(), "Cut"), "12");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key(), "Lead"), "");
}

TEST_F(RegistryTest, EmptySubKeyPathAddressesTheRootKeyItself)
{
    HKEY own = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, key("Own"), &own), ERROR_SUCCESS);

    EXPECT_EQ(SetKeyValue(own, "", "StartAltered", "1"), ERROR_SUCCESS);
    EXPECT_EQ(root.storedBytes("Own", "StartAltered"), "1");
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("Own"), "Other", "2"), ERROR_SUCCESS);
    EXPECT_EQ(read(own, "", "Other"), "2");
    EXPECT_EQ(read(own, "", "StartAltered"), "1");

    EXPECT_EQ(RegCloseKey(own), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SubKeyPathIsTakenBelowAnOpenKey)
{
    HKEY own = nullptr;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, key(), &own), ERROR_SUCCESS);

    EXPECT_EQ(SetKeyValue(own, "RecentFiles", "1", "01-01-2000"), ERROR_SUCCESS);
    EXPECT_TRUE(root.keyExists("RecentFiles"));
    EXPECT_EQ(root.storedBytes("RecentFiles", "1"), "01-01-2000");
    EXPECT_EQ(read(own, "RecentFiles", "1"), "01-01-2000");

    EXPECT_EQ(RegCloseKey(own), ERROR_SUCCESS);
}

TEST_F(RegistryTest, TrailingBackslashNamesTheSameKey)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("K") + "\\", "Value", "x"), ERROR_SUCCESS);

    EXPECT_EQ(root.storedBytes("K", "Value"), "x");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("K") + "\\", "Value"), "x");
}

TEST_F(RegistryTest, ValuesAreKeptApartByNameAndByKey)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("A"), "v", "A.v"), ERROR_SUCCESS);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("A"), "w", "A.w"), ERROR_SUCCESS);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("B"), "v", "B.v"), ERROR_SUCCESS);

    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A"), "v"), "A.v");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A"), "w"), "A.w");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("B"), "v"), "B.v");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("B"), "w"), std::nullopt);
}

TEST_F(RegistryTest, DeletingAValueLeavesItsNeighboursAndIsNotFoundTheSecondTime)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("A"), "v", "A.v"), ERROR_SUCCESS);
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, key("A"), "w", "A.w"), ERROR_SUCCESS);

    EXPECT_EQ(DeleteKeyValue(HKEY_CURRENT_USER, key("A"), "v"), ERROR_SUCCESS);
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A"), "v"), std::nullopt);
    EXPECT_EQ(read(HKEY_CURRENT_USER, key("A"), "w"), "A.w");
    EXPECT_EQ(DeleteKeyValue(HKEY_CURRENT_USER, key("A"), "v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteKeyValue(HKEY_CURRENT_USER, key("Missing"), "v"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(root.keyExists("Missing"));
}

TEST_F(RegistryTest, ClosingNoKeyIsAnInvalidHandle)
{
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

}  // namespace
