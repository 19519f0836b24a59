#include "segmora/segmora.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "counted_cut.h"
#include "masked_segmentation.h"
#include "parallel.h"
#include "photo_kinds.h"
#include "segmentation_checks.h"
#include "segmentation_pipeline.h"
#include "segmenter_buffers.h"

namespace segmora {

Parameters photoParameters(bool withRegions) {
    Parameters parameters;
    parameters.capDivisor = photoCapDivisor(withRegions);
    return parameters;
}

Segmenter::Segmenter(int threads) : buffers(std::make_unique<Buffers>()), threadCount(threads) {
    if (threads < 0 || threads > 64) {
        throw std::invalid_argument("thread count must be from 0 to 64, not " +
                                    std::to_string(threads));
    }
}
Segmenter::~Segmenter() = default;
Segmenter::Segmenter(Segmenter&&) noexcept = default;
Segmenter& Segmenter::operator=(Segmenter&&) noexcept = default;

void Segmenter::release() {
    if (!buffers) return;
    buffers->pool.trim();
    buffers->weightTables = std::vector<WeightIds>();
    buffers->usedBefore = false;
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr) {
    return segmentPhoto(bgr, cv::Mat_<int>(), Parameters());
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions) {
    return segmentPhoto(bgr, regions, Parameters());
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& bgr, const Parameters& parameters) {
    return segmentPhoto(bgr, cv::Mat_<int>(), parameters);
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                                     const Parameters& parameters) {
    return segmentPhoto(photo, regions, parameters, cv::Mat());
}

Segmentation Segmenter::segmentPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                                     const Parameters& parameters, const cv::Mat& mask) {
    const Parameters resolved = resolvedPhotoParameters(parameters, !regions.empty());
    const int threads = resolved.threads != 0 ? resolved.threads : threadCount;
    cv::Mat converted, maskCopy;
    const cv::Mat& bgr = bgrPhoto(photo, converted);
    Workspace workspace = Buffers::of(buffers, threads, true);
    workspace.mask = maskForRun(mask, bgr.rows, bgr.cols, maskCopy);
    workspace.cutCount = resolved.count;
    return segmentBgrPhoto(bgr, resolved, regions, workspace);
}

int Segmenter::segmentPhotoInto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                                const Parameters& parameters, cv::Mat_<int>& labels) {
    return segmentPhotoInto(bgr, regions, parameters, cv::Mat(), labels);
}

int Segmenter::segmentPhotoInto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                                const Parameters& parameters, const cv::Mat& mask,
                                cv::Mat_<int>& labels) {
    const Parameters resolved = resolvedPhotoParameters(parameters, !regions.empty());
    const int threads = resolved.threads != 0 ? resolved.threads : threadCount;
    cv::Mat maskCopy;
    Workspace workspace = Buffers::of(buffers, threads, true);
    workspace.mask = maskForRun(mask, bgr.rows, bgr.cols, maskCopy);
    workspace.cutCount = resolved.count;
    const bool fits = labels.rows == bgr.rows && labels.cols == bgr.cols && labels.isContinuous();
    if (fits) workspace.labels = &labels;
    Segmentation result = segmentBgrPhoto(bgr, resolved, regions, workspace);
    if (!fits) labels = result.labels;
    return result.count;
}

Segmentation Segmenter::segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                const cv::Mat_<int>& regions) {
    return segment(image, parameters, regions, cv::Mat());
}

Segmentation Segmenter::segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                const cv::Mat_<int>& regions, const cv::Mat& mask) {
    const Parameters resolved = resolvedPhotoParameters(parameters, !regions.empty());
    const int threads = resolved.threads != 0 ? resolved.threads : threadCount;
    cv::Mat maskCopy;
    Workspace workspace = Buffers::of(buffers, threads, false);
    workspace.mask = maskForRun(mask, image.rows, image.cols, maskCopy);
    workspace.cutCount = resolved.count;
    return segmentImage(image, resolved, regions, workspace);
}

Hierarchy Segmenter::hierarchyOfPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                                      const Parameters& parameters, const cv::Mat& mask) {
    const Parameters resolved = resolvedPhotoParameters(parameters, !regions.empty());
    const int threads = resolved.threads != 0 ? resolved.threads : threadCount;
    cv::Mat converted;
    const cv::Mat& bgr = bgrPhoto(photo, converted);
    cv::Mat maskCopy;
    const uint8_t* inside = maskForRun(mask, bgr.rows, bgr.cols, maskCopy);
    return makeHierarchy(recordedHierarchy(Buffers::of(buffers, threads, true), [&](auto& w) {
        w.mask = inside;
        segmentBgrPhoto(bgr, resolved, regions, w);
    }));
}

Hierarchy Segmenter::hierarchyOf(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                                 const cv::Mat_<int>& regions, const cv::Mat& mask) {
    const Parameters resolved = resolvedPhotoParameters(parameters, !regions.empty());
    const int threads = resolved.threads != 0 ? resolved.threads : threadCount;
    cv::Mat maskCopy;
    const uint8_t* inside = maskForRun(mask, image.rows, image.cols, maskCopy);
    return makeHierarchy(recordedHierarchy(Buffers::of(buffers, threads, false), [&](auto& w) {
        w.mask = inside;
        segmentImage(image, resolved, regions, w);
    }));
}

Segmentation segmentPhoto(const cv::Mat& bgr) {
    return Segmenter().segmentPhoto(bgr);
}

Segmentation segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions) {
    return Segmenter().segmentPhoto(bgr, regions);
}

Segmentation segmentPhoto(const cv::Mat& bgr, const Parameters& parameters) {
    return Segmenter(parameters.threads).segmentPhoto(bgr, parameters);
}

Segmentation segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                          const Parameters& parameters) {
    return Segmenter(parameters.threads).segmentPhoto(bgr, regions, parameters);
}

Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                     const cv::Mat_<int>& regions) {
    return Segmenter(parameters.threads).segment(image, parameters, regions);
}

Segmentation segmentPhoto(const cv::Mat& bgr, const cv::Mat_<int>& regions,
                          const Parameters& parameters, const cv::Mat& mask) {
    return Segmenter(parameters.threads).segmentPhoto(bgr, regions, parameters, mask);
}

Segmentation segment(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                     const cv::Mat_<int>& regions, const cv::Mat& mask) {
    return Segmenter(parameters.threads).segment(image, parameters, regions, mask);
}

}  // namespace segmora
