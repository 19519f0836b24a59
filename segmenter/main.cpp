#include <iostream>

#include "segmora_app.h"

int main(int argc, char** argv) {
    return segmora::runSegmora(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr);
}
