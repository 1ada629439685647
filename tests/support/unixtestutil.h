#pragma once
// Linux-only helpers for the platform tests: temporary folders, environment
// changes undone at the end of a scope, and work done in a child process
// (possibly without root's rights, which would bypass every permission).

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace unixtest {

// The unprivileged user that root's children become.
constexpr uid_t kNobody = 65534;

// An empty folder of the test's own (mode 0700), removed with its contents.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ravodor-test-XXXXXX").string();
        if (!mkdtemp(&pattern[0]))
            throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
        path_ = pattern;
    }
    ~TempFolder()
    {
        // Tests leave read-only folders behind; give them back to the owner first.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing separator.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Sets (or, with nullptr, unsets) an environment variable until the scope ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A uid without an account, so without a home folder; nullopt when none found.
// The permission bits of a file or folder.
inline mode_t modeOf(const std::string& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

inline std::optional<uid_t> UidWithoutAccount()
{
    for (uid_t uid = 54321; uid < 54400; ++uid) {
        if (!getpwuid(uid))
            return uid;
    }
    return std::nullopt;
}

// Every path below a folder, relative to it, to compare before and after.
inline std::set<std::string> Tree(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.insert(std::filesystem::relative(entry.path(), folder).string());
    return names;
}

// A file's bytes, nullopt when it cannot be read.
inline std::optional<std::string> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs body in a forked child and returns what it reports: empty when all went
// well, else what went wrong. With asUser set, the child first becomes that
// user (group nobody); nullopt when that is not possible (not running as
// root). A child still busy after timeoutSeconds is killed and reported.
inline std::optional<std::string> RunInChild(const std::function<std::string()>& body,
                                             std::optional<uid_t> asUser = std::nullopt,
                                             unsigned timeoutSeconds = 10)
{
    if (asUser && geteuid() != 0)
        return std::nullopt;
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        close(fds[0]);
        alarm(timeoutSeconds);
        if (asUser && (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
                       setresuid(*asUser, *asUser, *asUser) != 0))
            _exit(77);
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("exception: ") + e.what();
        }
        for (std::size_t done = 0; done < report.size();) {
            ssize_t put = write(fds[1], report.data() + done, report.size() - done);
            if (put <= 0)
                break;
            done += static_cast<std::size_t>(put);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        report.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return std::nullopt;
    if (WIFSIGNALED(status))
        report += " [child killed by signal " + std::to_string(WTERMSIG(status)) + "]";
    return report;
}

}  // namespace unixtest
