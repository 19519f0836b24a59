#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace segmora {

namespace {

constexpr size_t kBufferSize = 1 << 20;

// The file a path finally names, following symbolic links.
std::string resolvedTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(const std::string& target, const std::string& description)
    : path(resolvedTarget(target)), description(description), buffer(kBufferSize) {
    struct stat info;
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) fail("create", EISDIR);
        fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) fail("open", errno);
        return;
    }
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    tempPath = dir + "." + base + ".XXXXXX";
    fd = ::mkstemp(tempPath.data());
    if (fd < 0) {
        tempPath.clear();
        fail("create", errno);
    }
    ::fchmod(fd, exists ? (info.st_mode & 07777) : newFileMode());
}

OutputFile::~OutputFile() {
    if (fd >= 0) ::close(fd);
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
}

void OutputFile::write(const char* bytes, size_t count) {
    while (count > 0) {
        if (used == buffer.size()) flush();
        const size_t n = std::min(count, buffer.size() - used);
        std::memcpy(buffer.data() + used, bytes, n);
        used += n;
        bytes += n;
        count -= n;
    }
}

void OutputFile::flush() {
    size_t done = 0;
    while (done < used) {
        const ssize_t n = ::write(fd, buffer.data() + done, used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    used = 0;
}

void OutputFile::commit() {
    flush();
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) fail("write", errno);
    if (tempPath.empty()) return;
    if (::rename(tempPath.c_str(), path.c_str()) != 0) fail("replace", errno);
    tempPath.clear();
}

void OutputFile::fail(const std::string& action, int error) {
    throw std::runtime_error("cannot " + action + " " + description + " '" + path +
                             "': " + std::strerror(error));
}

}  // namespace segmora
