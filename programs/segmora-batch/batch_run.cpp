#include "batch_run.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace segmora {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

struct WorkList {
    WorkList(const std::vector<PhotoJob>& jobs, const PhotoRunner& runJob, BatchConsole& console,
             const std::atomic<bool>& stop)
        : jobs(jobs), runJob(runJob), console(console), stop(stop) {}

    const std::vector<PhotoJob>& jobs;
    const PhotoRunner& runJob;
    BatchConsole& console;
    const std::atomic<bool>& stop;
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::condition_variable workerDone;
    int running = 0;
};

void runOne(const PhotoJob& job, const PhotoRunner& runJob, Segmenter& segmenter,
            BatchConsole& console) {
    try {
        const int count = runJob(job, segmenter);
        console.finished(job.imagePath, count);
    } catch (const std::bad_alloc&) {
        segmenter.release();
        console.failed(job.imagePath, "out of memory");
    } catch (const std::exception& e) {
        console.failed(job.imagePath, e.what());
    }
}

void work(WorkList& list, int threads) {
    try {
        Segmenter segmenter(threads);
        while (!list.stop && !list.console.outputLost()) {
            const size_t i = list.next++;
            if (i >= list.jobs.size()) break;
            runOne(list.jobs[i], list.runJob, segmenter, list.console);
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
                  const PhotoRunner& runJob, BatchConsole& console, const std::atomic<bool>& stop) {
    WorkList list(jobs, runJob, console, stop);
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
    reportUntaken(list);
    console.endProgress();
}

}  // namespace segmora
