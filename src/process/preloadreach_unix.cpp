#include "preloadreach.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// As the kernel: an interpreter may be a script itself, this many times.
constexpr int kMaxScriptDepth = 4;
// The kernel reads no more of a "#!" line.
constexpr std::size_t kMaxScriptLine = 256;

class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return fd_; }
    bool read(std::uint64_t offset, void* buffer, std::size_t size) const
    {
        return fd_ >= 0 && ::pread(fd_, buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }

private:
    int fd_;
};

// The first bytes of a file, as many as the kernel reads of a "#!" line; -1
// when it cannot be read.
ssize_t readStart(const OpenFile& file, char (&start)[kMaxScriptLine])
{
    return file.fd() < 0 ? -1 : ::pread(file.fd(), start, sizeof start, 0);
}

bool isScript(const char* start, ssize_t got)
{
    return got >= 2 && start[0] == '#' && start[1] == '!';
}

enum class Linking { Unknown, Dynamic, Static };

template <typename Header, typename ProgramHeader>
Linking linking(const OpenFile& file)
{
    Header header {};
    if (!file.read(0, &header, sizeof header) || (header.e_type != ET_EXEC && header.e_type != ET_DYN)
        || header.e_phentsize < sizeof(ProgramHeader))
        return Linking::Unknown;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader entry {};
        if (!file.read(header.e_phoff + std::uint64_t(i) * header.e_phentsize, &entry, sizeof entry))
            return Linking::Unknown;
        if (entry.p_type == PT_INTERP)
            return Linking::Dynamic;
    }
    return Linking::Static;
}

PreloadReach::Obstacle elfObstacle(const OpenFile& file, const unsigned char* ident)
{
    // The loader reads only its own byte order; starting anything else fails.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (ident[EI_DATA] != ELFDATA2LSB)
        return PreloadReach::None;
#else
    if (ident[EI_DATA] != ELFDATA2MSB)
        return PreloadReach::None;
#endif
    struct stat info {};
    if (::fstat(file.fd(), &info) == 0
        && ((info.st_mode & S_ISUID) || ((info.st_mode & S_ISGID) && (info.st_mode & S_IXGRP))))
        return PreloadReach::SetId;
    if (::fgetxattr(file.fd(), "security.capability", nullptr, 0) >= 0)
        return PreloadReach::FileCapabilities;
    const Linking kind = ident[EI_CLASS] == ELFCLASS64   ? linking<Elf64_Ehdr, Elf64_Phdr>(file)
                         : ident[EI_CLASS] == ELFCLASS32 ? linking<Elf32_Ehdr, Elf32_Phdr>(file)
                                                         : Linking::Unknown;
    return kind == Linking::Static ? PreloadReach::StaticallyLinked : PreloadReach::None;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A "#!" line as the kernel splits it: the interpreter, then the rest of the
// line, blanks trimmed, as one argument when there is any.
std::vector<std::string> interpreterLine(const char* line, std::size_t size)
{
    size = std::min(std::find(line, line + size, '\n'), std::find(line, line + size, '\0')) - line;
    std::size_t start = 2;
    while (start < size && isBlank(line[start]))
        ++start;
    std::size_t end = start;
    while (end < size && !isBlank(line[end]))
        ++end;
    std::vector<std::string> words{std::string(line + start, end - start)};
    while (end < size && isBlank(line[end]))
        ++end;
    while (size > end && isBlank(line[size - 1]))
        --size;
    if (end < size)
        words.emplace_back(line + end, size - end);
    return words;
}

// The words env -S makes of its string: split at blanks, quotes and
// backslashes read as env reads them, a "#" starting a word ends it all.
std::vector<std::string> splitAsEnv(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        } else if (isBlank(c) || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '#' && !inWord) {
            break;
        } else {
            inWord = true;
            if (c == '\'' || c == '"')
                quote = c;
            else if (c == '\\' && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// The program env runs, given its arguments: its options skipped (what -S
// splits is read on as arguments), then NAME=value words. Empty when none.
// `noPath` is set when env leaves the program no PATH.
std::string envProgram(std::vector<std::string> args, bool* noPath)
{
    std::size_t i = 0;
    // An option's value: the rest of its word, or the next word.
    const auto value = [&](const std::string& rest) { return !rest.empty() ? rest : i < args.size() ? args[i++] : ""; };
    const auto split = [&](const std::string& text) {
        const std::vector<std::string> words = splitAsEnv(text);
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(i), words.begin(), words.end());
    };
    while (i < args.size() && args[i].size() > 1 && args[i][0] == '-') {
        const std::string arg = args[i++];
        if (arg == "--")
            break;
        if (arg.compare(0, 2, "--") == 0) {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const std::string attached = equals == std::string::npos ? "" : arg.substr(equals + 1);
            if (name == "ignore-environment")
                *noPath = true;
            else if (name == "unset" || name == "chdir")
                *noPath |= value(attached) == "PATH" && name == "unset";  // the value is taken either way
            else if (name == "split-string")
                split(value(attached));
            continue;
        }
        for (std::size_t c = 1; c < arg.size(); ++c) {
            if (arg[c] == 'i') {
                *noPath = true;
            } else if (arg[c] == 'u' || arg[c] == 'C' || arg[c] == 'S') {
                const std::string text = value(arg.substr(c + 1));
                if (arg[c] == 'S')
                    split(text);
                *noPath |= arg[c] == 'u' && text == "PATH";
                break;
            }
        }
    }
    if (i < args.size() && args[i] == "-") {
        *noPath = true;
        ++i;
    }
    while (i < args.size() && args[i].find('=') != std::string::npos)
        ++i;
    return i < args.size() ? args[i] : std::string();
}

// Where execvp() finds `name`: as it is with a slash, else the first
// executable file of that name in PATH (or the C library's default).
std::string onPath(const std::string& name, bool noPath)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = noPath ? nullptr : std::getenv("PATH");
    const std::string folders = path ? path : "/bin:/usr/bin";
    for (std::size_t from = 0; from <= folders.size();) {
        std::size_t to = folders.find(':', from);
        if (to == std::string::npos)
            to = folders.size();
        const std::string folder = to > from ? folders.substr(from, to - from) : ".";
        const std::string candidate = folder + '/' + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = to + 1;
    }
    return {};
}

bool isEnv(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return path.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "env") == 0;
}

PreloadReach reach(const std::string& path, int depth)
{
    const OpenFile file(path);
    char start[kMaxScriptLine] = {};
    const ssize_t got = readStart(file, start);
    if (got >= SELFMAG && std::equal(start, start + SELFMAG, ELFMAG))
        return {elfObstacle(file, reinterpret_cast<const unsigned char*>(start)), path};
    if (isScript(start, got) && depth < kMaxScriptDepth) {
        std::vector<std::string> line = interpreterLine(start, static_cast<std::size_t>(got));
        if (line.front().empty())
            return {};
        const PreloadReach interpreter = reach(line.front(), depth + 1);
        // What env starts is what must see the date.
        if (interpreter.obstacle != PreloadReach::None || !isEnv(line.front()))
            return interpreter;
        bool noPath = false;
        const std::string program = envProgram({line.begin() + 1, line.end()}, &noPath);
        const std::string found = program.empty() ? std::string() : onPath(program, noPath);
        return found.empty() ? PreloadReach{} : reach(found, depth + 1);
    }
    return {};
}

}  // namespace

PreloadReach preloadReach(const std::string& path)
{
    return reach(path, 0);
}

std::string scriptInterpreter(const std::string& path)
{
    const OpenFile file(path);
    char start[kMaxScriptLine] = {};
    const ssize_t got = readStart(file, start);
    if (!isScript(start, got))
        return {};
    return interpreterLine(start, static_cast<std::size_t>(got)).front();
}
