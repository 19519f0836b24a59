#include "output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <vector>

namespace segmora {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows

std::deque<std::string> namesOf(const std::string& path) {
    std::deque<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return names;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// True when the kernel's protected_symlinks rule lets this process follow `link`.
bool mayFollow(const std::string& folder, const struct stat& link) {
    struct stat dir;
    if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0) return false;
    const bool stickyAndWorldWritable = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return !stickyAndWorldWritable || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

std::string readLink(const std::string& path) {
    std::vector<char> target(256);
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < target.size()) return std::string(target.data(), n);
        target.resize(target.size() * 2);
    }
}

}  // namespace

std::string resolveOutputPath(const std::string& path, const std::string& description) {
    const auto fail = [&](const std::string& why) {
        throw std::runtime_error("cannot create " + description + " '" + path + "': " + why);
    };
    std::deque<std::string> pending = namesOf(path);
    std::string resolved = !path.empty() && path[0] == '/' ? "/" : "";
    int links = 0;
    while (!pending.empty()) {
        const std::string name = pending.front();
        pending.pop_front();
        if (name == ".") continue;
        const std::string candidate = join(resolved, name);
        struct stat info;
        if (::lstat(candidate.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            resolved = candidate;  // a missing name: the kernel reports it later
            continue;
        }
        if (!mayFollow(resolved, info)) {
            fail("refusing to follow the symbolic link '" + candidate +
                 "': another user owns it in a sticky, world-writable folder");
        }
        if (++links > kMaxLinks) fail(std::strerror(ELOOP));
        const std::string target = readLink(candidate);
        if (target.empty()) fail(std::strerror(errno));
        if (target[0] == '/') resolved = "/";
        std::deque<std::string> names = namesOf(target);
        pending.insert(pending.begin(), names.begin(), names.end());
    }
    return resolved.empty() ? "." : resolved;
}

namespace {

FileIdentity identify(const std::string& path, bool followLast) {
    FileIdentity identity;
    struct stat info;
    if ((followLast ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) {
        if (::stat(folderOf(path).c_str(), &info) != 0) return identity;
        identity.name = path.substr(path.find_last_of('/') + 1);
    }
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.known = true;
    return identity;
}

}  // namespace

FileIdentity identifyFile(const std::string& path) {
    return identify(path, true);
}

FileIdentity identifyEntry(const std::string& path) {
    return identify(path, false);
}

int standardStreamOf(const std::string& path) {
    struct stat target;
    if (::stat(path.c_str(), &target) != 0) return -1;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream;
        if (::fstat(fd, &stream) == 0 && stream.st_dev == target.st_dev &&
            stream.st_ino == target.st_ino) {
            return fd;
        }
    }
    return -1;
}

}  // namespace segmora
