#include "segmora_app.h"

#include <new>
#include <opencv2/core/utils/logger.hpp>
#include <stdexcept>

#include "large_matrix_allocator.h"
#include "options.h"
#include "photo_job.h"

namespace segmora {

int runSegmora(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    useLargeMatrixAllocator();
    const std::optional<Options> options = parseOptions(words, out);
    if (!options) {
        printUsage(out);
        return -1;
    }
    try {
        Segmenter segmenter;
        runPhotoJob(PhotoJob{options->imagePath, options->regionFilePath, options->outputPath,
                             options->picturePath},
                    segmenter, &out);
        return 0;
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
