#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <string>

#include "batch_app.h"
#include "large_matrix_allocator.h"
#include "standard_streams.h"
#include "stop_signals.h"

namespace {

// Every photo allocates and frees the same few megabytes: keep them in the heap instead of
// handing them back to the system and faulting them in afresh for the next photo.
constexpr int kHeapMapThreshold = 32 << 20;
constexpr int kHeapTrimThreshold = 256 << 20;

// Threads inside one photo: the workers themselves keep the processors busy, so OpenCV's
// own pool would only compete with them.
void limitOpenCvThreads(int threadsPerPhoto) {
    if (threadsPerPhoto == 1) cv::setNumThreads(0);
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
    // First of all: a file opened while descriptor 1 or 2 is closed would get that number,
    // and the console lines meant for it would land in a label file.
    const segmora::ClosedStandardStreams closed = segmora::openClosedStandardStreams();
    if (closed.unusable) return 1;
    segmora::StopSignals signals;
    std::signal(SIGPIPE, SIG_IGN);  // a closed standard output is reported, not fatal
    // A file size limit reached fails that photo's write (as a full disk does), which
    // removes its temporary file, instead of ending the run and leaving it behind.
    std::signal(SIGXFSZ, SIG_IGN);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    segmora::useLargeMatrixAllocator();
    ::mallopt(M_MMAP_THRESHOLD, kHeapMapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kHeapTrimThreshold);

    int status = 0;
    const std::optional<segmora::BatchPlan> plan =
        segmora::planBatch(std::vector<std::string>(argv + 1, argv + argc), std::cin, status);
    if (!plan) return status;
    limitOpenCvThreads(plan->threadsPerWorker);
    // Lines for a standard output that was closed are lost: reported as when writing fails.
    return segmora::runBatch(*plan, signals, closed.output ? -1 : STDOUT_FILENO,
                             messageDescriptor());
}
