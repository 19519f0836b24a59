#include "quiet_standard_error.h"

#include <fcntl.h>
#include <unistd.h>

namespace segmora {

QuietStandardError::QuietStandardError() : saved(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
}

QuietStandardError::~QuietStandardError() {
    if (saved < 0) return;
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}

}  // namespace segmora
