#include "sweep_app.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>

#include "batch_console.h"
#include "batch_run.h"
#include "colour_image.h"
#include "mask_file.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "output_target.h"
#include "processor_count.h"
#include "segmora/segmora.h"
#include "sweep_outputs.h"
#include "sweep_plan.h"
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

// The photos of the inputs (from `pathList` for "-") but for the sweep's own plot (an
// output folder inside a photo folder), which is said.
std::vector<ListedPhoto> photosOf(const SweepOptions& options, std::istream& pathList,
                                  int messageFd) {
    std::vector<ListedPhoto> photos =
        collectPhotos(options.inputs, pathList, options.recursive,
                      {options.outputDir, options.truthDir}, options.nullSeparated);
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

std::vector<SweepRow> sweepPhoto(const std::string& path, const std::string& name,
                                 const PhotoTruths& truthsOf, const SweepOptions& options,
                                 Segmenter& segmenter) {
    // A missing photo is named first.
    const cv::Mat_<cv::Vec3b> bgr =
        readColourImage(path, options.ignoreOrientation ? Orientation::Ignore : Orientation::Apply);
    if (truthsOf.files.empty()) {
        throw std::runtime_error("no ground truth " + truthsOf.folder + "/" + photoName(path) +
                                 "*.{png,npy,csv}");
    }
    std::vector<cv::Mat_<int>> truths;
    std::string names;
    for (const std::string& file : truthsOf.files) {
        truths.push_back(readTruth(truthsOf.folder + "/" + file, bgr.size()));
        names += (names.empty() ? "" : "/") + file;
    }
    // Outside a mask the labels are 0, which evaluate() leaves out.
    cv::Mat mask;
    if (!options.maskDir.empty()) {
        mask = readMaskFile(maskFileFor(options.maskDir, name), bgr.rows, bgr.cols).inside;
    }
    std::vector<SweepRow> rows;
    std::optional<Hierarchy> tree;  // of the last setting with a count: the next may share it
    Parameters treeKnobs;
    for (const Parameters& setting : options.settings) {
        Parameters knobs = setting;
        knobs.count = 0;
        if (setting.count != 0 && (!tree || !sameSetting(knobs, treeKnobs))) {
            tree = segmenter.hierarchyOfPhoto(bgr, cv::Mat_<int>(), knobs, mask);
            treeKnobs = knobs;
        }
        const Segmentation s = setting.count != 0
                                   ? tree->cut(setting.count)
                                   : segmenter.segmentPhoto(bgr, cv::Mat_<int>(), setting, mask);
        rows.push_back(SweepRow{name, setting, evaluate(s, truths, bgr, options.evaluation),
                                options.evaluation.tolerance, options.evaluation.ignoreZero, names,
                                truthsOf.inputs});
    }
    return rows;
}

namespace {

// What a sweep works on: its options, the photos it scores with their names and truths,
// and those it counts apart; found before any output is touched.
struct SweepInputs {
    SweepOptions options;
    SweepPlan plan;
    std::vector<std::string> names;  // resultName() of each photo of the plan
};

// Throws std::exception with the message for a bad command line or a folder that cannot
// be used.
SweepInputs prepareSweep(const SweepOptions& options, std::istream& pathList, int messageFd) {
    SweepInputs in;
    in.options = options;
    opencv_codecs::checkReaderLimits();
    const std::vector<ListedPhoto> photos = photosOf(options, pathList, messageFd);
    if (photos.empty()) throw SweepUsageError("no photos in the inputs: nothing to score");
    if (const auto clash = clashingPhotos(photos)) {
        throw SweepUsageError("photos '" + clash->first + "' and '" + clash->second +
                              "' have the same name");
    }
    in.plan = planSweep(photos, options);
    for (const std::string& warning : in.plan.warnings) say(messageFd, "warning: " + warning);
    for (const ListedPhoto& p : in.plan.photos) in.names.push_back(p.resultName());
    return in;
}

// The photos still to score: those without rows among `kept`.
std::vector<PhotoJob> jobsToDo(const std::vector<ListedPhoto>& photos,
                               const std::vector<SweepRow>& kept) {
    std::set<std::string> done;
    for (const SweepRow& row : kept) done.insert(row.photo);
    std::vector<PhotoJob> jobs;
    for (const ListedPhoto& p : photos) {
        if (done.count(p.resultName()) != 0) continue;
        jobs.emplace_back();
        jobs.back().imagePath = p.path;
    }
    return jobs;
}

// Scores the photos of `jobs` on as many workers as asked for (or one per processor),
// appending each photo's rows to the table, until all are done or a signal asks to stop.
void scorePhotos(const SweepInputs& in, const std::vector<PhotoJob>& jobs, SweepOutputs& outputs,
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
        const std::string name = photo.resultName();
        const PhotoTruths truths{in.plan.truths.at(photo.folder).path,
                                 in.plan.truthFiles.at(name), in.plan.inputs.at(name)};
        const std::vector<SweepRow> rows = sweepPhoto(job.imagePath, name, truths, in.options,
                                                      segmenter);
        outputs.append(rows);
        return int(rows.size());
    };
    if (signals != nullptr) signals->beginWork(messageFd);
    runPhotoJobs(
        jobs, workers, std::max(1, processors / workers), runJob, [](const PhotoJob&) {}, console,
        signals != nullptr ? signals->stopRequested() : never);
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

// The exit status of a sweep that ran `jobCount` photos, with its last messages.
int sweepStatus(BatchConsole& console, const StopSignals* signals, size_t jobCount,
                const SweepInputs& in) {
    if (!in.plan.withoutTruth.empty()) {
        console.note(std::to_string(in.plan.withoutTruth.size()) +
                     " photos without a ground truth were not scored (listed in " +
                     in.options.outputDir + "/" + SweepOutputs::kWithoutTruth + ")");
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

// Scores what --resume did not keep and writes the results; the exit status.
int sweepInto(SweepOutputs& outputs, const SweepInputs& in, StopSignals* signals, int outFd,
              int messageFd) {
    const SweepOptions& options = in.options;
    const auto sayLine = [messageFd](const std::string& line) { say(messageFd, line); };
    std::vector<SweepRow> kept;
    if (options.resume) kept = outputs.finishedRows(in.plan.inputs, options, sayLine);
    const std::vector<PhotoJob> jobs = jobsToDo(in.plan.photos, kept);
    outputs.startTable(kept);
    outputs.writeWithoutTruth(in.plan.withoutTruth);
    const std::optional<size_t> skipped =
        options.resume ? std::optional<size_t>(in.plan.photos.size() - jobs.size())
                       : std::nullopt;
    BatchConsole console(outFd, messageFd, !options.quiet && ::isatty(messageFd) == 1, jobs.size(),
                         skipped, kProgram);
    scorePhotos(in, jobs, outputs, console, signals, messageFd);
    // runPhotoJobs has ended the progress line: drawn again, it would show twice.
    std::vector<SweepRow> rows = kept;
    const std::vector<SweepRow> added = outputs.appended();
    rows.insert(rows.end(), added.begin(), added.end());
    const int signal = signals != nullptr ? signals->signalNumber() : 0;
    outputs.writeResults(
        rows, in.names, options,
        partialText(signal, console.finishedCount(), console.failedCount(), jobs.size()));
    return sweepStatus(console, signals, jobs.size(), in);
}

}  // namespace

int runSweep(const std::vector<std::string>& words, StopSignals* signals, int outFd, int messageFd,
             std::istream& pathList) {
    SweepInputs in;
    std::unique_ptr<SweepOutputs> outputs;
    try {
        in.options = parseSweepOptions(words);
        if (in.options.help || in.options.version) {
            const std::string text =
                in.options.help ? sweepUsage() : versionLine("segmora-sweep") + "\n";
            return outFd < 0 || ::write(outFd, text.data(), text.size()) < 0 ? 1 : 0;
        }
        for (const std::string& note : in.options.notes) say(messageFd, note);
        in = prepareSweep(in.options, pathList, messageFd);
        outputs = std::make_unique<SweepOutputs>(
            in.options.outputDir, [messageFd](const std::string& line) { say(messageFd, line); });
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 2;
    }
    try {
        return sweepInto(*outputs, in, signals, outFd, messageFd);
    } catch (const std::exception& e) {
        say(messageFd, e.what());
        return 1;
    }
}

}  // namespace segmora
