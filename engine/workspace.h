#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "block_pool.h"
#include "lab_conversion.h"
#include "tile_shape.h"

namespace segmora {

class WeightIds;
struct MergeHierarchy;

// What one engine call works with: the pool its big arrays come from (a
// Segmenter's, warm from earlier calls) and its thread count (resolved by
// threadCountFor, at least 1), and the Lab tables it keeps for photos (made
// for the call when there are none).
//
// `labelsInSpentEdges`: the labels go into the start of the sorted edges'
// block once the clean-up is done, and the rest of that block goes back to
// the system: the smallest peak, right for a single call. Otherwise the
// labels take fresh memory and the edges' block stays in the pool, so that
// the next call finds all its big arrays warm.
//
// `weightTables`: the tables that number distinct weights, kept from call to call
// (none: made for the call). `labels`: a continuous matrix of the image's size that
// the labels are written into (the caller's memory), instead of the above.
// `tiles`: the tiles the merge works in (an empty shape: one piece; none given: see
// mergeSegmentsIn); the labels are the same. `mask`: one byte per pixel, non-zero inside,
// when the call segments only those pixels (see masked_segmentation.h); null: all pixels.
// `hierarchy`: where the run leaves the hierarchy of every count (none: it is not made).
// `cutCount`: the run gives exactly this many superpixels, the hierarchy's cut, made
// without building the whole of it (0: the run's own).
struct Workspace {
    BlockPool& pool;
    int threads;
    bool labelsInSpentEdges = true;
    const LabTables* lab = nullptr;
    std::vector<WeightIds>* weightTables = nullptr;
    const cv::Mat_<int>* labels = nullptr;
    MergeHierarchy* hierarchy = nullptr;
    int32_t cutCount = 0;
    std::optional<TileShape> tiles = std::nullopt;
    const uint8_t* mask = nullptr;
};

}  // namespace segmora
