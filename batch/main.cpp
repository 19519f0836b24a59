#include <csignal>
#include <iostream>
#include <opencv2/core/utils/logger.hpp>

#include "batch_app.h"
#include "large_matrix_allocator.h"
#include "stop_signals.h"

int main(int argc, char** argv) {
    segmora::StopSignals signals;  // before any other thread starts
    std::signal(SIGPIPE, SIG_IGN);  // a closed standard output is reported, not fatal
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    segmora::useLargeMatrixAllocator();
    return segmora::runSegmoraBatch(std::vector<std::string>(argv + 1, argv + argc), std::cin,
                                    signals);
}
