#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace segmora {

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "of an unknown kind";
}

}  // namespace

void requireRegularFile(const std::string& path, const std::string& description) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return;
    if (S_ISREG(info.st_mode)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return;
        const bool opened = ::fstat(fd, &info) == 0;
        ::close(fd);
        if (!opened || S_ISREG(info.st_mode)) return;
    }
    throw std::runtime_error("cannot read " + description + " '" + path +
                             "': it is not a regular file but " + kindOf(info.st_mode));
}

}  // namespace segmora
