// The engine on small images with region maps. Each run checks that
//  - the label map is valid (labelMapViolation),
//  - segmentImage, and for photo input segmentBgrPhoto, give exactly the
//    labels and count of segmentImageReference,
//  - the merging before the small-segment clean-up never joins two region
//    ids nor exceeds the size cap, and the final partition only coarsens it:
//    neighbours with different ids share a segment only through the clean-up.
#include <algorithm>
#include <limits>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "block_pool.h"
#include "grid_edges.h"
#include "fuzz_data.h"
#include "label_invariants.h"
#include "pixel_graph.h"
#include "segment_graph.h"
#include "segmentation_pipeline.h"
#include "segment_image_reference.h"
#include "segment_merging.h"
#include "segmora/segmora.h"
#include "smoothing.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;

struct Case {
    bool isPhoto = false;  // the image holds the channels of the photo `bgr`
    cv::Mat_<cv::Vec3b> bgr;
    cv::Mat_<cv::Vec3d> image;
    cv::Mat_<int> regions;
    bool uniformRegions = true;
    float sigma = 0;
    float threshold = 500;
    int capDivisor = 500;
};

double specialValue(uint8_t b) {
    static const double values[] = {0.0,
                                    -0.0,
                                    1e-310,
                                    -3.5,
                                    1e30,
                                    255.0,
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN()};
    return values[b % (sizeof values / sizeof values[0])];
}

Case readCase(FuzzData& in) {
    static const float sigmas[] = {0.005f, 0.3f, 0.5f, 0.8f, 1.6f};
    static const float thresholds[] = {0, 1, 20, 150, 500, 3000, 1e30f};
    static const int divisors[] = {1, 2, 7, 500, 3000};
    Case c;
    const int rows = in.below(17), cols = in.below(17);
    if (in.below(4) == 3) c.sigma = sigmas[in.below(5)];  // mostly 0
    c.threshold = thresholds[in.below(7)];
    c.capDivisor = divisors[in.below(5)];

    const int pixelKind = in.below(4);
    c.image.create(rows, cols);
    c.isPhoto = pixelKind < 3;
    if (c.isPhoto) c.bgr.create(rows, cols);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            if (pixelKind == 3) {
                c.image(y, x) = cv::Vec3d(specialValue(in.byte()), specialValue(in.byte()),
                                          specialValue(in.byte()));
                continue;
            }
            cv::Vec3b& bgr = c.bgr(y, x);
            for (int k = 0; k < 3; ++k) {
                // Kinds 0 and 2 make equal and nearly equal weights common.
                static const uint8_t levels[] = {0, 5, 100, 255};
                const uint8_t b = in.byte();
                bgr[k] = pixelKind == 0 ? levels[b % 4] : pixelKind == 1 ? b : 126 + b % 5;
            }
        }
    }
    if (c.isPhoto && !c.bgr.empty()) {
        cv::Mat_<cv::Vec3b> lab;
        cv::cvtColor(c.bgr, lab, cv::COLOR_BGR2Lab);
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < cols; ++x) {
                const cv::Vec3b& p = lab(y, x);
                c.image(y, x) = cv::Vec3d(p[0] * segmora::kLightnessScale, p[1], p[2]);
            }
        }
    }

    const int regionKind = in.below(4);
    c.uniformRegions = regionKind == 0;
    c.regions.create(rows, cols);
    const int split = in.below(17);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            int& id = c.regions(y, x);
            switch (regionKind) {
                case 0:
                    id = 1;
                    break;
                case 1:
                    id = in.below(3);
                    break;
                case 2:
                    id = x < split ? 4 : -9;
                    break;
                default:
                    id = in.below(2) ? std::numeric_limits<int>::min()
                                     : std::numeric_limits<int>::max();
            }
        }
    }
    return c;
}

bool sameResult(const cv::Mat_<int>& a, int countA, const cv::Mat_<int>& b, int countB) {
    return countA == countB && a.rows == b.rows && a.cols == b.cols &&
           std::equal(a.begin(), a.end(), b.begin());
}

// Runs the engine's merging alone and checks the region rule and size cap on
// its partition, and that `labels` only ever joins whole parts of it.
void checkMergingPartition(const Case& c, const cv::Mat_<int>& labels) {
    const int32_t rows = c.image.rows, cols = c.image.cols;
    segmora::BlockPool pool;
    std::unique_ptr<segmora::ChannelImage> smoothed[3];
    for (int k = 0; k < 3; ++k) {
        segmora::ChannelImage raw(pool, cols, rows, true);
        for (int32_t y = 0; y < rows; ++y) {
            for (int32_t x = 0; x < cols; ++x) raw.rowTable[y][x] = float(c.image(y, x)[k]);
        }
        smoothed[k] = segmora::smoothChannel(raw, c.sigma, pool);
    }
    const int64_t edgeSlots = segmora::edgeCountFor(cols, rows);
    std::vector<segmora::GraphEdge> edges(static_cast<size_t>(edgeSlots));
    const int32_t edgeCount =
        segmora::buildEdges(*smoothed[0], *smoothed[1], *smoothed[2], edges.data());
    check(edgeCount == edgeSlots, "edge count differs from edgeCountFor");

    const int32_t pixels = rows * cols;
    const int32_t sizeCap = segmora::sizeCapFor(pixels, c.capDivisor);
    auto forest =
        segmora::segmentGraph(pixels, edgeCount, edges.data(), c.threshold, sizeCap, c.regions);
    for (int32_t v = 0; v < pixels; ++v) {
        const int32_t root = forest->findRoot(v);
        const int32_t ry = root / cols, rx = root % cols, y = v / cols, x = v % cols;
        check(c.regions(y, x) == c.regions(ry, rx), "merging joined two region ids");
        check(forest->sizeOf(root) <= sizeCap, "merging exceeded the size cap");
        check(labels(y, x) == labels(ry, rx), "final labels split a merged segment");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzData in(data, size);
    const Case c = readCase(in);

    segmora::Parameters parameters;
    parameters.sigma = c.sigma;
    parameters.threshold = c.threshold;
    parameters.capDivisor = c.capDivisor;
    int count = -1;
    cv::Mat_<int> labels;
    segmora::segmentImageReference(c.image, c.sigma, c.threshold, count, labels, c.capDivisor,
                                   c.regions);
    const std::string violation = segmora::labelMapViolation(labels, count);
    check(violation.empty(), "invalid label map: " + violation);
    check(labels.rows == c.image.rows && labels.cols == c.image.cols, "label map size");

    segmora::BlockPool pool;
    const segmora::Workspace workspace{pool, 2};
    const segmora::Segmentation fast =
        segmora::segmentImage(c.image, parameters, c.regions, workspace);
    check(sameResult(labels, count, fast.labels, fast.count),
          "segmentImage differs from reference");

    if (c.isPhoto && !c.bgr.empty()) {
        const segmora::Segmentation photo = segmora::segmentBgrPhoto(
            c.bgr, parameters, c.uniformRegions ? cv::Mat_<int>() : c.regions, workspace);
        check(sameResult(labels, count, photo.labels, photo.count),
              "segmentBgrPhoto differs from reference");
    }

    if (c.image.total() > 0) checkMergingPartition(c, labels);
    return 0;
}
