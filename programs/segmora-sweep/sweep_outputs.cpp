#include "sweep_outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "opencv_codecs.h"
#include "output_file.h"
#include "sweep_options.h"
#include "sweep_plot.h"
#include "sweep_record.h"

namespace segmora {

namespace {

// The longest table record read back: a name and its truths' names, quoted.
constexpr size_t kLongestRecord = 1 << 20;

// The file `name` in `folder`, opened without following a link or waiting on a FIFO; -1
// with `why` set when it is missing or not a regular file.
int openRegular(const OutputFolder& folder, const char* name, int flags, std::string& why) {
    const int fd = ::openat(folder.fd(), name, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = errno == ENOENT  ? ""
              : errno == ELOOP ? "it is a symbolic link"
                               : std::strerror(errno);
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        why = "it is not a regular file";
        return -1;
    }
    return fd;
}

}  // namespace

SweepOutputs::SweepOutputs(const std::string& path, const Say& say) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        throw std::runtime_error("cannot create output folder '" + path + "': " + error.message());
    folder = std::make_unique<OutputFolder>(path, "output folder", true);
    for (const std::string& name : folder->removeLeftoverTemporaryFiles())
        say("removed '" + path + "/" + name + "', left by a run that was killed");
}

SweepOutputs::~SweepOutputs() {
    if (tableFd >= 0) ::close(tableFd);
}

std::vector<SweepRow> SweepOutputs::finishedRows(const std::map<std::string, std::string>& inputs,
                                                 const SweepOptions& options,
                                                 const Say& say) const {
    const std::string shown = path() + "/" + kTable;
    std::string why;
    const int fd = openRegular(*folder, kTable, O_RDONLY, why);
    if (fd < 0) {
        if (!why.empty()) say("redoing every photo: cannot read '" + shown + "': " + why);
        return {};
    }
    FinishedRows finished(inputs, options.settings, options.evaluation.tolerance,
                          options.evaluation.ignoreZero);
    const bool read =
        readRecords(fd, kLongestRecord, [&](const std::string& r) { finished.take(r); });
    const int readError = errno;
    ::close(fd);
    if (!read) {
        say("redoing every photo: cannot read '" + shown + "': " + std::strerror(readError));
        return {};
    }
    if (!finished.currentFormat()) {
        say("redoing every photo: '" + shown +
            "' was written by an earlier version, which did not record what its rows were "
            "made from");
        return {};
    }
    return finished.kept();
}

void SweepOutputs::startTable(const std::vector<SweepRow>& kept) {
    std::string table = sweepHeader();
    for (const SweepRow& row : kept) table += sweepLine(row);
    writeWhole(kTable, "table", table);
    std::string why;
    tableFd = openRegular(*folder, kTable, O_WRONLY | O_APPEND, why);
    if (tableFd < 0) {
        throw std::runtime_error("cannot open '" + path() + "/" + kTable +
                                 "': " + (why.empty() ? "it is gone" : why));
    }
}

void SweepOutputs::append(const std::vector<SweepRow>& rows) {
    std::string text;
    for (const SweepRow& row : rows) text += sweepLine(row);
    const std::lock_guard<std::mutex> guard(lock);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(tableFd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            throw std::runtime_error("cannot add to '" + path() + "/" + kTable +
                                     "': " + std::strerror(errno));
        }
        done += size_t(n);
    }
    written.insert(written.end(), rows.begin(), rows.end());
}

std::vector<SweepRow> SweepOutputs::appended() {
    const std::lock_guard<std::mutex> guard(lock);
    return written;
}

void SweepOutputs::writeResults(std::vector<SweepRow> rows, const std::vector<std::string>& names,
                                const SweepOptions& options, const std::string& partial) const {
    sortRows(rows, names, options.settings);
    std::string table = sweepHeader();
    for (const SweepRow& row : rows) table += sweepLine(row);
    writeWhole(kTable, "table", table);
    const std::vector<SettingSummary> summaries = summarise(rows, options.settings);
    writeWhole(kSummary, "summary", summaryText(summaries, !partial.empty()));
    std::vector<uchar> png;
    if (!opencv_codecs::imencode(
            ".png", plotSweep(summaries, options.evaluation.tolerance, partial), png)) {
        throw std::runtime_error("cannot encode the plot");
    }
    writeWhole(kPlot, "plot", std::string(png.begin(), png.end()));
}

void SweepOutputs::writeWithoutTruth(const std::vector<std::string>& paths) const {
    if (paths.empty()) {
        // A name is removed, never followed.
        if (::unlinkat(folder->fd(), kWithoutTruth, 0) != 0 && errno != ENOENT) {
            throw std::runtime_error("cannot remove '" + path() + "/" + kWithoutTruth +
                                     "': " + std::strerror(errno));
        }
        return;
    }
    std::string text;
    for (const std::string& photo : paths) text += photo + "\n";
    writeWhole(kWithoutTruth, "list of photos without ground truth", text);
}

void SweepOutputs::writeWhole(const char* name, const std::string& description,
                              const std::string& bytes) const {
    OutputFile file(*folder, name, description);
    file.write(bytes.data(), bytes.size());
    file.commit();
}

}  // namespace segmora
