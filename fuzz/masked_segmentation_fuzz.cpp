// Masks on small images. Each run checks that
//  - the masked engine (segmentImage and, for photos, segmentBgrPhoto and the public
//    segmentPhoto) gives exactly the labels and count of the plain model: the reference
//    path on the pixel graph without the edges that have an end outside the mask;
//  - the masked machinery run with a full mask gives the plain engine's labels.
#include <algorithm>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "block_pool.h"
#include "fuzz_data.h"
#include "photo_channels.h"
#include "segment_image_reference.h"
#include "segmentation_pipeline.h"
#include "segmora/segmora.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;

struct Case {
    cv::Mat_<cv::Vec3b> bgr;
    cv::Mat_<cv::Vec3d> image;
    cv::Mat_<int> regions;  // empty: none
    cv::Mat_<uint8_t> mask;
    segmora::Parameters parameters;
};

cv::Mat_<uint8_t> readMask(FuzzData& in, int rows, int cols) {
    cv::Mat_<uint8_t> mask(rows, cols, uint8_t{0});
    const int kind = in.below(5);
    const int a = in.below(17), b = in.below(17);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            switch (kind) {
                case 0:  // bits from the input: holes, lone pixels, anything
                    mask(y, x) = in.below(2);
                    break;
                case 1:  // a rectangle
                    mask(y, x) = y >= a / 2 && x >= b / 2 && y < a && x < b;
                    break;
                case 2:  // lines one pixel thin, straight and diagonal
                    mask(y, x) = y == a || x == b || x - y == a - b;
                    break;
                case 3:  // full
                    mask(y, x) = 255;
                    break;
                default:  // a checkerboard: only diagonal neighbours inside
                    mask(y, x) = (x + y) % 2 == 0;
            }
        }
    }
    return mask;
}

Case readCase(FuzzData& in) {
    static const float thresholds[] = {0, 20, 150, 500, 3000};
    static const int divisors[] = {1, 3, 500};
    static const int minSizes[] = {0, 1, 5, 30};
    Case c;
    const int rows = in.below(15) + 1, cols = in.below(15) + 1;
    c.parameters.threshold = thresholds[in.below(5)];
    c.parameters.capDivisor = divisors[in.below(3)];
    c.parameters.minSize = minSizes[in.below(4)];
    if (in.below(4) == 3) c.parameters.sigma = 0.8f;
    c.bgr.create(rows, cols);
    static const uint8_t levels[] = {0, 5, 100, 255};
    const bool fewLevels = in.below(2) == 0;
    for (auto& pixel : c.bgr) {
        for (int k = 0; k < 3; ++k) pixel[k] = fewLevels ? levels[in.byte() % 4] : in.byte();
    }
    c.image = segmora::toEngineImage(segmora::toLab(c.bgr));
    if (in.below(2) == 1) {
        c.regions.create(rows, cols);
        for (int& id : c.regions) id = in.below(2) ? std::numeric_limits<int>::min() : 3;
    }
    c.mask = readMask(in, rows, cols);
    return c;
}

bool same(const segmora::Segmentation& a, const segmora::Segmentation& b) {
    return a.count == b.count && a.labels.size() == b.labels.size() &&
           std::equal(a.labels.begin(), a.labels.end(), b.labels.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzData in(data, size);
    const Case c = readCase(in);
    const segmora::Parameters& p = c.parameters;
    segmora::Segmentation model;
    segmora::segmentImageReference(c.image, p.sigma, p.threshold, model.count, model.labels,
                                   p.capDivisor, c.regions, p.minSize, c.mask);

    segmora::BlockPool pool;
    segmora::Workspace workspace{pool, 2};
    workspace.mask = c.mask.ptr<uint8_t>();
    check(same(segmora::segmentImage(c.image, p, c.regions, workspace), model),
          "segmentImage with a mask differs from the plain model");
    check(same(segmora::segmentBgrPhoto(c.bgr, p, c.regions, workspace), model),
          "segmentBgrPhoto with a mask differs from the plain model");
    check(same(segmora::segmentPhoto(c.bgr, c.regions, p, c.mask), model),
          "segmentPhoto with a mask differs from the plain model");

    const cv::Mat_<uint8_t> full(c.mask.rows, c.mask.cols, uint8_t{1});
    workspace.mask = full.ptr<uint8_t>();
    const segmora::Segmentation plain = segmora::segmentPhoto(c.bgr, c.regions, p);
    check(same(segmora::segmentBgrPhoto(c.bgr, p, c.regions, workspace), plain),
          "a full mask differs from the plain labels");
    return 0;
}
