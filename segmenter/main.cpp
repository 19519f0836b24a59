#include <cstdlib>
#include <iostream>
#include <string>

#include "pixel_graph.h"
#include "segmora_app.h"
#include "temporary_files.h"

int main(int argc, char** argv) {
    // Process-wide settings belong to the program, not to the libraries: a signal that
    // ends the run removes the temporary output files, and OpenCV refuses an image of
    // 2^29 pixels or more from its header, for the formats whose header Segmora does not
    // read itself.
    segmora::removeTemporaryFilesOnSignals();
    ::setenv("OPENCV_IO_MAX_IMAGE_PIXELS", std::to_string(segmora::kMaxPixelCount - 1).c_str(), 1);
    return segmora::runSegmora(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr);
}
