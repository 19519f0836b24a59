#include "batch_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <set>
#include <stdexcept>

#include "batch_console.h"
#include "batch_options.h"
#include "batch_run.h"
#include "graph_files.h"
#include "mask_file.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "output_names.h"
#include "photo_list.h"
#include "processor_count.h"
#include "regular_file.h"

namespace segmora {

namespace {

constexpr int kBadCommandLine = 2;

void makeFolder(const std::string& folder, const char* what) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        throw std::runtime_error(std::string("cannot create ") + what + " '" + folder +
                                 "': " + (error ? error.message() : "not a folder"));
    }
}

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The region map of a photo: the first of REGION_DIR/NAME.txt, .png, .npy, .tif, .tiff and
// .csv (an earlier batch's label file) that exists, else the .txt one (whose absence the photo's
// job then reports).
std::string regionMapFor(const std::string& regionDir, const std::string& name) {
    const std::string base = regionDir + "/" + name;
    for (const char* extension : {".txt", ".png", ".npy", ".tif", ".tiff", ".csv"}) {
        if (exists(base + extension)) return base + extension;
    }
    return base + ".txt";
}

// The jobs of the photos; with --resume, without those whose files a batch finished
// already, which `skipped` counts.
std::vector<PhotoJob> jobsFor(const std::vector<ListedPhoto>& photos, const BatchOptions& options,
                              BatchPlan& plan, size_t& skipped) {
    const LabelFormat format = options.photoJob.labelFormat.value_or(LabelFormat::Csv);
    const BatchOutputs& outputs = *plan.outputs;
    std::vector<PhotoJob> jobs;
    for (const ListedPhoto& photo : photos) {
        if (!photo.unlisted.empty()) {
            PhotoJob job;
            job.imagePath = photo.path;
            plan.unlisted[photo.path] = photo.unlisted;
            jobs.push_back(job);
            continue;
        }
        const std::string name = photo.resultName();
        PhotoJob job = options.photoJob;
        job.imagePath = photo.path;
        job.outputPath = options.outputDir + "/" + name + labelFileExtension(format);
        job.labelFormat = format;
        if (!options.regionDir.empty()) job.regionFilePath = regionMapFor(options.regionDir, name);
        if (!options.maskDir.empty()) job.maskPath = maskFileFor(options.maskDir, name);
        if (!options.pictureDir.empty()) job.picturePath = options.pictureDir + "/" + name + ".png";
        if (!options.meanPictureDir.empty())
            job.meanPicturePath = options.meanPictureDir + "/" + name + ".png";
        if (options.graph) job.graphPrefix = options.outputDir + "/" + name;
        outputs.attach(job, photo.folder);
        if (options.resume && outputs.finished(job, photo.folder, std::cerr)) {
            ++skipped;
        } else {
            jobs.push_back(job);
        }
    }
    return jobs;
}

// The top output folders; those below are made as they are opened (BatchOutputs).
void makeResultFolders(const BatchOptions& options) {
    makeFolder(options.outputDir, "output folder");
    if (!options.pictureDir.empty()) makeFolder(options.pictureDir, "picture folder");
    if (!options.meanPictureDir.empty()) makeFolder(options.meanPictureDir, "mean picture folder");
}

// The photos of this run, or throws std::runtime_error for a list that cannot be made.
std::vector<PhotoJob> prepareJobs(const BatchOptions& options, std::istream& pathList,
                                  BatchPlan& plan, size_t& skipped) {
    std::vector<std::string> linkedFolders;
    const std::vector<ListedPhoto> photos =
        collectPhotos(options.inputs, pathList, options.recursive,
                      {options.outputDir, options.pictureDir, options.meanPictureDir},
                      options.nullSeparated, &linkedFolders);
    for (const std::string& link : linkedFolders) {
        std::cerr << "segmora-batch: skipping '" << escapedName(link)
                  << "': a link to a folder is not followed" << std::endl;
    }
    if (const auto clash = clashingPhotos(photos)) {
        throw std::runtime_error("photos '" + clash->first + "' and '" + clash->second +
                                 "' share a name, their label files would clash");
    }
    if (const auto clash = sharedOutputName(photos, options)) {
        throw std::runtime_error("the photos' outputs would clash: " + *clash);
    }
    const std::vector<ListedPhoto> share = shardOf(photos, options.shard);
    if (share.empty()) std::cerr << "segmora-batch: no photos to segment" << std::endl;
    makeResultFolders(options);
    std::set<std::string> folders{""};
    for (const ListedPhoto& photo : share) {
        if (photo.unlisted.empty()) folders.insert(photo.folder);
    }
    plan.outputs = std::make_shared<BatchOutputs>(options.outputDir, options.pictureDir,
                                                  options.meanPictureDir, folders, options.durable,
                                                  options.resume, std::cerr);
    return jobsFor(share, options, plan, skipped);
}

int summarise(BatchConsole& console, size_t total, const StopSignals& signals) {
    const size_t failed = console.failedCount();
    if (signals.signalNumber() != 0) {
        const int signal = signals.signalNumber();
        console.note(std::string("stopped by ") + stopSignalName(signal) + " after " +
                     std::to_string(console.finishedCount() + failed) + " of " +
                     std::to_string(total) + " photos");
        return 128 + signals.signalNumber();
    }
    if (console.outputLost()) return 1;
    if (failed > 0) {
        console.note(std::to_string(failed) + " of " + std::to_string(total) + " photos failed");
        return 1;
    }
    return 0;
}

}  // namespace

std::optional<BatchPlan> planBatch(const std::vector<std::string>& words, std::istream& pathList,
                                   int& status) {
    BatchOptions options;
    BatchPlan plan;
    status = kBadCommandLine;
    try {
        options = parseBatchOptions(words);
        if (options.help) {
            std::cout << batchUsage() << std::flush;
            status = 0;
            return std::nullopt;
        }
        if (options.version) {
            std::cout << versionLine("segmora-batch") << std::endl;
            status = 0;
            return std::nullopt;
        }
        opencv_codecs::checkReaderLimits();
        size_t skipped = 0;
        plan.jobs = prepareJobs(options, pathList, plan, skipped);
        if (options.resume) plan.skipped = skipped;
    } catch (const UsageError& e) {
        std::cerr << "segmora-batch: " << e.what() << "; see segmora-batch --help" << std::endl;
        return std::nullopt;
    } catch (const std::exception& e) {
        std::cerr << "segmora-batch: " << e.what() << std::endl;
        return std::nullopt;
    }
    const int processors = processorCount();
    const size_t jobsAtOnce = static_cast<size_t>(options.jobs > 0 ? options.jobs : processors);
    plan.workers = static_cast<int>(std::clamp<size_t>(plan.jobs.size(), 1, jobsAtOnce));
    plan.threadsPerWorker = std::max(1, processors / plan.workers);
    status = 0;
    return plan;
}

int runBatch(const BatchPlan& plan, StopSignals& signals, int outFd, int messageFd) {
    BatchConsole console(outFd, messageFd, ::isatty(messageFd) == 1, plan.jobs.size(),
                         plan.skipped);
    const BatchOutputs& outputs = *plan.outputs;
    const auto runJob = [&plan, &console](const PhotoJob& job, Segmenter& segmenter,
                                          std::vector<WrittenFile>& written) {
        const auto unlisted = plan.unlisted.find(job.imagePath);
        if (unlisted != plan.unlisted.end()) throw std::runtime_error(unlisted->second);
        requireRegularFile(job.imagePath, "image");
        if (!job.regionFilePath.empty()) requireRegularFile(job.regionFilePath, "region file");
        if (job.maskPath.empty()) return runPhotoJob(job, segmenter, nullptr, &written);
        requireRegularFile(job.maskPath, "mask file");
        PhotoJob warned = job;
        warned.warn = [&console](const std::string& warning) {
            console.note("warning: " + warning);
        };
        return runPhotoJob(warned, segmenter, nullptr, &written);
    };
    const auto placed = [&outputs](const PhotoJob& job) { outputs.recordFinished(job); };
    signals.beginWork(messageFd);
    runPhotoJobs(plan.jobs, plan.workers, plan.threadsPerWorker, runJob, placed, console,
                 signals.stopRequested());
    const int status = summarise(console, plan.jobs.size(), signals);
    if (plan.skipped) console.note(skippedText(*plan.skipped));
    return status;
}

}  // namespace segmora
