// The Linux settings store reading what it finds on disk: the input becomes a
// value file, or a folder, a huge sparse file, a FIFO, a symlink or a file
// where the key folder should be, or hostile key paths and value names.
// After each read a write and a read back must work wherever the store can
// write, and nothing may appear outside $XDG_CONFIG_HOME.
//
// Input: byte 0 picks the case, byte 1 tunes it, the rest is the payload.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "registry.h"

namespace {

const char kKey[] = "Software\\Zaduziro\\ravodor";
const char kValue[] = "StartAltered";
constexpr off_t kLimit = 1024 * 1024;  // the store's limit for a value file

std::string base;    // holds only "config"
std::string config;  // $XDG_CONFIG_HOME
std::string keyFolder;
std::string valueFile;

[[noreturn]] void fail(const char* what, long status)
{
    std::fprintf(stderr, "%s (status %ld)\n", what, status);
    std::abort();
}

void expect(bool ok, const char* what, long status = 0)
{
    if (!ok)
        fail(what, status);
}

int removeEntry(const char* path, const struct stat*, int, FTW*)
{
    return remove(path);
}

void clearConfig()
{
    nftw(config.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    expect(fd >= 0, "cannot prepare a file");
    expect(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "short write");
    close(fd);
}

void makeKeyFolder()
{
    expect(mkdir(config.c_str(), 0700) == 0 || errno == EEXIST, "mkdir config");
    mkdir((config + "/Zaduziro").c_str(), 0700);
    mkdir(keyFolder.c_str(), 0700);
}

std::string beforeNul(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// Nothing may be left beside "config", and no half-written value in the key.
void checkContained()
{
    DIR* dir = opendir(base.c_str());
    expect(dir != nullptr, "base folder vanished");
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "config") {
            std::fprintf(stderr, "written outside XDG_CONFIG_HOME: %s\n", name.c_str());
            std::abort();
        }
    }
    closedir(dir);
    if (DIR* key = opendir(keyFolder.c_str())) {
        while (dirent* entry = readdir(key))
            expect(std::strncmp(entry->d_name, ".ravodor-tmp-", 13) != 0, "a temporary file was left behind");
        closedir(key);
    }
}

// A write of a NUL-free text must read back the same; a text with a NUL reads
// back up to it.
void roundTrip(const std::string& key, const std::string& name, const std::string& text)
{
    const long set = SetKeyValue(HKEY_CURRENT_USER, key, name, text);
    if (set != ERROR_SUCCESS)
        return;
    std::string back;
    const long got = GetKeyValue(HKEY_CURRENT_USER, key, name, back);
    expect(got == ERROR_SUCCESS, "a value just written cannot be read", got);
    expect(back == beforeNul(text), "a value does not read back as written");
}

void plainFile(const std::string& payload)
{
    makeKeyFolder();
    writeFile(valueFile, payload);
    std::string text = "stale";
    const long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    expect(status == ERROR_SUCCESS, "a small value file cannot be read", status);
    expect(text == beforeNul(payload), "a value file reads wrong");
    roundTrip(kKey, kValue, payload);
    roundTrip(kKey, kValue, text + "1");
}

void folderAsValue(const std::string& payload)
{
    makeKeyFolder();
    expect(mkdir(valueFile.c_str(), 0700) == 0, "mkdir value");
    writeFile(valueFile + "/inside", payload);
    std::string text = "stale";
    long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    expect(status == ERROR_FILE_NOT_FOUND && text.empty(), "a folder read as a value", status);
    status = SetKeyValue(HKEY_CURRENT_USER, kKey, kValue, payload);
    expect(status != ERROR_SUCCESS, "a value was written over a folder", status);
    struct stat info;
    expect(stat((valueFile + "/inside").c_str(), &info) == 0 && info.st_size == static_cast<off_t>(payload.size()),
           "the folder's content was touched");
}

void hugeFile(std::uint8_t tune, const std::string& payload)
{
    makeKeyFolder();
    writeFile(valueFile, payload);
    // Around the limit, or far beyond it: sparse either way, so cheap.
    const off_t size = tune & 0x80 ? (off_t(1) << 40) + tune : kLimit + static_cast<std::int8_t>(tune << 1) / 2;
    if (size < static_cast<off_t>(payload.size()))
        return;
    expect(truncate(valueFile.c_str(), size) == 0, "truncate");
    std::string text = "stale";
    const long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    if (size <= kLimit) {
        expect(status == ERROR_SUCCESS, "a value at the limit cannot be read", status);
        expect(text == beforeNul(payload), "a sparse value reads wrong");
    } else {
        expect(status == ERROR_INVALID_DATA && text.empty(), "an oversized value was read", status);
    }
    roundTrip(kKey, kValue, "1");
}

void fileAsKey(const std::string& payload)
{
    mkdir(config.c_str(), 0700);
    mkdir((config + "/Zaduziro").c_str(), 0700);
    writeFile(keyFolder, payload);
    std::string text = "stale";
    long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    expect(status == ERROR_FILE_NOT_FOUND && text.empty(), "a file read as a key", status);
    HKEY key = nullptr;
    status = CreateKey(HKEY_CURRENT_USER, kKey, &key);
    expect(status != ERROR_SUCCESS && key == nullptr, "a key was made over a file", status);
    status = SetKeyValue(HKEY_CURRENT_USER, kKey, kValue, "1");
    expect(status != ERROR_SUCCESS, "a value was written below a file", status);
    struct stat info;
    expect(stat(keyFolder.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
               info.st_size == static_cast<off_t>(payload.size()),
           "the file in the key's place was touched");
}

void symlinkValue(std::uint8_t tune, const std::string& payload)
{
    makeKeyFolder();
    std::string target;
    switch (tune % 4) {
    case 0: target = keyFolder + "/target"; writeFile(target, payload); break;
    case 1: target = keyFolder + "/missing"; break;
    case 2: target = valueFile; break;  // a loop
    default: target = keyFolder; break;  // the folder itself
    }
    expect(symlink(target.c_str(), valueFile.c_str()) == 0, "symlink");
    std::string text = "stale";
    const long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    if (tune % 4 == 0)
        expect(status == ERROR_SUCCESS && text == beforeNul(payload), "a linked value reads wrong", status);
    else
        expect(status != ERROR_SUCCESS && text.empty(), "a broken link read as a value", status);
    roundTrip(kKey, kValue, "0");
}

void fifoValue()
{
    makeKeyFolder();
    expect(mkfifo(valueFile.c_str(), 0600) == 0, "mkfifo");
    std::string text = "stale";
    const long status = GetKeyValue(HKEY_CURRENT_USER, kKey, kValue, text);
    expect(status != ERROR_SUCCESS && text.empty(), "a FIFO read as a value", status);
    roundTrip(kKey, kValue, "1");
}

// Key path and value name from the payload, split at the first 0xFF.
void hostileNames(const std::string& payload)
{
    const std::size_t cut = payload.find('\xff');
    const std::string key = std::string("Software\\") + payload.substr(0, cut);
    const std::string name = cut == std::string::npos ? std::string("v") : payload.substr(cut + 1);
    roundTrip(key, name, payload);
    std::string text;
    GetKeyValue(HKEY_CURRENT_USER, key, name, text);
    HKEY handle = nullptr;
    if (CreateKey(HKEY_CURRENT_USER, key, &handle) == ERROR_SUCCESS) {
        roundTrip(key, name, "x");
        GetKeyValue(handle, "", name, text);
        SetKeyValue(handle, payload, name, text);
        RegCloseKey(handle);
    }
}

// A closed handle must be refused, not followed.
void staleHandle(const std::string& payload)
{
    HKEY handle = nullptr;
    const long status = CreateKey(HKEY_CURRENT_USER, kKey, &handle);
    expect(status == ERROR_SUCCESS, "CreateKey", status);
    expect(SetKeyValue(handle, "", kValue, payload) == ERROR_SUCCESS, "write through a handle");
    expect(RegCloseKey(handle) == ERROR_SUCCESS, "RegCloseKey");
    std::string text = "stale";
    expect(GetKeyValue(handle, "", kValue, text) == ERROR_INVALID_HANDLE && text.empty(),
           "a closed handle was followed");
    expect(SetKeyValue(handle, "", kValue, "1") == ERROR_INVALID_HANDLE, "a closed handle was written through");
    expect(RegCloseKey(handle) == ERROR_INVALID_HANDLE, "a handle closed twice");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // tmpfs when there is one: the store syncs every write.
    const char* root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(root) + "/ravodor-fuzz-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        fail("mkdtemp", errno);
    base = pattern;
    config = base + "/config";
    keyFolder = config + "/Zaduziro/ravodor";
    valueFile = keyFolder + "/" + kValue;
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::atexit([] {
        nftw(base.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string payload(reinterpret_cast<const char*>(data + 2), size - 2);
    clearConfig();
    switch (data[0] % 8) {
    case 0: plainFile(payload); break;
    case 1: folderAsValue(payload); break;
    case 2: hugeFile(data[1], payload); break;
    case 3: fileAsKey(payload); break;
    case 4: symlinkValue(data[1], payload); break;
    case 5: fifoValue(); break;
    case 6: hostileNames(payload); break;
    default: staleHandle(payload); break;
    }
    checkContained();
    return 0;
}
