#include "output_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace segmora {

namespace {

constexpr const char* kSuffix = ".segmora-part";
constexpr size_t kSuffixLength = 13;
constexpr size_t kRandomLength = 6;
constexpr size_t kExtra = 1 + 1 + kRandomLength + kSuffixLength;  // "." NAME "." XXXXXX suffix
constexpr int kAttempts = 100;
constexpr const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isAlphanumeric(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Six letters or digits, different at every call (splitmix64 over a shared counter seeded
// from the clock and the process id).
std::string randomLetters() {
    static std::atomic<uint64_t> counter{
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(::getpid()) << 32)};
    uint64_t x = counter.fetch_add(0x9e3779b97f4a7c15ull) + 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    x ^= x >> 31;
    std::string letters;
    for (size_t i = 0; i < kRandomLength; ++i, x /= 62) letters += kAlphabet[x % 62];
    return letters;
}

std::string temporaryNameFor(const std::string& name) {
    return "." + name.substr(0, NAME_MAX - kExtra) + "." + randomLetters() + kSuffix;
}

[[noreturn]] void refuse(const std::string& description, const std::string& path,
                         const std::string& why) {
    throw std::runtime_error("cannot use " + description + " '" + path + "': " + why);
}

// Removes the temporary file `name` when nobody holds it locked; true when removed.
bool removeIfLeftOver(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened, named;
    bool removed = false;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
        removed = ::unlinkat(folder, name, 0) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

bool isTemporaryName(const std::string& name) {
    if (name.size() < kExtra + 1 || name[0] != '.') return false;
    if (name.compare(name.size() - kSuffixLength, kSuffixLength, kSuffix) != 0) return false;
    const size_t dot = name.size() - kSuffixLength - kRandomLength - 1;
    if (name[dot] != '.') return false;
    for (size_t i = dot + 1; i < dot + 1 + kRandomLength; ++i) {
        if (!isAlphanumeric(name[i])) return false;
    }
    return true;
}

OutputFolder::OutputFolder(const std::string& path, const std::string& description, bool durable)
    : folderPath(path), makeDurable(durable) {
    folderFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) refuse(description, path, std::strerror(errno));
    identify(description);
}

OutputFolder::OutputFolder(const OutputFolder& top, const std::string& below,
                           const std::string& description, bool durable)
    : folderPath(top.path()), makeDurable(durable) {
    folderFd = ::fcntl(top.fd(), F_DUPFD_CLOEXEC, 0);
    if (folderFd < 0) refuse(description, folderPath, std::strerror(errno));
    size_t start = 0;
    while (start < below.size()) {
        size_t end = below.find('/', start);
        if (end == std::string::npos) end = below.size();
        const std::string name = below.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        folderPath += "/" + name;
        const int error = name == ".." ? EINVAL : openBelow(name);
        if (error != 0) {
            ::close(folderFd);
            refuse(description, folderPath,
                   error == ELOOP     ? "it is a symbolic link, which is not followed"
                   : error == ENOTDIR ? "it is not a folder"
                                      : std::strerror(error));
        }
    }
    identify(description);
}

// Replaces the folder held open by its folder `name`, made when missing, never following
// a link there; 0 or the error.
int OutputFolder::openBelow(const std::string& name) {
    if (::mkdirat(folderFd, name.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    const int below =
        ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (below < 0) {
        const int error = errno;
        struct stat info;
        const bool link = ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(info.st_mode);
        return link ? ELOOP : error;
    }
    ::close(folderFd);
    folderFd = below;
    return 0;
}

void OutputFolder::identify(const std::string& description) {
    struct stat info;
    if (::fstat(folderFd, &info) != 0) {
        const int error = errno;
        ::close(folderFd);
        refuse(description, folderPath, std::strerror(error));
    }
    device = info.st_dev;
    inode = info.st_ino;
    try {
        checkOwner(description);
        probe(description);
    } catch (...) {
        ::close(folderFd);
        throw;
    }
}

OutputFolder::~OutputFolder() {
    ::close(folderFd);
}

bool OutputFolder::sameAs(const OutputFolder& other) const {
    return device == other.device && inode == other.inode;
}

void OutputFolder::checkOwner(const std::string& description) const {
    if (::geteuid() != 0) return;
    struct stat info;
    if (::fstat(folderFd, &info) != 0) refuse(description, folderPath, std::strerror(errno));
    const bool othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (othersMayWrite && info.st_uid != 0 && info.st_uid != ::getuid()) {
        refuse(description, folderPath,
               "it belongs to user " + std::to_string(info.st_uid) +
                   " and others may write in it; root does not write there");
    }
}

void OutputFolder::probe(const std::string& description) const {
    std::string name;
    const int fd = createTemporary("probe", name);
    if (fd < 0) refuse(description, folderPath, std::strerror(errno));
    ::unlinkat(folderFd, name.c_str(), 0);
    ::close(fd);
}

int OutputFolder::createTemporary(const std::string& name, std::string& temporaryName) const {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temporaryName = temporaryNameFor(name);
        const int fd = ::openat(folderFd, temporaryName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        // Nobody else can hold a lock on a new file. Where locks are not supported the file
        // is written unlocked: no other run can lock it either, so none removes it.
        if (fd >= 0) ::flock(fd, LOCK_EX);
        return fd;
    }
    errno = EEXIST;
    return -1;
}

std::vector<std::string> OutputFolder::removeLeftoverTemporaryFiles() const {
    std::vector<std::string> removed;
    const int listing = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) ::close(listing);
        return removed;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name) && removeIfLeftOver(folderFd, entry->d_name)) {
            removed.push_back(entry->d_name);
        }
    }
    ::closedir(dir);
    return removed;
}

}  // namespace segmora
