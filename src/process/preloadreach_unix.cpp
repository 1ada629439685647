#include "preloadreach.h"

#include <algorithm>
#include <cstdint>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

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

// The interpreter named on a "#!" line, as the kernel splits it.
std::string interpreter(const char* line, std::size_t size)
{
    std::size_t start = 2;
    while (start < size && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::size_t end = start;
    while (end < size && line[end] != ' ' && line[end] != '\t' && line[end] != '\n' && line[end] != '\0')
        ++end;
    return std::string(line + start, end - start);
}

PreloadReach reach(const std::string& path, int depth)
{
    const OpenFile file(path);
    char start[kMaxScriptLine] = {};
    const ssize_t got = file.fd() < 0 ? -1 : ::pread(file.fd(), start, sizeof start, 0);
    if (got >= SELFMAG && std::equal(start, start + SELFMAG, ELFMAG))
        return {elfObstacle(file, reinterpret_cast<const unsigned char*>(start)), path};
    if (got >= 2 && start[0] == '#' && start[1] == '!' && depth < kMaxScriptDepth) {
        const std::string next = interpreter(start, static_cast<std::size_t>(got));
        if (!next.empty())
            return reach(next, depth + 1);
    }
    return {};
}

}  // namespace

PreloadReach preloadReach(const std::string& path)
{
    return reach(path, 0);
}
