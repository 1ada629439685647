// The settings store on Linux: one folder per key, one file per value holding
// the value's bytes. HKEY_CURRENT_USER\Software is $XDG_CONFIG_HOME.
//
// A key and a value of the same name cannot both exist in one key here (they
// would share a file name); the program never needs that.

#include "registry.h"

#include <cerrno>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "xdgdirs_unix.h"

struct RegistryKey {
    std::string folder;
};

namespace {

// HKEY_CURRENT_USER itself has no folder: only its "Software" key is kept.
RegistryKey userRoot;

// Half-written values; a value of such a name could be mistaken for one.
const char kTempPrefix[] = ".ravodor-tmp-";
// Nothing this program writes comes near it; a bigger file is not ours.
constexpr std::size_t kMaxValueBytes = 1024 * 1024;

// Handles handed out by CreateKey, so a stale or foreign one is refused
// instead of followed.
std::mutex keysMutex;
std::set<HKEY>& liveKeys()
{
    static std::set<HKEY> keys;
    return keys;
}

bool isLive(HKEY key)
{
    std::lock_guard<std::mutex> lock(keysMutex);
    return liveKeys().count(key) != 0;
}

long fromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_WRITE_FAULT;
    }
}

// A single file or folder name that stays inside its parent folder.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool isValueName(const std::string& name)
{
    return isPlainName(name) && name.compare(0, sizeof kTempPrefix - 1, kTempPrefix) != 0;
}

// Empty parts (doubled, leading or trailing backslashes) are skipped.
bool splitKeyPath(const std::string& path, std::vector<std::string>& parts)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            if (!isPlainName(part))
                return false;
            parts.push_back(part);
        }
        start = end + 1;
    }
    return true;
}

// The folder of the key at subKey below root. userRootItself is set when that
// key is HKEY_CURRENT_USER, which holds no values here.
long locateKey(HKEY root, const std::string& subKey, bool creating, std::string& folder,
               bool& userRootItself)
{
    std::vector<std::string> parts;
    if (!splitKeyPath(subKey, parts))
        return ERROR_INVALID_PARAMETER;
    userRootItself = false;
    folder.clear();
    if (root == HKEY_CURRENT_USER) {
        if (parts.empty()) {
            userRootItself = true;
            return ERROR_SUCCESS;
        }
        // Key names are case-insensitive on Windows; below "Software" the
        // file system decides.
        if (strcasecmp(parts.front().c_str(), "Software") == 0)
            folder = xdg::baseFolder("XDG_CONFIG_HOME", ".config");
        if (folder.empty())
            return creating ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        parts.erase(parts.begin());
    } else if (root && isLive(root)) {
        folder = root->folder;
    } else {
        return ERROR_INVALID_HANDLE;
    }
    for (const std::string& part : parts)
        folder += '/' + part;
    return ERROR_SUCCESS;
}

long openKey(HKEY root, const std::string& subKey, std::string& folder, bool& userRootItself)
{
    long status = locateKey(root, subKey, false, folder, userRootItself);
    if (status != ERROR_SUCCESS || userRootItself)
        return status;
    struct stat info;
    if (stat(folder.c_str(), &info) != 0)
        return fromErrno(errno);
    return S_ISDIR(info.st_mode) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

long createKey(HKEY root, const std::string& subKey, std::string& folder, bool& userRootItself)
{
    long status = locateKey(root, subKey, true, folder, userRootItself);
    if (status != ERROR_SUCCESS || userRootItself)
        return status;
    int error = xdg::makeFolders(folder);
    return error ? fromErrno(error) : ERROR_SUCCESS;
}

long readValue(const std::string& file, std::string& text)
{
    // O_NONBLOCK: a FIFO planted as a value must not hang the program.
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fromErrno(errno);
    long status = ERROR_SUCCESS;
    std::string bytes;
    struct stat info;
    if (fstat(fd, &info) != 0) {
        status = fromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {
        status = ERROR_FILE_NOT_FOUND;
    } else if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > kMaxValueBytes) {
        status = ERROR_INVALID_DATA;
    } else {
        // The file may grow while it is read: the limit holds for what is read.
        char chunk[65536];
        for (;;) {
            ssize_t got = read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                status = fromErrno(errno);
                break;
            }
            if (got == 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(got));
            if (bytes.size() > kMaxValueBytes) {
                status = ERROR_INVALID_DATA;
                break;
            }
        }
    }
    close(fd);
    if (status == ERROR_SUCCESS)
        text = bytes.substr(0, bytes.find('\0'));
    return status;
}

int writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        if (put == 0)
            return EIO;
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

// Readers see either the old value whole or the new one whole.
long writeValue(const std::string& folder, const std::string& name, const std::string& bytes)
{
    std::string temp = folder + '/' + kTempPrefix + "XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0)
        return fromErrno(errno);
    int error = writeAll(fd, bytes);
    if (!error && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && !error)
        error = errno;
    if (!error && rename(temp.c_str(), (folder + '/' + name).c_str()) != 0)
        error = errno;
    if (error) {
        unlink(temp.c_str());
        return fromErrno(error);
    }
    // Makes the rename itself durable; the value is in place either way.
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return ERROR_SUCCESS;
}

}  // namespace

HKEY const HKEY_CURRENT_USER = &userRoot;

long RegCloseKey(HKEY key)
{
    if (key == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(keysMutex);
        if (!key || liveKeys().erase(key) == 0)
            return ERROR_INVALID_HANDLE;
    }
    delete key;
    return ERROR_SUCCESS;
}

long CreateKey(HKEY root, const std::string& subKey, HKEY* key)
{
    if (!key)
        return ERROR_INVALID_PARAMETER;
    *key = nullptr;
    std::string folder;
    bool userRootItself = false;
    long status = createKey(root, subKey, folder, userRootItself);
    if (status != ERROR_SUCCESS)
        return status;
    if (userRootItself) {
        *key = HKEY_CURRENT_USER;
        return ERROR_SUCCESS;
    }
    HKEY handle = new (std::nothrow) RegistryKey{folder};
    if (!handle)
        return ERROR_NOT_ENOUGH_MEMORY;
    {
        std::lock_guard<std::mutex> lock(keysMutex);
        liveKeys().insert(handle);
    }
    *key = handle;
    return ERROR_SUCCESS;
}

namespace {

// The file of an existing value's place: the user's root holds no values.
long valueFile(HKEY root, const std::string& subKey, const std::string& valueName, std::string& file)
{
    std::string folder;
    bool userRootItself = false;
    long status = openKey(root, subKey, folder, userRootItself);
    if (status != ERROR_SUCCESS)
        return status;
    if (userRootItself)
        return ERROR_FILE_NOT_FOUND;
    if (!isValueName(valueName))
        return ERROR_INVALID_PARAMETER;
    file = folder + '/' + valueName;
    return ERROR_SUCCESS;
}

}  // namespace

long GetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, std::string& text)
{
    text.clear();
    std::string file;
    if (long status = valueFile(root, subKey, valueName, file))
        return status;
    return readValue(file, text);
}

long SetKeyValue(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& text)
{
    // Checked first so that a refused name creates no key either.
    if (!isValueName(valueName))
        return ERROR_INVALID_PARAMETER;
    std::string folder;
    bool userRootItself = false;
    long status = createKey(root, subKey, folder, userRootItself);
    if (status != ERROR_SUCCESS)
        return status;
    if (userRootItself)
        return ERROR_ACCESS_DENIED;
    return writeValue(folder, valueName, text);
}

long DeleteKeyValue(HKEY root, const std::string& subKey, const std::string& valueName)
{
    std::string file;
    if (long status = valueFile(root, subKey, valueName, file))
        return status;
    struct stat info;
    // A subkey of that name is not a value.
    if (lstat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return ERROR_FILE_NOT_FOUND;
    if (unlink(file.c_str()) != 0)
        return fromErrno(errno);
    return ERROR_SUCCESS;
}
