#pragma once

#include <cstdint>
#include <vector>

#include "huge_page_vectors.h"
#include "segmora/segmora.h"
#include "tile_bytes.h"

namespace segmora {

// What segmentTile hands joinTiles for one tile (TileState::join), in this order:
//
//   header      kJoinHeaderBytes: "SGMJOIN1", format version, flags (1: regions, 2: after a
//               flat sweep), the tile's number, the image's
//               and tiles' shape, the knobs, the counts below and the whole length;
//   segments    one JoinSegment per local segment, numbered in raster order of first pixels;
//   merge edges the edges the merge must still visit, ascending by key: the kept inner
//               edges (both ends local segments) and every seam edge of the tile, as one
//               half each (the other half comes from the tile across the seam);
//   clean-up    the edges the clean-up of small segments may join, the same way;
//   check sum   8 bytes over everything before.
//
// An edge's key is its weight's bits, then its number in the whole image: (y * width + x)
// * 4 + direction of its first pixel, 64-bit. A section is written in runs of one weight:
// the weight's bits and the run's record count (4 bytes each), then its records, each the
// edge's number in the tile and the two ends' segments (RecordShape).

constexpr uint32_t kJoinFormatVersion = 3;  // 2: the check sum of four sums; 3: weight runs
constexpr size_t kJoinHeaderBytes = 120;
constexpr size_t kJoinSegmentBytes = 16;
constexpr size_t kJoinRunBytes = 8;
constexpr uint64_t kLongestJoinRun = 0xffffffffu;
// The second end of a seam half: in another tile.
constexpr uint32_t kAcrossSeam = 0xffffffffu;

// A local segment's state after the tile's own merge.
struct JoinSegment {
    uint32_t size;
    float threshold;
    int32_t region;
    uint32_t firstPixel;  // in the tile's raster order
};

struct JoinEdge {
    uint32_t weight;  // the weight's bits
    uint64_t edge;    // in the whole image
    uint32_t a;       // local segment of the end in this tile (the first pixel's when both are)
    uint32_t b;       // local segment of the other end, or kAcrossSeam

    bool before(const JoinEdge& other) const {
        return weight != other.weight ? weight < other.weight : edge < other.edge;
    }
};

// How a tile's records are written. The edge: the place of its first pixel in the tile's
// rectangle grown by a pixel on each side (x bits, then y bits above them) and its
// direction in the lowest 2 bits, in 4 bytes when that fits, else 8. The segments: 2, 3 or
// 4 bytes each (idBytesFor the tile's segment count); all ones for kAcrossSeam.
class RecordShape {
  public:
    RecordShape(const TiledImage& image, int64_t tile, uint64_t segments);

    size_t bytes() const { return static_cast<size_t>(edgeBytes + 2 * idBytes); }
    void put(uint8_t* at, const JoinEdge& edge) const;
    // False when the number names no pixel of the grown rectangle inside the image.
    bool get(const uint8_t* at, uint32_t weight, JoinEdge& edge) const;

  private:
    TileRect rect;
    int64_t imageWidth, imageHeight;
    int xBits;
    int edgeBytes;
    int idBytes;
};

struct JoinCounts {
    uint64_t segments = 0;
    uint64_t mergeEdges = 0;
    uint64_t cleanupEdges = 0;
    bool swept = false;  // the tile took a flat sweep: the merge joins every edge of weight 0
    uint64_t mergeRuns = 0;
    uint64_t cleanupRuns = 0;
    uint64_t recordBytes = 0;  // RecordShape::bytes()

    uint64_t length() const {
        return kJoinHeaderBytes + segments * kJoinSegmentBytes +
               (mergeRuns + cleanupRuns) * kJoinRunBytes +
               (mergeEdges + cleanupEdges) * recordBytes + 8;
    }
};

void putJoinHeader(std::vector<uint8_t>& out, const TiledImage& image, int64_t tile,
                   const JoinCounts& counts);
// The whole of a tile's join bytes, sealed, written over `out` (its memory reused);
// `swept`: after a flat sweep.
void joinBytes(const TiledImage& image, int64_t tile, bool swept,
               const HugeVector<JoinSegment>& segments, const HugeVector<JoinEdge>& mergeEdges,
               const HugeVector<JoinEdge>& cleanupEdges, std::vector<uint8_t>& out);

// Reads and checks the header: refused (std::invalid_argument naming the tile) unless it is
// that of `tile` of `image`, with counts a tile of that size can have.
JoinCounts readJoinHeader(SealedReader& in, const TiledImage& image, int64_t tile);
JoinSegment getJoinSegment(const uint8_t* bytes);

}  // namespace segmora
