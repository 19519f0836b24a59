#include "segmora_app.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <opencv2/core/utils/logger.hpp>
#include <sstream>
#include <stdexcept>
#include <string>

#include "large_matrix_allocator.h"
#include "opencv_codecs.h"
#include "option_words.h"
#include "options.h"
#include "photo_job.h"
#include "regular_file.h"

namespace segmora {

namespace {

// Threads of a run: SEGMORA_THREADS when it is set to a whole number of at least 1 (1
// gives a single-thread run, more than 64 counts as 64); unset or empty: 0, one per core,
// at most 8. Throws std::runtime_error for anything else.
int threadsFromEnvironment() {
    const char* setting = std::getenv("SEGMORA_THREADS");
    if (setting == nullptr || *setting == '\0') return 0;
    const std::string text = setting;
    const size_t first = text.find_first_not_of('0');
    if (text.find_first_not_of("0123456789") != std::string::npos || first == std::string::npos) {
        throw std::runtime_error("SEGMORA_THREADS must be a whole number of at least 1, not '" +
                                 text.substr(0, 40) + (text.size() > 40 ? "...'" : "'"));
    }
    return text.size() - first > 2 ? 64 : std::min(std::stoi(text.substr(first)), 64);
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
        requireRegularInput(options->job.maskPath, "mask file");
        options->job.warn = [&err](const std::string& warning) {
            err << "Segmora: warning: " << warning << std::endl;
        };
        Segmenter segmenter(threadsFromEnvironment());
        std::ostringstream warnings;
        options->job.regionWarnings = &warnings;
        runPhotoJob(options->job, segmenter, &out);
        if (!warnings.str().empty()) err << "Segmora: " << warnings.str() << std::flush;
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
