#include "batch_app.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "batch_console.h"
#include "batch_options.h"
#include "batch_run.h"
#include "photo_inputs.h"
#include "photo_list.h"

namespace segmora {

namespace {

constexpr int kBadCommandLine = 2;

int processorCount() {
    cpu_set_t cpus;
    if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0) return std::max(1, CPU_COUNT(&cpus));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void makeFolder(const std::string& folder, const char* what) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        throw std::runtime_error(std::string("cannot create ") + what + " '" + folder +
                                 "': " + (error ? error.message() : "not a folder"));
    }
}

// The jobs of the photos; with --resume, without those whose files are finished already.
std::vector<PhotoJob> jobsFor(const std::vector<std::string>& photos, const BatchOptions& options,
                              const BatchOutputs& outputs) {
    std::vector<PhotoJob> jobs;
    for (const std::string& photo : photos) {
        const std::string name = photoName(photo);
        PhotoJob job{photo, "", options.outputDir + "/" + name + ".csv", ""};
        if (!options.regionDir.empty())
            job.regionFilePath = options.regionDir + "/" + name + ".txt";
        if (!options.pictureDir.empty()) job.picturePath = options.pictureDir + "/" + name + ".png";
        outputs.attach(job);
        const bool done = options.resume && outputs.finished(job, std::cerr);
        if (!done) jobs.push_back(job);
    }
    return jobs;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
    return text;
}

// The photos of this run, or throws std::runtime_error for a list that cannot be made.
std::vector<PhotoJob> prepareJobs(const BatchOptions& options, std::istream& pathList,
                                  BatchPlan& plan) {
    const std::vector<std::string> photos = collectPhotos(options.inputs, pathList);
    const std::vector<std::string> shared = sharedNames(photos);
    if (!shared.empty()) {
        throw std::runtime_error("photos share a name, their label files would clash: " +
                                 joined(shared));
    }
    makeFolder(options.outputDir, "output folder");
    if (!options.pictureDir.empty()) makeFolder(options.pictureDir, "picture folder");
    plan.outputs = std::make_shared<BatchOutputs>(options.outputDir, options.pictureDir,
                                                  options.durable, options.resume, std::cerr);
    return jobsFor(shardOf(photos, options.shard), options, *plan.outputs);
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
        plan.jobs = prepareJobs(options, pathList, plan);
    } catch (const UsageError& e) {
        std::cerr << "segmora-batch: " << e.what() << "\n" << batchUsage() << std::flush;
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
    BatchConsole console(outFd, messageFd, ::isatty(messageFd) == 1, plan.jobs.size());
    const BatchOutputs& outputs = *plan.outputs;
    const auto runJob = [&outputs](const PhotoJob& job, Segmenter& segmenter) {
        requireRegularFile(job.imagePath, "image");
        if (!job.regionFilePath.empty()) requireRegularFile(job.regionFilePath, "region file");
        const int count = runPhotoJob(job, segmenter, nullptr);
        outputs.recordFinished(job);
        return count;
    };
    signals.beginWork(messageFd);
    runPhotoJobs(plan.jobs, plan.workers, plan.threadsPerWorker, runJob, console,
                 signals.stopRequested());
    return summarise(console, plan.jobs.size(), signals);
}

}  // namespace segmora
