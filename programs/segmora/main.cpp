#include <csignal>
#include <iostream>
#include <string>

#include "segmora_app.h"
#include "standard_streams.h"
#include "temporary_files.h"

int main(int argc, char** argv) {
    // First of all: a file opened while descriptor 1 or 2 is closed would get that number,
    // and the console lines meant for it would land in the label file.
    const segmora::ClosedStandardStreams closed = segmora::openClosedStandardStreams();
    if (closed.unusable) return 1;
    if (closed.output) std::cout.setstate(std::ios::badbit);  // its lines are lost
    // A signal that ends the run removes the temporary output files first.
    segmora::removeTemporaryFilesOnSignals();
    // A file size limit reached fails the write (as a full disk does), which removes the
    // temporary file, instead of ending the run and leaving it behind.
    std::signal(SIGXFSZ, SIG_IGN);
    return segmora::runSegmora(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr);
}
