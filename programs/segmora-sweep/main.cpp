// segmora-sweep: superpixels of every photo of a folder for each combination of knob values,
// scored against the photos' ground truths.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <opencv2/core/utils/logger.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "standard_streams.h"
#include "stop_signals.h"
#include "sweep_app.h"

namespace {

// Standard error for the program's own messages, while descriptor 2 goes to /dev/null: the
// image libraries' warnings are not for the user, and the reader's own silencing of it is
// not safe with several workers reading at once (as in segmora-batch).
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
    const segmora::ClosedStandardStreams closed = segmora::openClosedStandardStreams();
    if (closed.unusable) return 1;
    std::unique_ptr<segmora::StopSignals> signals;
    try {
        signals = std::make_unique<segmora::StopSignals>();  // before any other thread starts
    } catch (const std::system_error& e) {
        std::cerr << "segmora-sweep: cannot start a thread: " << e.code().message() << std::endl;
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    const std::vector<std::string> words(argv + 1, argv + argc);
    return segmora::runSweep(words, signals.get(), STDOUT_FILENO, messageDescriptor());
}
