#include "photo_job.h"

#include <optional>

#include "boundary_picture.h"
#include "colour_image.h"
#include "label_file.h"
#include "output_file.h"
#include "region_file.h"

namespace segmora {

int runPhotoJob(const PhotoJob& job, Segmenter& segmenter, std::ostream* console) {
    cv::Mat_<cv::Vec3b> photo = readColourImage(job.imagePath);
    cv::Mat_<int> regions;
    if (!job.regionFilePath.empty()) {
        regions.create(photo.rows, photo.cols);
        regions.setTo(cv::Scalar(1));
        readRegionFile(job.regionFilePath, regions);
    }
    std::optional<OutputFile> file;
    if (!job.outputPath.empty()) file.emplace(job.outputPath, "label file");
    if (console) *console << "Segment the image..." << std::endl;
    Segmentation result =
        regions.empty() ? segmenter.segmentPhoto(photo) : segmenter.segmentPhoto(photo, regions);
    if (job.picturePath.empty()) {
        photo.release();
        regions.release();
    }
    if (console) *console << "Super-pixel num: " << result.count << std::endl;
    if (file) writeLabelMap(*file, result.labels, segmenter.threads());
    if (!photo.empty()) {
        writeBoundaryPicture(job.picturePath, photo, result.labels,
                             regions.empty() ? nullptr : &regions);
    }
    return result.count;
}

}  // namespace segmora
