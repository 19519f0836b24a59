#include "finished_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "batch_console.h"
#include "text_hash.h"

namespace segmora {

namespace {

std::string lineFor(const std::string& escapedName, const struct stat& info,
                    const std::string& settings) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%lld %lld.%09ld #",
                  static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
                  info.st_mtim.tv_nsec);
    return numbers + settings + " " + escapedName + "\n";
}

constexpr size_t kSettingsDigits = 16;  // of hashText

// "#SETTINGS " at `at` of `line`: the settings, and `at` moved past them.
std::string settingsAt(const std::string& line, size_t& at) {
    if (line.size() < at + kSettingsDigits + 3 || line[at] != '#' ||
        line[at + kSettingsDigits + 1] != ' ') {
        return "";
    }
    const std::string digits = line.substr(at + 1, kSettingsDigits);
    if (digits.find_first_not_of("0123456789abcdef") != std::string::npos) return "";
    at += kSettingsDigits + 2;
    return digits;
}

}  // namespace

namespace {

std::string pictureText(const PhotoJob& job, OutputKind kind) {
    if (kind == OutputKind::MeanPicture) return "mean picture\n";
    if (kind != OutputKind::BoundaryPicture) return "";
    const BoundaryStyle& style = job.pictureStyle;
    char text[120];
    std::snprintf(text, sizeof text, "boundary picture %d %d %d, %d %d %d, %s\n",
                  style.segmentColour[0], style.segmentColour[1], style.segmentColour[2],
                  style.regionColour[0], style.regionColour[1], style.regionColour[2],
                  style.mode == BoundaryMode::Thick ? "thick" : "thin");
    return text;
}

}  // namespace

std::string settingsKey(const PhotoJob& job, OutputKind kind) {
    const Parameters& knobs = job.parameters;
    char text[160];
    std::snprintf(text, sizeof text, "threshold %a sigma %a cap %d min-size %d format %d\n",
                  static_cast<double>(knobs.threshold), static_cast<double>(knobs.sigma),
                  knobs.capDivisor, knobs.minSize,
                  static_cast<int>(job.labelFormat.value_or(LabelFormat::Csv)));
    // Photos taken as stored give other labels; the default adds nothing, so lists written
    // before the option existed still match.
    const std::string orientation =
        job.orientation == Orientation::Ignore ? "orientation ignored\n" : "";
    // A mask adds its path; without one nothing, so earlier lists still match.
    const std::string mask = job.maskPath.empty() ? "" : "\nmask " + job.maskPath;
    // So does a count: labels cut to a count are not the run's own.
    const int count = job.parameters.count;
    const std::string counted = count == 0 ? "" : "\ncount " + std::to_string(count);
    return hashText(text + orientation + pictureText(job, kind) + job.regionFilePath + mask +
                    counted);
}

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
            size_t at = static_cast<size_t>(used) + 1;
            entry.settings = settingsAt(line, at);
            if (at < line.size()) entries[line.substr(at)] = entry;
        }
    }
}

std::optional<std::string> FinishedFiles::whyUnfinished(const std::string& name,
                                                        const std::string& settings,
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
    if (e.settings.empty()) return "the settings it was made with were not recorded";
    if (e.settings != settings) return "it was made with other settings";
    return std::nullopt;
}

bool FinishedFiles::record(const std::string& name, const std::string& settings) const {
    struct stat info;
    if (::fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    const std::string line = lineFor(escapedName(name), info, settings);
    // One write on a file opened for appending: lines of several threads never mix.
    return ::write(listFd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace segmora
