#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "segmora/segmora.h"
#include "tile_bytes.h"
#include "tile_frame.h"

namespace segmora {

// The bytes a flat sweep leaves: its state between rows ("SGMSWEEP") and, once finished, what
// every tile takes ("SGMFLAT1"). Both start with what the sweep depends on (the image's shape
// and regions, the size cap, the smoothing), not with the tiles' shape, and end in a check
// sum. The finished bytes list the edges of weight 0 between pixels of one region that the
// one-piece merge leaves apart because of the size cap; every other edge of weight 0 between
// pixels of one region joins its two sides.
constexpr char kStateMagic[8] = {'S', 'G', 'M', 'S', 'W', 'E', 'E', 'P'};
constexpr char kSweepMagic[8] = {'S', 'G', 'M', 'F', 'L', 'A', 'T', '1'};
// Version 2: the finished bytes say how many rows they cover (bytes taken before the last
// row serve the tiles above it).
constexpr uint32_t kSweepFormatVersion = 3;  // 3: the check sum of four sums
constexpr size_t kSweepHeaderBytes = 48;
inline const std::string kSweepName = "the flat sweep's bytes";
inline const std::string kStateName = "the flat sweep's state";

void putSweepHeader(std::vector<uint8_t>& out, const char (&magic)[8], const TiledImage& image);
// Refuses sealed bytes of another kind, version, image or knobs; returns where the body
// starts.
const uint8_t* checkSweepHeader(const std::vector<uint8_t>& bytes, const char (&magic)[8],
                                const TiledImage& image, const std::string& what);

// The rows a sweep must have covered for a tile of `own` pixels: the edges whose first pixels
// lie in rows own.y - 1 .. own.y + own.height may touch it.
int64_t flatRowsNeeded(const TiledImage& image, const TileRect& own);

// Reads numbers from sealed bytes, refusing to read past their check sum.
class ByteCursor {
  public:
    ByteCursor(const std::vector<uint8_t>& bytes, const uint8_t* at, std::string what)
        : at(at), end(bytes.data() + bytes.size() - 8), what(std::move(what)) {}

    uint64_t take(int count);
    const uint8_t* skip(uint64_t count);
    void finish() const;

  private:
    void need(uint64_t count) const;

    const uint8_t* at;
    const uint8_t* end;
    std::string what;
};

// The edges the cap keeps apart, by direction, as runs of consecutive first pixels: a
// stretch of a flat segment's border is one run, not an edge per pixel.
struct EdgeRuns {
    struct Run {
        uint64_t first, count;
    };
    std::array<std::vector<Run>, 4> runs;

    // Edges come in ascending order.
    void add(uint64_t pixel, int direction) {
        std::vector<Run>& list = runs[static_cast<size_t>(direction)];
        if (!list.empty() && list.back().first + list.back().count == pixel) {
            ++list.back().count;
        } else {
            list.push_back({pixel, 1});
        }
    }
    void put(std::vector<uint8_t>& out) const;
    // Refuses runs out of order, overlapping or outside the image.
    void take(ByteCursor& in, const TiledImage& image, const std::string& what);
};

// The listed edges that touch the tile (both ends in it, or one: its seam edges),
// ascending. Refuses (std::invalid_argument) bytes that are not a finished sweep of this
// image and knobs, or are altered.
std::vector<uint64_t> flatEdgesApartNear(const std::vector<uint8_t>& sweep, const TiledImage& image,
                                         const TileRect& own);

// Whether `edge` is on the ascending list.
inline bool listed(const std::vector<uint64_t>& edges, uint64_t edge) {
    return std::binary_search(edges.begin(), edges.end(), edge);
}

}  // namespace segmora
