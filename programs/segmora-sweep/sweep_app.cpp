#include "sweep_app.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "batch_console.h"
#include "batch_run.h"
#include "colour_image.h"
#include "mask_file.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "processor_count.h"
#include "segmora/segmora.h"
#include "sweep_plan.h"
#include "sweep_plot.h"
#include "truth_files.h"

namespace segmora {

namespace {

const char* const kProgram = "segmora-sweep";
const char* const kTable = "sweep.csv";
const char* const kSummary = "summary.csv";
const char* const kPlot = "sweep.png";
const char* const kWithoutTruth = "no-truth.txt";

void say(int fd, const std::string& message) {
    const std::string line = std::string(kProgram) + ": " + message + "\n";
    if (::write(fd, line.data(), line.size()) < 0) return;
}

// Writes `bytes` to `path` through a temporary file and a rename.
void writeWhole(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.flush();
        if (!out) throw std::runtime_error("cannot write '" + temporary + "'");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename '" + temporary + "' to '" + path +
                                 "': " + std::strerror(errno));
    }
}

// The table's rows to keep on --resume: those of photos of `names` that have a row for
// every setting (a photo's rows are appended together; a torn last line is dropped).
std::vector<SweepRow> finishedRows(const std::string& table, const std::vector<std::string>& names,
                                   const std::vector<Parameters>& settings) {
    std::ifstream in(table, std::ios::binary);
    std::map<std::string, std::vector<SweepRow>> byPhoto;
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // no line feed: cut short
        const std::optional<SweepRow> row = parseSweepLine(line);
        if (row) byPhoto[row->photo].push_back(*row);
    }
    std::vector<SweepRow> kept;
    for (const std::string& name : names) {
        const auto found = byPhoto.find(name);
        if (found == byPhoto.end()) continue;
        std::vector<SweepRow> rows;
        for (const Parameters& setting : settings) {
            const auto it =
                std::find_if(found->second.rbegin(), found->second.rend(),
                             [&](const SweepRow& r) { return sameSetting(r.setting, setting); });
            if (it == found->second.rend()) break;
            rows.push_back(*it);
        }
        if (rows.size() == settings.size()) kept.insert(kept.end(), rows.begin(), rows.end());
    }
    return kept;
}

// Rows in the order of the photo list, then of the settings.
void sortRows(std::vector<SweepRow>& rows, const std::vector<std::string>& names,
              const std::vector<Parameters>& settings) {
    std::map<std::string, size_t> photoOrder;
    for (size_t k = 0; k < names.size(); ++k) photoOrder.emplace(names[k], k);
    const auto settingOrder = [&](const Parameters& p) {
        return size_t(std::find_if(settings.begin(), settings.end(),
                                   [&](const Parameters& s) { return sameSetting(s, p); }) -
                      settings.begin());
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const SweepRow& a, const SweepRow& b) {
        const size_t pa = photoOrder[a.photo], pb = photoOrder[b.photo];
        return pa != pb ? pa < pb : settingOrder(a.setting) < settingOrder(b.setting);
    });
}

// The table open for appending a photo's rows at a time. They are not flushed to the disk
// one by one: rows lost or cut short by a crash are rows a resumed run redoes.
class TableFile {
  public:
    explicit TableFile(const std::string& path)
        : fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)) {
        if (fd < 0) throw std::runtime_error("cannot open '" + path + "': " + std::strerror(errno));
    }
    ~TableFile() { ::close(fd); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    void append(const std::vector<SweepRow>& rows) {
        std::string text;
        for (const SweepRow& row : rows) text += sweepLine(row);
        const std::lock_guard<std::mutex> guard(lock);
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                throw std::runtime_error(std::string("cannot add to the table: ") +
                                         std::strerror(errno));
            done += size_t(n);
        }
        written.insert(written.end(), rows.begin(), rows.end());
    }
    std::vector<SweepRow> rows() {
        const std::lock_guard<std::mutex> guard(lock);
        return written;
    }

  private:
    const int fd;
    std::mutex lock;
    std::vector<SweepRow> written;
};

// `partial`: why the run was partial ("" when it was not), said by the summary and plot.
void writeResults(const std::string& folder, std::vector<SweepRow> rows,
                  const std::vector<std::string>& names, const SweepOptions& options,
                  const std::string& partial) {
    sortRows(rows, names, options.settings);
    std::string table = sweepHeader();
    for (const SweepRow& row : rows) table += sweepLine(row);
    writeWhole(folder + "/" + kTable, table);
    const std::vector<SettingSummary> summaries = summarise(rows, options.settings);
    writeWhole(folder + "/" + kSummary, summaryText(summaries, !partial.empty()));
    std::vector<uchar> png;
    if (!opencv_codecs::imencode(
            ".png", plotSweep(summaries, options.evaluation.tolerance, partial), png)) {
        throw std::runtime_error("cannot encode the picture");
    }
    writeWhole(folder + "/" + kPlot, std::string(png.begin(), png.end()));
}

// The list of photos counted apart, one path a line; no file when there is none.
void writeWithoutTruth(const std::string& folder, const std::vector<std::string>& paths) {
    const std::string path = folder + "/" + kWithoutTruth;
    if (paths.empty()) {
        std::remove(path.c_str());
        return;
    }
    std::string text;
    for (const std::string& photo : paths) text += photo + "\n";
    writeWhole(path, text);
}

// Why a run was partial, for its summary and picture; "" when it was not.
std::string partialText(int signal, size_t finished, size_t failed, size_t photos) {
    if (signal != 0) {
        return std::to_string(finished) + " of " + std::to_string(photos) +
               " photos scored, stopped by " + stopSignalName(signal);
    }
    if (failed > 0) return std::to_string(failed) + " of " + std::to_string(photos) + " photos failed";
    return "";
}

// What a sweep works on: its options, the photos it scores with their names and truth
// folders, and those it counts apart.
struct SweepInputs {
    SweepOptions options;
    SweepPlan plan;
    std::vector<std::string> names;  // resultName() of each photo of the plan
};

// Lists the photos (from `pathList` for "-") and their truths and makes the output folder.
// Throws std::exception with the message for a bad command line or a folder that cannot be
// used.
SweepInputs prepareSweep(const SweepOptions& options, std::istream& pathList) {
    SweepInputs in;
    in.options = options;
    const std::vector<ListedPhoto> photos =
        collectPhotos(options.inputs, pathList, options.recursive,
                      {options.outputDir, options.truthDir}, options.nullSeparated);
    if (const auto clash = clashingPhotos(photos)) {
        throw SweepUsageError("photos '" + clash->first + "' and '" + clash->second +
                              "' have the same name");
    }
    in.plan = planSweep(photos, options);
    std::filesystem::create_directories(options.outputDir);
    for (const ListedPhoto& p : in.plan.photos) in.names.push_back(p.resultName());
    return in;
}

// The photos still to score: those without rows among `kept`.
std::vector<PhotoJob> jobsToDo(const std::vector<ListedPhoto>& photos,
                               const std::vector<SweepRow>& kept) {
    std::vector<PhotoJob> jobs;
    for (const ListedPhoto& p : photos) {
        const std::string name = p.resultName();
        const bool done = std::any_of(kept.begin(), kept.end(),
                                      [&](const SweepRow& r) { return r.photo == name; });
        if (done) continue;
        jobs.emplace_back();
        jobs.back().imagePath = p.path;
    }
    return jobs;
}

// Scores the photos of `jobs` on as many workers as asked for (or one per processor),
// appending each photo's rows to `table`, until all are done or a signal asks to stop.
void scorePhotos(const SweepInputs& in, const std::vector<PhotoJob>& jobs, TableFile& table,
                 BatchConsole& console, StopSignals* signals, int messageFd) {
    static const std::atomic<bool> never{false};
    const int processors = processorCount();
    const int workers = int(std::clamp<size_t>(
        jobs.size(), 1, size_t(in.options.jobs > 0 ? in.options.jobs : processors)));
    std::map<std::string, const ListedPhoto*> listed;
    for (const ListedPhoto& p : in.plan.photos) listed.emplace(p.path, &p);
    const auto runJob = [&](const PhotoJob& job, Segmenter& segmenter,
                            std::vector<WrittenFile>&) {  // writes no file of its own
        const ListedPhoto& photo = *listed.at(job.imagePath);
        if (!photo.unlisted.empty()) throw std::runtime_error(photo.unlisted);
        const std::vector<SweepRow> rows =
            sweepPhoto(job.imagePath, photo.resultName(), in.plan.truths.at(photo.folder),
                       in.options, segmenter);
        table.append(rows);
        return int(rows.size());
    };
    if (signals != nullptr) signals->beginWork(messageFd);
    runPhotoJobs(
        jobs, workers, std::max(1, processors / workers), runJob, [](const PhotoJob&) {}, console,
        signals != nullptr ? signals->stopRequested() : never);
}

// The exit status of a sweep that ran `jobCount` photos, with its last messages.
int sweepStatus(BatchConsole& console, const StopSignals* signals, size_t jobCount,
                const SweepInputs& in) {
    if (!in.plan.withoutTruth.empty()) {
        console.note(std::to_string(in.plan.withoutTruth.size()) +
                     " photos without a ground truth were not scored (listed in " +
                     in.options.outputDir + "/" + kWithoutTruth + ")");
    }
    if (signals != nullptr && signals->signalNumber() != 0) {
        console.note(std::string("stopped by ") + stopSignalName(signals->signalNumber()) +
                     "; --resume goes on");
        return 128 + signals->signalNumber();
    }
    if (console.failedCount() > 0) {
        console.note(std::to_string(console.failedCount()) + " of " + std::to_string(jobCount) +
                     " photos failed");
        return 1;
    }
    return console.outputLost() ? 1 : 0;
}

}  // namespace

std::vector<SweepRow> sweepPhoto(const std::string& path, const std::string& name,
                                 const TruthFolder& truthFolder, const SweepOptions& options,
                                 Segmenter& segmenter) {
    const cv::Mat_<cv::Vec3b> bgr = readColourImage(path);  // a missing photo is named first
    const std::vector<std::string> files = truthFilesOf(truthFolder.files, photoName(path));
    if (files.empty()) {
        throw std::runtime_error("no ground truth " + truthFolder.path + "/" + photoName(path) +
                                 "*.{png,npy,csv}");
    }
    std::vector<cv::Mat_<int>> truths;
    for (const std::string& file : files) {
        truths.push_back(readTruth(truthFolder.path + "/" + file, bgr.size()));
    }
    // Outside a mask the labels are 0, which evaluate() leaves out.
    cv::Mat mask;
    if (!options.maskDir.empty()) {
        mask = readMaskFile(maskFileFor(options.maskDir, name), bgr.rows, bgr.cols).inside;
    }
    std::vector<SweepRow> rows;
    for (const Parameters& setting : options.settings) {
        const Segmentation s = segmenter.segmentPhoto(bgr, cv::Mat_<int>(), setting, mask);
        rows.push_back(SweepRow{name, setting, evaluate(s, truths, bgr, options.evaluation)});
    }
    return rows;
}

int runSweep(const std::vector<std::string>& words, StopSignals* signals, int outFd, int messageFd,
             std::istream& pathList) {
    SweepInputs in;
    try {
        in.options = parseSweepOptions(words);
        if (in.options.help || in.options.version) {
            const std::string text =
                in.options.help ? sweepUsage() : versionLine("segmora-sweep") + "\n";
            return ::write(outFd, text.data(), text.size()) < 0 ? 1 : 0;
        }
        in = prepareSweep(in.options, pathList);
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 2;
    }
    const std::string tablePath = in.options.outputDir + "/" + kTable;
    std::vector<SweepRow> kept;
    if (in.options.resume) kept = finishedRows(tablePath, in.names, in.options.settings);
    const std::vector<PhotoJob> jobs = jobsToDo(in.plan.photos, kept);
    try {
        std::string table = sweepHeader();
        for (const SweepRow& row : kept) table += sweepLine(row);
        writeWhole(tablePath, table);
        writeWithoutTruth(in.options.outputDir, in.plan.withoutTruth);
        TableFile file(tablePath);
        const std::optional<size_t> skipped =
            in.options.resume ? std::optional<size_t>(in.plan.photos.size() - jobs.size())
                              : std::nullopt;
        BatchConsole console(outFd, messageFd, !in.options.quiet && ::isatty(messageFd) == 1,
                             jobs.size(), skipped, kProgram);
        scorePhotos(in, jobs, file, console, signals, messageFd);
        // runPhotoJobs has ended the progress line: drawn again, it would show twice.
        std::vector<SweepRow> rows = kept;
        const std::vector<SweepRow> added = file.rows();
        rows.insert(rows.end(), added.begin(), added.end());
        const int signal = signals != nullptr ? signals->signalNumber() : 0;
        writeResults(
            in.options.outputDir, rows, in.names, in.options,
            partialText(signal, console.finishedCount(), console.failedCount(), jobs.size()));
        return sweepStatus(console, signals, jobs.size(), in);
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 1;
    }
}

}  // namespace segmora
