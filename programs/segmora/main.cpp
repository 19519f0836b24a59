#include <iostream>
#include <string>

#include "segmora_app.h"
#include "temporary_files.h"

int main(int argc, char** argv) {
    // A signal that ends the run removes the temporary output files first.
    segmora::removeTemporaryFilesOnSignals();
    return segmora::runSegmora(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr);
}
