// The tiled merge against the one-piece merge on small photos: random sizes,
// tile shapes (a third of them bands of rows), thread counts and knobs, photos
// of 2 to 4 colours (equal weights are the rule there) or of any bytes, with or
// without a region map.
// Each run checks that both give the same labels and count, byte for byte,
// and that where the tiles stop and hand over to one piece never shows.
#include <algorithm>
#include <opencv2/core.hpp>

#include "block_pool.h"
#include "fuzz_data.h"
#include "fuzz_photos.h"
#include "segmentation_pipeline.h"
#include "segmora/segmora.h"
#include "tile_shape.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;
using segmora::fuzz::photoOf;
using segmora::fuzz::regionsOf;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const float thresholds[] = {0, 1, 20, 150, 500, 3000, 1e30f};
    static const int divisors[] = {1, 2, 7, 500, 3000};
    static const float sigmas[] = {0, 0, 0, 0.8f};
    FuzzData in(data, size);
    const int rows = 1 + in.below(40), cols = 1 + in.below(40);
    segmora::Parameters parameters = segmora::photoParameters(false);
    parameters.threshold = thresholds[in.below(7)];
    parameters.capDivisor = divisors[in.below(5)];
    parameters.sigma = sigmas[in.below(4)];
    parameters.minSize = in.below(12);
    segmora::TileShape tiles{1 + in.below(24), 1 + in.below(24)};
    if (in.below(3) == 0) tiles.width = cols;  // bands of rows, found run by run
    const int threads = 1 + in.below(4);
    const cv::Mat bgr = photoOf(in, rows, cols);
    const cv::Mat_<int> regions = regionsOf(in, rows, cols);

    segmora::BlockPool pool;
    const segmora::Segmentation whole =
        segmora::segmentBgrPhoto(bgr, parameters, regions, segmora::Workspace{pool, 1});
    segmora::Workspace tiled{pool, threads};
    tiled.tiles = tiles;
    const segmora::Segmentation parts = segmora::segmentBgrPhoto(bgr, parameters, regions, tiled);
    check(whole.count == parts.count, "tiled count differs from one piece");
    check(std::equal(whole.labels.begin(), whole.labels.end(), parts.labels.begin()),
          "tiled labels differ from one piece");
    return 0;
}
