// segmora-sweep: superpixels of every photo of a folder for each combination of knob values,
// scored against the photos' ground truths.
#include <unistd.h>

#include <csignal>
#include <opencv2/core/utils/logger.hpp>
#include <string>
#include <vector>

#include "standard_streams.h"
#include "stop_signals.h"
#include "sweep_app.h"

int main(int argc, char** argv) {
    const segmora::ClosedStandardStreams closed = segmora::openClosedStandardStreams();
    if (closed.unusable) return 1;
    segmora::StopSignals signals(
        "segmora-sweep");  // installed before any other thread of ours starts
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit fails the write, which removes its temporary file and says so,
    // instead of ending the run with the temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    const std::vector<std::string> words(argv + 1, argv + argc);
    // Lines for a standard output that was closed are lost: reported as when writing fails.
    return segmora::runSweep(words, &signals, closed.output ? -1 : STDOUT_FILENO,
                             segmora::moveMessagesOffStandardError());
}
