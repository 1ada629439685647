// The settings store's Windows side: text crosses in the ANSI code page, so
// the registry must hold characters, also where that code page needs two
// bytes for some; and a key that could not be created is refused by every
// call that the program makes with it.

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "registry.h"
#include "testroots.h"

namespace {

bool ansiCodePageIsMultiByte()
{
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

// The text in the ANSI code page; nullopt when it has no bytes for some character.
std::optional<std::string> toAnsi(const std::wstring& text)
{
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, &lossy);
    if (length <= 0 || lossy)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr,
                        nullptr);
    return bytes;
}

std::wstring widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// scripts/test-windows.sh runs these a second time with a two-byte code page.
TEST(RegistryCodePage, TwoByteTextIsStoredAsCharactersAndReadsBackAsTheSameBytes)
{
    if (!ansiCodePageIsMultiByte()) {
        if (std::getenv("RAVODOR_EXPECT_MULTIBYTE_ACP"))
            FAIL() << "asked for a two-byte ANSI code page, got " << GetACP();
        GTEST_SKIP() << "ANSI code page " << GetACP() << " has one byte per character; "
                     << "ctest runs this again under a Japanese and a Chinese locale";
    }
    TestSettingsRoot root;
    // 日本語の表示 2026: in code page 932 the second byte of 表 is a backslash.
    const std::wstring text = L"\u65E5\u672C\u8A9E\u306E\u8868\u793A 2026";
    const std::wstring name = L"\u65E5\u4ED8";     // 日付
    const std::wstring keyName = L"\u8868\u793A";  // 表示
    const auto ansiText = toAnsi(text);
    const auto ansiName = toAnsi(name);
    const auto ansiKey = toAnsi(keyName);
    ASSERT_TRUE(ansiText && ansiName && ansiKey) << "code page " << GetACP() << " lacks these characters";
    ASSERT_GT(ansiText->size(), text.size()) << "expected two bytes for some characters";

    const std::string subKey = root.subKey() + "\\" + *ansiKey;
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, subKey, *ansiName, *ansiText), ERROR_SUCCESS);

    EXPECT_EQ(storedCharacters(widen(root.subKey()) + L"\\" + keyName, name), text);
    EXPECT_EQ(root.storedBytes(*ansiKey, *ansiName), *ansiText);
    std::string back = "stale";
    EXPECT_EQ(GetKeyValue(HKEY_CURRENT_USER, subKey, *ansiName, back), ERROR_SUCCESS);
    EXPECT_EQ(back, *ansiText);
}

TEST(RegistryFailedKey, EveryCallWithAKeyThatCouldNotBeCreatedFails)
{
    // Not a key: what a caller holds when CreateKey has failed.
    HKEY key = nullptr;
    EXPECT_NE(CreateKey(reinterpret_cast<HKEY>(static_cast<INT_PTR>(0x7654)), "Software", &key), ERROR_SUCCESS);

    std::string text = "stale";
    EXPECT_NE(GetKeyValue(key, "", "StartAltered", text), ERROR_SUCCESS);
    EXPECT_EQ(text, "");
    EXPECT_NE(SetKeyValue(key, "", "StartAltered", "1"), ERROR_SUCCESS);
    EXPECT_NE(GetKeyValue(nullptr, "RecentFiles", "1", text), ERROR_SUCCESS);
    EXPECT_NE(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
