#pragma once

#include <cstdint>
#include <vector>

#include "join_records.h"
#include "segmora/segmora.h"

namespace segmora {

// What a tile's own merge leaves, before it is written as bytes: the local segments, the
// merge and clean-up edges for joinTiles (ascending by key) and each pixel's local segment.
// segmentTile writes it; the tests and benchmarks read the counts.
struct TileFirstPass {
    std::vector<JoinSegment> segments;
    std::vector<JoinEdge> mergeEdges;
    std::vector<JoinEdge> cleanupEdges;
    std::vector<uint32_t> pixelSegments;  // local segment per pixel, in raster order
    int64_t innerEdges = 0;               // edges with both ends in the tile
    int64_t keptEdges = 0;                // of those, the ones left to joinTiles
};

// The tile's own merge (see docs/contributing/tiles-beyond-memory.md); arguments as
// segmentTile's, checked by it.
TileFirstPass firstPassOf(const TiledImage& image, int64_t tile, const cv::Mat& photo,
                          const cv::Mat_<int>& regions);

}  // namespace segmora
