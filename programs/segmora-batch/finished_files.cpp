#include "finished_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "batch_console.h"

namespace segmora {

namespace {

std::string lineFor(const std::string& escapedName, const struct stat& info) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%lld %lld.%09ld ", static_cast<long long>(info.st_size),
                  static_cast<long long>(info.st_mtim.tv_sec), info.st_mtim.tv_nsec);
    return numbers + escapedName + "\n";
}

}  // namespace

FinishedFiles::FinishedFiles(const OutputFolder& folder) : folder(folder) {
    const std::string shown = folder.path() + "/" + kListName;
    const auto fail = [&](const std::string& why) {
        throw std::runtime_error("cannot use the list of finished files '" + shown + "': " + why);
    };
    listFd = ::openat(folder.fd(), kListName,
                      O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (listFd < 0) fail(std::strerror(errno));
    struct stat info;
    if (::fstat(listFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(listFd);
        fail("it is not a regular file");
    }
}

FinishedFiles::~FinishedFiles() {
    ::close(listFd);
}

void FinishedFiles::load() {
    std::string text;
    char chunk[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(listFd, chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
        at += n;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        Entry entry;
        int used = 0;
        if (std::sscanf(line.c_str(), "%lld %lld.%lld%n", &entry.size, &entry.seconds,
                        &entry.nanoseconds, &used) == 3 &&
            static_cast<size_t>(used) + 1 < line.size() && line[static_cast<size_t>(used)] == ' ') {
            entries[line.substr(static_cast<size_t>(used) + 1)] = entry;
        }
    }
}

std::optional<std::string> FinishedFiles::whyUnfinished(const std::string& name,
                                                        struct stat& info) const {
    if (::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return "";
    if (!S_ISREG(info.st_mode)) return "it is not a regular file";
    const auto entry = entries.find(escapedName(name));
    if (entry == entries.end()) return "no run of segmora-batch finished it";
    const Entry& e = entry->second;
    if (e.size != info.st_size || e.seconds != info.st_mtim.tv_sec ||
        e.nanoseconds != info.st_mtim.tv_nsec) {
        return "it changed since segmora-batch finished it";
    }
    return std::nullopt;
}

bool FinishedFiles::record(const std::string& name) const {
    struct stat info;
    if (::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    const std::string line = lineFor(escapedName(name), info);
    // One write on a file opened for appending: lines of several threads never mix.
    return ::write(listFd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace segmora
