// The test roots on Windows: a fresh key below HKEY_CURRENT_USER\Software,
// and a temporary folder that the shell reports as the application-data
// folder because, for this process only, HKEY_CURRENT_USER is mapped onto a
// key of the test's own whose "User Shell Folders" name that folder.

#include "testroots.h"

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <windows.h>
#include <shlobj.h>

namespace fs = std::filesystem;

namespace {

const char kTestParent[] = "Software\\RavodorTest";

std::string uniqueName(const char* what)
{
    static std::atomic<unsigned> counter{0};
    return std::string(what) + "-" + std::to_string(GetCurrentProcessId()) + "-"
           + std::to_string(GetTickCount64()) + "-" + std::to_string(++counter);
}

// Removes a key of ours with everything below it, and the common parent once
// no other run uses it.
void deleteTestKey(const std::string& subKey)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestParent);  // fails while it has keys
}

std::wstring wide(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &result[0], length);
    return result;
}

std::string ansi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr,
                        nullptr);
    return result;
}

std::string shellAppDataFolder()
{
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return {};
    return path;
}

std::string withoutSeparator(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

}  // namespace

struct TestSettingsRoot::State {
    std::string subKey = std::string(kTestParent) + "\\" + uniqueName("settings");

    std::string pathOf(const std::string& relativePath) const
    {
        return relativePath.empty() ? subKey : subKey + "\\" + relativePath;
    }
};

TestSettingsRoot::TestSettingsRoot() : state_(std::make_unique<State>()) {}

TestSettingsRoot::~TestSettingsRoot()
{
    deleteTestKey(state_->subKey);
}

const std::string& TestSettingsRoot::subKey() const
{
    return state_->subKey;
}

bool TestSettingsRoot::keyExists(const std::string& relativePath) const
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, state_->pathOf(relativePath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> storedCharacters(const std::wstring& subKey, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::wstring data;
    LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data.assign((size + 1) / 2, L'\0');
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size / 2);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    // Given a count without terminator, the system stores one all the same
    // when the byte after the counted data is NUL: that one is not the text.
    if (!data.empty() && data.back() == L'\0')
        data.pop_back();
    return data;
}

// The registry keeps text as UTF-16: read that and turn it into the ANSI
// bytes that went in.
std::optional<std::string> TestSettingsRoot::storedBytes(const std::string& relativePath,
                                                         const std::string& valueName) const
{
    const std::optional<std::wstring> data = storedCharacters(wide(state_->pathOf(relativePath)), wide(valueName));
    return data ? std::optional<std::string>(ansi(*data)) : std::nullopt;
}

struct TestDataRoot::State {
    std::string overrideKey = std::string(kTestParent) + "\\" + uniqueName("user");
    HKEY overrideRoot = nullptr;
    bool overridden = false;
    std::string folder;

    State()
    {
        char temp[MAX_PATH];
        const DWORD length = GetTempPathA(MAX_PATH, temp);
        if (length == 0 || length >= MAX_PATH)
            throw std::runtime_error("no temporary folder");
        const std::string made = std::string(temp, length) + uniqueName("ravodor-appdata");
        if (!CreateDirectoryA(made.c_str(), nullptr))
            throw std::runtime_error("cannot create " + made);
        // The shell reports long names; the temporary folder may be given short.
        char longName[MAX_PATH];
        const DWORD longLength = GetLongPathNameA(made.c_str(), longName, MAX_PATH);
        folder = (longLength > 0 && longLength < MAX_PATH ? std::string(longName, longLength) : made) + "\\";

        HKEY shellFolders = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, overrideKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &overrideRoot, nullptr) != ERROR_SUCCESS
            || RegCreateKeyExA(overrideRoot,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                               nullptr, 0, KEY_ALL_ACCESS, nullptr, &shellFolders, nullptr) != ERROR_SUCCESS) {
            release();
            throw std::runtime_error("cannot create the key " + overrideKey);
        }
        const std::string value = withoutSeparator(folder);
        const LONG set = RegSetValueExA(shellFolders, "AppData", 0, REG_EXPAND_SZ,
                                        reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>(value.size() + 1));
        RegCloseKey(shellFolders);
        overridden = set == ERROR_SUCCESS && RegOverridePredefKey(HKEY_CURRENT_USER, overrideRoot) == ERROR_SUCCESS;
        // A shell that ignores the mapping would have the tests work in the
        // user's real folder: refuse to go on.
        const std::string reported = shellAppDataFolder();
        if (!overridden || lstrcmpiA(reported.c_str(), value.c_str()) != 0) {
            release();
            throw std::runtime_error("the application-data folder could not be redirected (the shell reports \""
                                     + reported + "\")");
        }
    }

    ~State() { release(); }

    void release()
    {
        if (overridden)
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        overridden = false;
        if (overrideRoot)
            RegCloseKey(overrideRoot);
        overrideRoot = nullptr;
        deleteTestKey(overrideKey);
        if (!folder.empty()) {
            std::error_code ignored;
            fs::remove_all(withoutSeparator(folder), ignored);
        }
    }
};

TestDataRoot::TestDataRoot() : state_(std::make_unique<State>()) {}
TestDataRoot::~TestDataRoot() = default;

const std::string& TestDataRoot::folder() const
{
    return state_->folder;
}
