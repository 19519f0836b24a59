#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "output_folder.h"
#include "output_target.h"
#include "temporary_files.h"

namespace segmora {

namespace {

constexpr size_t kBufferSize = 1 << 20;
// The temporary name is "." + target name + ".XXXXXX"; a long target name is shortened
// so that the temporary name still fits in a folder entry.
constexpr size_t kTemporaryExtra = 8;

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string temporaryNameFor(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name.substr(0, NAME_MAX - kTemporaryExtra) + ".XXXXXX";
}

}  // namespace

OutputFile::OutputFile(const std::string& target, const std::string& description)
    : shownPath(target), path(resolveOutputPath(target, description)), description(description) {
    const int stream = standardStreamOf(target);
    if (stream >= 0) {
        fd = ::fcntl(stream, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) fail("open", errno);
        direct = true;
        return;
    }
    struct stat info;
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) fail("create", EISDIR);
        if (!S_ISREG(info.st_mode)) {
            openDirect(target);
            return;
        }
    }
    checkFolderWritable();
}

OutputFile::OutputFile(const OutputFolder& folder, const std::string& name,
                       const std::string& description, std::vector<WrittenFile>* handOff)
    : shownPath(folder.path() + "/" + name),
      path(shownPath),
      description(description),
      folder(&folder),
      name(name),
      handOff(handOff) {
    struct stat info;
    if (::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode)) {
        fail("create", EISDIR);
    }
}

OutputFile::~OutputFile() {
    if (fd >= 0) ::close(fd);
    discardTemporary();
}

void OutputFile::openDirect(const std::string& target) {
    fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) fail("open", errno);
    direct = true;
}

void OutputFile::checkFolderWritable() {
    const size_t slash = path.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat info;
    if (::stat(parent.c_str(), &info) != 0) fail("create", errno);
    if (!S_ISDIR(info.st_mode)) fail("create", ENOTDIR);
    if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0) fail("create", errno);
}

void OutputFile::createTemporary() {
    if (folder) return createTemporaryInFolder();
    struct stat info;
    const bool exists = ::stat(path.c_str(), &info) == 0;
    std::string name = temporaryNameFor(path);
    {
        TemporaryCreation creation;  // a signal now would find the file unregistered
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) fail("create", errno);
        tempPath = name;
        slot = registerTemporaryFile(tempPath.c_str());
    }
    ::fchmod(fd, exists ? (info.st_mode & 07777) : newFileMode());
}

// The mode of a regular file found at the name is kept (without set-id bits); whatever
// else is there (a link, a pipe) is replaced by a file of the usual mode.
void OutputFile::createTemporaryInFolder() {
    struct stat info;
    const bool regular = ::fstatat(folder->fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISREG(info.st_mode);
    {
        TemporaryCreation creation;
        fd = folder->createTemporary(name, tempName);
        if (fd < 0) fail("create", errno);
        tempPath = folder->path() + "/" + tempName;
        slot = registerTemporaryFile(tempPath.c_str());
    }
    ::fchmod(fd, regular ? (info.st_mode & 0777) : newFileMode());
}

void OutputFile::discardTemporary() {
    if (tempPath.empty()) return;
    if (folder) {
        ::unlinkat(folder->fd(), tempName.c_str(), 0);
    } else {
        ::unlink(tempPath.c_str());
    }
    unregisterTemporaryFile(slot);
    slot = -1;
    tempPath.clear();
}

void OutputFile::write(const char* bytes, size_t count) {
    if (!buffer) makeBuffer(kBufferSize);  // not before the results exist
    while (count > 0) {
        if (used == capacity) flush();
        const size_t n = std::min(count, capacity - used);
        std::memcpy(buffer.get() + used, bytes, n);
        used += n;
        bytes += n;
        count -= n;
    }
}

char* OutputFile::room(size_t count) {
    if (capacity - used < count) flush();
    if (capacity < count) makeBuffer(std::max(count, kBufferSize));
    return buffer.get() + used;
}

void OutputFile::wrote(size_t count) {
    used += count;
}

// Left uninitialised: every byte is written before it is read.
void OutputFile::makeBuffer(size_t size) {
    buffer.reset(new char[size]);
    capacity = size;
}

void OutputFile::flush() {
    if (fd < 0 && !direct) createTemporary();
    size_t done = 0;
    while (done < used) {
        const ssize_t n = ::write(fd, buffer.get() + done, used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    used = 0;
}

void OutputFile::commit() {
    flush();
    if (folder) return commitInFolder();
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) fail("write", errno);
    if (direct) return;
    if (::rename(tempPath.c_str(), path.c_str()) != 0) fail("replace", errno);
    unregisterTemporaryFile(slot);  // after the rename: a signal in between finds no file
    slot = -1;
    tempPath.clear();
}

void OutputFile::commitInFolder() {
    WrittenFile written(*folder, fd, slot, tempName, name, shownPath, description);
    fd = -1;
    slot = -1;
    tempPath.clear();
    if (handOff) {
        handOff->push_back(std::move(written));
        return;
    }
    written.putInPlace();
    written.syncFolder();
}

void OutputFile::fail(const std::string& action, int error) {
    throw std::runtime_error("cannot " + action + " " + description + " '" + shownPath +
                             "': " + std::strerror(error));
}

}  // namespace segmora
