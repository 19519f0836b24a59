#include "written_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "output_folder.h"
#include "temporary_files.h"

namespace segmora {

WrittenFile::WrittenFile(const OutputFolder& folder, int fd, int slot, std::string temporaryName,
                         std::string name, std::string shownPath, std::string description)
    : where(&folder),
      fd(fd),
      slot(slot),
      temporaryName(std::move(temporaryName)),
      name(std::move(name)),
      shownPath(std::move(shownPath)),
      description(std::move(description)) {}

WrittenFile::WrittenFile(WrittenFile&& other) noexcept
    : where(other.where),
      fd(std::exchange(other.fd, -1)),
      slot(std::exchange(other.slot, -1)),
      temporaryName(std::move(other.temporaryName)),
      name(std::move(other.name)),
      shownPath(std::move(other.shownPath)),
      description(std::move(other.description)) {}

WrittenFile& WrittenFile::operator=(WrittenFile&& other) noexcept {
    if (this != &other) {
        discard();
        where = other.where;
        fd = std::exchange(other.fd, -1);
        slot = std::exchange(other.slot, -1);
        temporaryName = std::move(other.temporaryName);
        name = std::move(other.name);
        shownPath = std::move(other.shownPath);
        description = std::move(other.description);
    }
    return *this;
}

WrittenFile::~WrittenFile() {
    discard();
}

void WrittenFile::discard() noexcept {
    if (fd < 0) return;
    ::unlinkat(where->fd(), temporaryName.c_str(), 0);
    unregisterTemporaryFile(slot);
    ::close(fd);
    fd = -1;
    slot = -1;
}

// The temporary file stays open (and locked) until it has its name, so that no other run
// takes it for one left behind.
void WrittenFile::putInPlace() {
    if (fd < 0) throw std::logic_error("a written file was put in place twice");
    if (where->durable() && ::fsync(fd) != 0) {
        const int error = errno;
        discard();
        fail("write", error);
    }
    if (::renameat(where->fd(), temporaryName.c_str(), where->fd(), name.c_str()) != 0) {
        const int error = errno;
        discard();
        fail("replace", error);
    }
    unregisterTemporaryFile(slot);  // after the rename: a signal in between finds no file
    slot = -1;
    const int closing = std::exchange(fd, -1);
    if (::close(closing) != 0) fail("write", errno);
}

void WrittenFile::syncFolder() const {
    if (where->durable() && ::fsync(where->fd()) != 0) fail("write", errno);
}

void WrittenFile::fail(const std::string& action, int error) const {
    throw std::runtime_error("cannot " + action + " " + description + " '" + shownPath +
                             "': " + std::strerror(error));
}

}  // namespace segmora
