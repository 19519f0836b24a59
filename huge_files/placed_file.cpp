#include "placed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "output_target.h"
#include "temporary_files.h"

namespace segmora {

namespace {

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string byteCount(uint64_t bytes) {
    const double value = static_cast<double>(bytes);
    const auto [scale, unit] = value >= 1e9 ? std::pair{1e9, "GB"} : std::pair{1e6, "MB"};
    char text[64];
    std::snprintf(text, sizeof text, "%llu bytes (%.1f %s)", static_cast<unsigned long long>(bytes),
                  value / scale, unit);
    return text;
}

PlacedFile::PlacedFile(const std::string& path, uint64_t size, const std::string& description)
    : shownPath(path), description(description), fileSize(size) {
    const std::string resolved = resolveOutputPath(path, description);
    const size_t slash = resolved.find_last_of('/');
    const std::string folderPath = slash == std::string::npos ? "." : resolved.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
    // Pieces go to their offsets in a file that replaces whatever was there: a pipe or a
    // device (/dev/null) cannot take them and must never be replaced.
    struct stat info;
    const bool exists = !name.empty() && ::stat(resolved.c_str(), &info) == 0;
    if (name.empty() || (exists && !S_ISREG(info.st_mode))) {
        throw std::runtime_error("cannot create " + description + " '" + path + "': " +
                                 (name.empty() || S_ISDIR(info.st_mode)
                                      ? "it is a folder"
                                      : "it is not a regular file"));
    }
    folder = std::make_unique<OutputFolder>(folderPath, description + " folder", true);
    checkFreeSpace();
    {
        TemporaryCreation creation;  // a signal now would find the file unregistered
        std::string temporaryName;
        fd = folder->createTemporary(name, temporaryName);
        if (fd < 0) fail("create", errno);
        const int slot = registerTemporaryFile((folder->path() + "/" + temporaryName).c_str());
        written.emplace(*folder, fd, slot, temporaryName, name, path, description);
    }
    ::fchmod(fd, newFileMode());
    reserve();
}

PlacedFile::~PlacedFile() = default;  // an uncommitted temporary goes with `written`

void PlacedFile::checkFreeSpace() const {
    struct statvfs space;
    if (::fstatvfs(folder->fd(), &space) != 0) return;  // nothing known: the writes will tell
    const uint64_t available = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
    if (fileSize > available) {
        throw std::runtime_error("cannot write " + description + " '" + shownPath + "': it needs " +
                                 byteCount(fileSize) + " and its folder has " +
                                 byteCount(available) + " free");
    }
}

// fallocate makes the disk hold the blocks now; a file system without it gets a file of
// the right length whose blocks come with the writes.
void PlacedFile::reserve() {
    if (fileSize == 0) return;
    const off_t length = static_cast<off_t>(fileSize);
    if (::fallocate(fd, 0, 0, length) == 0) return;
    const int error = errno;
    if (error != EOPNOTSUPP && error != ENOSYS) fail("write", error);
    if (::ftruncate(fd, length) != 0) fail("write", errno);
}

void PlacedFile::endDirect() {
    if (!direct) return;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_DIRECT);
    direct = false;
}

void PlacedFile::write(uint64_t offset, const void* bytes, size_t count) {
    if (!written) throw std::logic_error("write to a placed file that failed or was committed");
    endDirect();  // these bytes go through the page cache
    if (offset > fileSize || count > fileSize - offset) {
        throw std::logic_error("write past the end of a placed file");
    }
    const char* from = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, from, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
        from += n;
        offset += static_cast<uint64_t>(n);
        count -= static_cast<size_t>(n);
    }
}

void PlacedFile::writeDirect(uint64_t offset, const void* bytes, size_t count) {
    if (!written) throw std::logic_error("write to a placed file that failed or was committed");
    if (offset % kDirectBlock != 0 || count % kDirectBlock != 0 ||
        reinterpret_cast<uintptr_t>(bytes) % kDirectBlock != 0) {
        throw std::logic_error("a direct write that is not aligned");
    }
    if (offset > fileSize || count > fileSize - offset) {
        throw std::logic_error("write past the end of a placed file");
    }
    if (!direct && !directRefused) {
        const int flags = ::fcntl(fd, F_GETFL);
        direct = flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
        directRefused = !direct;
    }
    const char* from = static_cast<const char*>(bytes);
    while (direct && count > 0) {
        const ssize_t n = ::pwrite(fd, from, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EINVAL) {  // not for this file system after all
            endDirect();
            directRefused = true;
        }
        if (n <= 0) fail("write", n < 0 ? errno : ENOSPC);
        from += n;
        offset += static_cast<uint64_t>(n);
        count -= static_cast<size_t>(n);
    }
    if (count > 0) write(offset, from, count);
}

void PlacedFile::commit() {
    endDirect();
    if (!written) throw std::logic_error("commit of a placed file that failed or was committed");
    std::optional<WrittenFile> done;
    done.swap(written);
    done->putInPlace();  // flushes, then renames; removes the temporary when either fails
    done->syncFolder();
}

void PlacedFile::fail(const std::string& action, int error) {
    written.reset();  // removes the temporary file
    throw std::runtime_error("cannot " + action + " " + description + " '" + shownPath +
                             "': " + std::strerror(error));
}

}  // namespace segmora
