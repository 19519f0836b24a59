#include "segmora_app.h"

#include <new>
#include <opencv2/core/utils/logger.hpp>
#include <optional>
#include <stdexcept>

#include "boundary_picture.h"
#include "colour_image.h"
#include "label_file.h"
#include "large_matrix_allocator.h"
#include "options.h"
#include "output_file.h"
#include "region_file.h"
#include "segment_image.h"

namespace segmora {

namespace {

constexpr float kThreshold = 500.0f;
constexpr int kCapDivisor = 500;
constexpr int kCapDivisorWithRegions = 3000;

void segmentAndWrite(const Options& options, std::ostream& out) {
    cv::Mat_<cv::Vec3b> lab;
    cv::Mat_<int> regions;
    cv::Mat_<cv::Vec3b> photo;  // kept only when a boundary picture is asked for (-v)
    {
        const cv::Mat_<cv::Vec3b> colour = readColourImage(options.imagePath);
        if (!options.picturePath.empty()) photo = colour;
        if (!options.regionFilePath.empty()) {
            regions.create(colour.rows, colour.cols);
            regions.setTo(cv::Scalar(1));
            readRegionFile(options.regionFilePath, regions);
        }
        lab = toLab(colour);
    }
    const int capDivisor = options.regionFilePath.empty() ? kCapDivisor : kCapDivisorWithRegions;
    std::optional<OutputFile> file;
    if (!options.outputPath.empty()) file.emplace(options.outputPath, "label file");
    cv::Mat_<int> labels;
    int segmentCount = 0;
    out << "Segment the image..." << std::endl;
    segmentLabImage(lab, kThreshold, segmentCount, labels, capDivisor,
                    regions.empty() ? nullptr : &regions);
    lab.release();
    if (photo.empty()) regions.release();
    out << "Super-pixel num: " << segmentCount << std::endl;
    if (file) writeLabelMap(*file, labels);
    if (!photo.empty()) {
        writeBoundaryPicture(options.picturePath, photo, labels,
                             regions.empty() ? nullptr : &regions);
    }
}

}  // namespace

int runSegmora(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    useLargeMatrixAllocator();
    const std::optional<Options> options = parseOptions(words, out);
    if (!options) {
        printUsage(out);
        return -1;
    }
    try {
        segmentAndWrite(*options, out);
        return 0;
    } catch (const std::bad_alloc&) {
        err << "Segmora: out of memory" << std::endl;
    } catch (const std::exception& e) {
        err << "Segmora: " << e.what() << std::endl;
    }
    return 1;
}

}  // namespace segmora
