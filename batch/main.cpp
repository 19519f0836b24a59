#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "batch_app.h"
#include "large_matrix_allocator.h"
#include "stop_signals.h"

namespace {

// Every photo allocates and frees the same few megabytes: keep them in the heap instead of
// handing them back to the system and faulting them in afresh for the next photo.
constexpr int kHeapMapThreshold = 32 << 20;
constexpr int kHeapTrimThreshold = 256 << 20;

// Threads inside one photo: the workers themselves keep the processors busy.
void limitThreadsPerPhoto(int threads) {
    if (threads == 1) cv::setNumThreads(0);  // OpenCV's pool would compete with the workers
    // The engine and the label writer of this version read their thread count here.
    ::setenv("SEGMORA_THREADS", std::to_string(threads).c_str(), 1);
}

// OpenCV builds its Lab conversion tables on first use, without a lock: build them here,
// before several workers could first convert at the same moment (and race on them).
void buildColourTables() {
    const cv::Mat pixel(1, 1, CV_8UC3, cv::Scalar::all(0));
    cv::Mat lab;
    cv::cvtColor(pixel, lab, cv::COLOR_BGR2Lab);
}

// Standard error for this program's own messages. Descriptor 2 itself then goes to
// /dev/null for the rest of the run, as it does in Segmora while a photo is decoded: the
// image libraries' warnings are not for the user, and the reader's own silencing of it
// (save, redirect, restore) is not safe with several workers reading at once.
int messageDescriptor() {
    const int messages = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (messages < 0) return STDERR_FILENO;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    return messages;
}

}  // namespace

int main(int argc, char** argv) {
    segmora::StopSignals signals;   // before any other thread starts
    std::signal(SIGPIPE, SIG_IGN);  // a closed standard output is reported, not fatal
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    segmora::useLargeMatrixAllocator();
    ::mallopt(M_MMAP_THRESHOLD, kHeapMapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kHeapTrimThreshold);

    int status = 0;
    const std::optional<segmora::BatchPlan> plan =
        segmora::planBatch(std::vector<std::string>(argv + 1, argv + argc), std::cin, status);
    if (!plan) return status;
    limitThreadsPerPhoto(plan->threadsPerWorker);
    buildColourTables();
    return segmora::runBatch(*plan, signals, messageDescriptor());
}
