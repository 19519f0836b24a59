// Images in tiles (segmentTile, joinTiles, labelTile) against segmentPhoto on small photos:
// random sizes, tile shapes from 1 pixel to more than the photo, knobs (smoothing too),
// region maps, photos of 2 to 4 colours (equal weights are the rule there) or of any bytes,
// the tiles run in a shuffled order, after the flat sweep or not. Both must give the same
// labels and count, byte for byte; a byte altered in one tile's join bytes must be refused,
// never read into labels.
#include <algorithm>
#include <numeric>
#include <opencv2/core.hpp>
#include <stdexcept>

#include "fuzz_data.h"
#include "fuzz_photos.h"
#include "segmora/segmora.h"
#include "tiled_run_for_tests.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;
using segmora::fuzz::photoOf;
using segmora::fuzz::regionsOf;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const float thresholds[] = {0, 1, 20, 150, 500, 3000, 1e30f};
    static const int divisors[] = {0, 1, 2, 7, 500, 3000};
    static const float sigmas[] = {0, 0, 0, 0.8f, 0.3f, 1.7f};
    FuzzData in(data, size);
    const int rows = 1 + in.below(40), cols = 1 + in.below(40);
    segmora::Parameters parameters;
    parameters.threshold = thresholds[in.below(7)];
    parameters.capDivisor = divisors[in.below(6)];
    parameters.minSize = in.below(12);
    parameters.sigma = sigmas[in.below(6)];
    const int tileWidth = 1 + in.below(45), tileHeight = 1 + in.below(45);
    const bool alter = in.below(4) == 0;
    const uint8_t alterAt = in.byte();
    const bool swept = in.below(2) == 0;
    const cv::Mat bgr = photoOf(in, rows, cols);
    const cv::Mat_<int> regions = regionsOf(in, rows, cols);

    const segmora::TiledImage image =
        segmora::tiledImageOf(bgr, tileWidth, tileHeight, parameters, !regions.empty());
    std::vector<int64_t> order(static_cast<size_t>(segmora::tileCount(image)));
    std::iota(order.begin(), order.end(), 0);
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[in.byte() % i]);
    if (alter) {
        std::vector<segmora::TileState> states =
            segmora::firstPhase(image, bgr, regions, order, swept);
        std::vector<uint8_t>& join = states[order[0]].join;
        join[(alterAt * join.size()) / 256] ^= static_cast<uint8_t>(1 + in.below(255));
        bool refused = false;
        try {
            segmora::joinStates(image, states);
        } catch (const std::invalid_argument&) {
            refused = true;
        }
        check(refused, "altered join bytes were read");
        return 0;
    }
    const segmora::Segmentation whole = segmora::segmentPhoto(bgr, regions, parameters);
    const segmora::Segmentation tiled = segmora::tiledLabels(image, bgr, regions, order, swept);
    check(whole.count == tiled.count, "tiled count differs from one piece");
    check(std::equal(whole.labels.begin(), whole.labels.end(), tiled.labels.begin()),
          "tiled labels differ from one piece");
    return 0;
}
