#pragma once

#include <cstdint>
#include <vector>

#include "huge_page_vectors.h"
#include "join_records.h"
#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

// What a tile's own merge leaves: the local segments and the merge and clean-up edges for
// joinTiles (ascending by key), before they are written as bytes, and the label bytes.
// segmentTile writes it; the tests and benchmarks read the counts.
struct TileFirstPass {
    HugeVector<JoinSegment> segments;
    HugeVector<JoinEdge> mergeEdges;
    HugeVector<JoinEdge> cleanupEdges;
    std::vector<uint8_t> labels;  // TileState::labels
    int64_t innerEdges = 0;       // edges with both ends in the tile
    int64_t keptEdges = 0;        // of those, the ones left to joinTiles
    bool swept = false;           // after a flat sweep
};

// The tile's own merge (see docs/contributing/tiles-beyond-memory.md); arguments as
// segmentTile's, checked by it (`sweep`: null without a flat sweep).
TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions,
                          const std::vector<uint8_t>* sweep = nullptr);
// The same in a caller's workspace (its pool, Lab tables, weight tables and threads); the
// lists' blocks come from the pool, which must outlive the result, and the labels are
// written over `labelBuffer` (its memory reused).
TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions, const std::vector<uint8_t>* sweep,
                          const Workspace& workspace, std::vector<uint8_t> labelBuffer = {});

}  // namespace segmora
