// The test roots on Linux: the XDG variables point at fresh temporary folders.

#include "testroots.h"

#include <filesystem>

#include "unixtestutil.h"

namespace fs = std::filesystem;
using unixtest::ScopedEnv;
using unixtest::TempFolder;

struct TestSettingsRoot::State {
    TempFolder config;
    ScopedEnv env{"XDG_CONFIG_HOME", config.path()};
    std::string subKey = "Software\\RavodorTest";

    fs::path folderOf(const std::string& relativePath) const
    {
        fs::path folder = fs::path(config.path()) / "RavodorTest";
        std::string::size_type start = 0;
        while (start <= relativePath.size()) {
            std::string::size_type end = relativePath.find('\\', start);
            if (end == std::string::npos)
                end = relativePath.size();
            if (end > start)
                folder /= relativePath.substr(start, end - start);
            start = end + 1;
        }
        return folder;
    }
};

TestSettingsRoot::TestSettingsRoot() : state_(std::make_unique<State>()) {}
TestSettingsRoot::~TestSettingsRoot() = default;

const std::string& TestSettingsRoot::subKey() const
{
    return state_->subKey;
}

bool TestSettingsRoot::keyExists(const std::string& relativePath) const
{
    return fs::is_directory(state_->folderOf(relativePath));
}

std::optional<std::string> TestSettingsRoot::storedBytes(const std::string& relativePath,
                                                         const std::string& valueName) const
{
    fs::path file = state_->folderOf(relativePath) / valueName;
    if (!fs::is_regular_file(file))
        return std::nullopt;
    return unixtest::FileBytes(file.string());
}

struct TestDataRoot::State {
    TempFolder data;
    ScopedEnv env{"XDG_DATA_HOME", data.path()};
    std::string folder = data.path() + '/';
};

TestDataRoot::TestDataRoot() : state_(std::make_unique<State>()) {}
TestDataRoot::~TestDataRoot() = default;

const std::string& TestDataRoot::folder() const
{
    return state_->folder;
}
