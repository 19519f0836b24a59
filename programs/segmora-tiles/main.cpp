#include <csignal>
#include <iostream>
#include <string>

#include "large_matrix_allocator.h"
#include "standard_streams.h"
#include "stop_signals.h"
#include "tiles_app.h"

int main(int argc, char** argv) {
    // First of all: a file opened while descriptor 1 or 2 is closed would get that number,
    // and the lines meant for it would land in a tile's file.
    const segmora::ClosedStandardStreams closed = segmora::openClosedStandardStreams();
    if (closed.unusable) return 1;
    if (closed.output) std::cout.setstate(std::ios::badbit);  // its lines are lost
    // A first signal lets the tiles under way finish; a second ends the run at once, the
    // temporary files removed.
    segmora::StopSignals signals("segmora-tiles");
    std::signal(SIGPIPE, SIG_IGN);  // a closed standard output is reported, not fatal
    std::signal(SIGXFSZ, SIG_IGN);  // a file size limit fails the write, which is reported
    segmora::useLargeMatrixAllocator();
    return segmora::runSegmoraTiles(std::vector<std::string>(argv + 1, argv + argc), signals,
                                    std::cout, segmora::moveMessagesOffStandardError());
}
