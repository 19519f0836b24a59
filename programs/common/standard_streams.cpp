#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace segmora {

namespace {

// True when `fd` was closed and is now /dev/null. Descriptors are handed out lowest first,
// so with the lower ones open the new one is `fd` itself.
bool reopenIfClosed(int fd, bool& failed) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) return false;
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null == fd) return true;
    if (null >= 0 && ::dup2(null, fd) == fd) {
        ::close(null);
        return true;
    }
    if (null >= 0) ::close(null);
    failed = true;
    return true;
}

}  // namespace

ClosedStandardStreams openClosedStandardStreams() noexcept {
    ClosedStandardStreams closed;
    closed.input = reopenIfClosed(0, closed.unusable);
    closed.output = reopenIfClosed(1, closed.unusable);
    closed.error = reopenIfClosed(2, closed.unusable);
    return closed;
}

int moveMessagesOffStandardError() noexcept {
    const int messages = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (messages < 0) return STDERR_FILENO;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    return messages;
}

}  // namespace segmora
