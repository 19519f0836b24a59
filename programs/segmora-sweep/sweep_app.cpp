#include "sweep_app.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "batch_console.h"
#include "batch_run.h"
#include "colour_image.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "output_target.h"
#include "processor_count.h"
#include "segmora/segmora.h"
#include "sweep_outputs.h"
#include "sweep_record.h"
#include "truth_files.h"
#include "truth_owners.h"

namespace segmora {

namespace {

const char* const kProgram = "segmora-sweep";

void say(int fd, const std::string& message) {
    const std::string line = std::string(kProgram) + ": " + message + "\n";
    if (::write(fd, line.data(), line.size()) < 0) return;
}

// The photos of the inputs but for the sweep's own plot (an output folder inside a photo
// folder), which is said.
std::vector<ListedPhoto> photosOf(const SweepOptions& options, int messageFd) {
    std::istringstream noList;
    std::vector<ListedPhoto> photos =
        collectPhotos(options.inputs, noList, false, {options.outputDir});
    const FileIdentity plot = identifyFile(options.outputDir + "/" + SweepOutputs::kPlot);
    std::vector<ListedPhoto> kept;
    for (ListedPhoto& photo : photos) {
        if (plot.known && plot.name.empty() && identifyFile(photo.path) == plot) {
            say(messageFd, "skipping '" + escapedName(photo.path) + "': it is this sweep's plot");
        } else {
            kept.push_back(std::move(photo));
        }
    }
    return kept;
}

}  // namespace

std::vector<SweepRow> sweepPhoto(const std::string& path, const SweepOptions& options,
                                 const std::vector<std::string>& truthFiles,
                                 const std::string& inputs, Segmenter& segmenter) {
    const std::string name = photoName(path);
    if (truthFiles.empty()) {
        throw std::runtime_error("no ground truth " + options.truthDir + "/" + name +
                                 "*.{png,npy,csv}");
    }
    const cv::Mat_<cv::Vec3b> bgr =
        readColourImage(path, options.ignoreOrientation ? Orientation::Ignore : Orientation::Apply);
    std::vector<cv::Mat_<int>> truths;
    std::string names;
    for (const std::string& file : truthFiles) {
        truths.push_back(readTruth(options.truthDir + "/" + file, bgr.size()));
        names += (names.empty() ? "" : "/") + file;
    }
    std::vector<SweepRow> rows;
    for (const Parameters& setting : options.settings) {
        const Segmentation s = segmenter.segmentPhoto(bgr, setting);
        rows.push_back(SweepRow{name, setting, evaluate(s, truths, bgr, options.evaluation),
                                options.evaluation.tolerance, options.evaluation.ignoreZero, names,
                                inputs});
    }
    return rows;
}

namespace {

// What the run works on, found before any output is touched.
struct SweepPlan {
    std::vector<ListedPhoto> photos;
    std::vector<std::string> names;
    TruthOwners truths;
    std::map<std::string, std::string> inputs;  // name -> inputsKey
};

SweepPlan planSweep(const SweepOptions& options, int messageFd) {
    SweepPlan plan;
    opencv_codecs::checkReaderLimits();
    plan.photos = photosOf(options, messageFd);
    if (plan.photos.empty()) throw SweepUsageError("no photos in the inputs: nothing to score");
    if (const auto clash = clashingPhotos(plan.photos)) {
        throw SweepUsageError("photos '" + clash->first + "' and '" + clash->second +
                              "' have the same name");
    }
    std::vector<std::string> paths;
    for (const ListedPhoto& p : plan.photos) {
        plan.names.push_back(photoName(p.path));
        paths.push_back(p.path);
    }
    plan.truths =
        assignTruths(listTruthFolder(options.truthDir), plan.names, photoNamesBeside(paths));
    for (const std::string& warning : plan.truths.warnings) say(messageFd, "warning: " + warning);
    for (const ListedPhoto& p : plan.photos) {
        const std::string name = photoName(p.path);
        plan.inputs[name] = inputsKey(p.path, options.ignoreOrientation, options.truthDir,
                                      plan.truths.byPhoto[name]);
    }
    return plan;
}

}  // namespace

namespace {

// The photos still to score: those without rows among `kept`.
std::vector<PhotoJob> jobsToDo(const std::vector<ListedPhoto>& photos,
                               const std::vector<SweepRow>& kept) {
    std::set<std::string> done;
    for (const SweepRow& row : kept) done.insert(row.photo);
    std::vector<PhotoJob> jobs;
    for (const ListedPhoto& p : photos) {
        if (done.count(photoName(p.path)) != 0) continue;
        jobs.emplace_back();
        jobs.back().imagePath = p.path;
    }
    return jobs;
}

// Scores the photos of `jobs` on as many workers as asked for (or one per processor),
// appending each photo's rows to the table, until all are done or a signal asks to stop.
void scorePhotos(const SweepOptions& options, const SweepPlan& plan,
                 const std::vector<PhotoJob>& jobs, SweepOutputs& outputs, BatchConsole& console,
                 StopSignals* signals, int messageFd) {
    static const std::atomic<bool> never{false};
    const int processors = processorCount();
    const int workers = int(
        std::clamp<size_t>(jobs.size(), 1, size_t(options.jobs > 0 ? options.jobs : processors)));
    const auto runJob = [&](const PhotoJob& job, Segmenter& segmenter,
                            std::vector<WrittenFile>&) {  // writes no file of its own
        const std::string name = photoName(job.imagePath);
        const std::vector<SweepRow> rows = sweepPhoto(
            job.imagePath, options, plan.truths.byPhoto.at(name), plan.inputs.at(name), segmenter);
        outputs.append(rows);
        return int(rows.size());
    };
    if (signals != nullptr) signals->beginWork(messageFd);
    runPhotoJobs(
        jobs, workers, std::max(1, processors / workers), runJob, [](const PhotoJob&) {}, console,
        signals != nullptr ? signals->stopRequested() : never);
}

// The exit status of a sweep that ran `jobCount` photos, with its last message.
int sweepStatus(BatchConsole& console, const StopSignals* signals, size_t jobCount) {
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

// Scores what --resume did not keep and writes the results; the exit status.
int sweepInto(SweepOutputs& outputs, const SweepOptions& options, const SweepPlan& plan,
              StopSignals* signals, int outFd, int messageFd) {
    const auto sayLine = [messageFd](const std::string& line) { say(messageFd, line); };
    std::vector<SweepRow> kept;
    if (options.resume) kept = outputs.finishedRows(plan.inputs, options, sayLine);
    const std::vector<PhotoJob> jobs = jobsToDo(plan.photos, kept);
    outputs.startTable(kept);
    const std::optional<size_t> skipped =
        options.resume ? std::optional<size_t>(plan.photos.size() - jobs.size()) : std::nullopt;
    BatchConsole console(outFd, messageFd, !options.quiet && ::isatty(messageFd) == 1, jobs.size(),
                         skipped, kProgram);
    scorePhotos(options, plan, jobs, outputs, console, signals, messageFd);
    if (!options.quiet) console.endProgress();
    std::vector<SweepRow> rows = kept;
    const std::vector<SweepRow> added = outputs.appended();
    rows.insert(rows.end(), added.begin(), added.end());
    outputs.writeResults(rows, plan.names, options);
    return sweepStatus(console, signals, jobs.size());
}

}  // namespace

int runSweep(const std::vector<std::string>& words, StopSignals* signals, int outFd,
             int messageFd) {
    SweepOptions options;
    SweepPlan plan;
    std::unique_ptr<SweepOutputs> outputs;
    try {
        options = parseSweepOptions(words);
        if (options.help || options.version) {
            const std::string text =
                options.help ? sweepUsage() : versionLine("segmora-sweep") + "\n";
            return outFd < 0 || ::write(outFd, text.data(), text.size()) < 0 ? 1 : 0;
        }
        for (const std::string& note : options.notes) say(messageFd, note);
        plan = planSweep(options, messageFd);
        outputs = std::make_unique<SweepOutputs>(
            options.outputDir, [messageFd](const std::string& line) { say(messageFd, line); });
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 2;
    }
    try {
        return sweepInto(*outputs, options, plan, signals, outFd, messageFd);
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 1;
    }
}

}  // namespace segmora
