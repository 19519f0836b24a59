#include "batch_run.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "file_placer.h"

namespace segmora {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
// Jobs whose files wait to be placed, per worker: enough to ride out a slow flush, few
// enough to keep their temporary files within the signal list (temporary_files.h).
constexpr size_t kWaitingPerWorker = 4;

struct WorkList {
    WorkList(const std::vector<PhotoJob>& jobs, const PhotoRunner& runJob, FilePlacer& placer,
             BatchConsole& console, const std::atomic<bool>& stop)
        : jobs(jobs), runJob(runJob), placer(placer), console(console), stop(stop) {}

    const std::vector<PhotoJob>& jobs;
    const PhotoRunner& runJob;
    FilePlacer& placer;
    BatchConsole& console;
    const std::atomic<bool>& stop;
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::condition_variable workerDone;
    int running = 0;
};

// Runs the job and hands its files on, with the failure if it failed.
void runOne(const PhotoJob& job, const PhotoRunner& runJob, Segmenter& segmenter,
            FilePlacer& placer) {
    EndedJob ended;
    ended.job = &job;
    try {
        ended.count = runJob(job, segmenter, ended.files);
    } catch (const std::bad_alloc&) {
        segmenter.release();
        ended.failure = "out of memory";
    } catch (const std::exception& e) {
        ended.failure = e.what();
    }
    placer.hand(std::move(ended));
}

// Reports a job whose files are in place (or failed).
void reportEnded(EndedJob& ended, const PhotoPlaced& placed, BatchConsole& console) {
    const std::string& photo = ended.job->imagePath;
    if (ended.failure.empty()) {
        try {
            placed(*ended.job);
        } catch (const std::exception& e) {
            ended.failure = e.what();
        }
    }
    if (ended.failure.empty()) {
        console.finished(photo, ended.count);
    } else {
        console.failed(photo, ended.failure);
    }
}

void work(WorkList& list, int threads) {
    try {
        Segmenter segmenter(threads);
        while (!list.stop && !list.console.outputLost()) {
            const size_t i = list.next++;
            if (i >= list.jobs.size()) break;
            runOne(list.jobs[i], list.runJob, segmenter, list.placer);
        }
    } catch (const std::exception& e) {
        list.console.note(std::string("a worker stopped: ") + e.what());
    }
    std::lock_guard<std::mutex> guard(list.lock);
    --list.running;
    list.workerDone.notify_all();
}

// Photos that no worker took although nothing asked to stop count as failures.
void reportUntaken(WorkList& list) {
    if (list.stop || list.console.outputLost()) return;
    for (size_t i = list.next; i < list.jobs.size(); ++i) {
        list.console.failed(list.jobs[i].imagePath, "not started: no worker left");
    }
}

}  // namespace

void runPhotoJobs(const std::vector<PhotoJob>& jobs, int workers, int threadsPerWorker,
                  const PhotoRunner& runJob, const PhotoPlaced& placed, BatchConsole& console,
                  const std::atomic<bool>& stop) {
    FilePlacer placer([&](EndedJob& ended) { reportEnded(ended, placed, console); },
                      kWaitingPerWorker * static_cast<size_t>(std::max(workers, 1)));
    WorkList list(jobs, runJob, placer, console, stop);
    std::vector<std::thread> threads;
    for (int i = 0; i < workers; ++i) {
        std::lock_guard<std::mutex> guard(list.lock);
        try {
            threads.emplace_back(work, std::ref(list), threadsPerWorker);
            ++list.running;
        } catch (const std::system_error&) {
            break;  // go on with the workers there are
        }
    }
    if (threads.empty()) {
        list.running = 1;
        work(list, threadsPerWorker);
    }
    {
        std::unique_lock<std::mutex> guard(list.lock);
        while (list.running > 0) {
            list.workerDone.wait_for(guard, kRedrawInterval);
            guard.unlock();
            console.redraw();
            guard.lock();
        }
    }
    for (std::thread& thread : threads) thread.join();
    placer.finish();
    reportUntaken(list);
    console.endProgress();
}

}  // namespace segmora
