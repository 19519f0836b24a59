#include "fuzz_data.h"

#include <unistd.h>

#include <filesystem>

namespace segmora::fuzz {

namespace {

// Never freed: the exit handler below still needs it after static destructors ran.
const std::string* scratchPath = nullptr;

void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(*scratchPath, ignored);
}

}  // namespace

const std::string& scratchDirectory() {
    if (scratchPath == nullptr) {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("segmora_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        scratchPath = new std::string(dir.string());
        std::atexit(removeScratch);
    }
    return *scratchPath;
}

}  // namespace segmora::fuzz
