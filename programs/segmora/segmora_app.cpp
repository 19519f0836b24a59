#include "segmora_app.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <opencv2/core/utils/logger.hpp>
#include <stdexcept>

#include "large_matrix_allocator.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "options.h"
#include "photo_job.h"
#include "regular_file.h"

namespace segmora {

namespace {

// Threads of a run: SEGMORA_THREADS when it is set to a positive number (1 gives a
// single-thread run, at most 64), else 0: one per core, at most 8.
int threadsFromEnvironment() {
    const char* setting = std::getenv("SEGMORA_THREADS");
    if (setting == nullptr) return 0;
    const int requested = std::atoi(setting);
    return requested >= 1 ? std::min(requested, 64) : 0;
}

// Refuses an input that would block the run or never end (a FIFO, a device); a folder
// and a missing file are left to the readers, which name them.
void requireRegularInput(const std::string& path, const std::string& description) {
    struct stat info;
    if (path.empty() || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) return;
    requireRegularFile(path, description);
}

}  // namespace

int runSegmora(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    useLargeMatrixAllocator();
    std::optional<Options> options;
    try {
        options = parseOptions(words, out);
    } catch (const UsageError& e) {
        err << "Segmora: " << e.what() << "; see Segmora --help" << std::endl;
        return -1;
    }
    if (!options) {
        printUsage(out);
        return -1;
    }
    if (options->help) {
        printHelp(out);
        return 0;
    }
    if (options->version) {
        out << versionLine("Segmora") << std::endl;
        return 0;
    }
    try {
        opencv_codecs::checkReaderLimits();
        requireRegularInput(options->job.imagePath, "image");
        requireRegularInput(options->job.regionFilePath, "region file");
        Segmenter segmenter(threadsFromEnvironment());
        runPhotoJob(options->job, segmenter, &out);
        if (out.flush()) return 0;
        err << "Segmora: cannot write to standard output: the superpixel count is lost"
            << std::endl;
        return 1;
    } catch (const OutOfMemory& e) {
        err << "Segmora: " << e.what() << std::endl;
    } catch (const std::bad_alloc&) {
        err << "Segmora: out of memory" << std::endl;
    } catch (const std::exception& e) {
        err << "Segmora: " << e.what() << std::endl;
    }
    return 1;
}

}  // namespace segmora
