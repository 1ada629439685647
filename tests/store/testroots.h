#pragma once
// Private settings and data roots for the platform contract tests, so that
// they never touch the user's own. Each platform has its twin:
// testroots_unix.cpp points the XDG variables at temporary folders; the
// Windows one is to use a fresh key below HKEY_CURRENT_USER\Software and a
// redirected application-data folder.

#include <memory>
#include <optional>
#include <string>

// A settings key of the test's own, removed with everything below it.
class TestSettingsRoot {
public:
    TestSettingsRoot();
    ~TestSettingsRoot();
    TestSettingsRoot(const TestSettingsRoot&) = delete;
    TestSettingsRoot& operator=(const TestSettingsRoot&) = delete;

    // Its path below HKEY_CURRENT_USER; the key itself does not exist yet.
    const std::string& subKey() const;

    // These look at the store directly, past the functions under test.
    // relativePath is below subKey(), "" for subKey() itself.
    bool keyExists(const std::string& relativePath) const;
    // The stored bytes of a value; nullopt when there is no such value.
    std::optional<std::string> storedBytes(const std::string& relativePath,
                                           const std::string& valueName) const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

#ifdef _WIN32
// The characters a registry value holds below HKEY_CURRENT_USER, read past
// the ANSI layer; nullopt when there is no such string value.
std::optional<std::wstring> storedCharacters(const std::wstring& subKey, const std::wstring& name);
#endif

// An empty folder that GetSpecialFolder(kCsidlAppData) reports while this lives.
class TestDataRoot {
public:
    TestDataRoot();
    ~TestDataRoot();
    TestDataRoot(const TestDataRoot&) = delete;
    TestDataRoot& operator=(const TestDataRoot&) = delete;

    // With a trailing separator, as GetSpecialFolder reports it.
    const std::string& folder() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};
