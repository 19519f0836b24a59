// A join record's edge and ends come back as written at every corner of the tile's grown
// rectangle, in every width of edge and id; places outside it are refused.
#include "join_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "tile_grid.h"
#include "tiled_run_for_tests.h"

namespace segmora {
namespace {

// Edges with their first pixel at the corners of the tile grown by a pixel (where seam
// edges from outside start), in each direction, with ids at the ends of the id width.
void expectRoundTrips(const TiledImage& image, int64_t tile, uint64_t segments,
                      size_t recordBytes) {
    const TileRect rect = tileRect(image, tile);
    const RecordShape shape(image, tile, segments);
    ASSERT_EQ(shape.bytes(), recordBytes);
    const uint32_t last = static_cast<uint32_t>(segments - 1);
    for (const int64_t x : {rect.x - 1, rect.x, rect.x + rect.width - 1}) {
        for (const int64_t y : {rect.y - 1, rect.y, rect.y + rect.height}) {
            if (x < 0 || y < 0 || y >= image.height) continue;
            for (uint64_t direction = 0; direction < 4; ++direction) {
                const JoinEdge written{7, uint64_t(y * image.width + x) * 4 + direction, last,
                                       direction % 2 ? kAcrossSeam : 0};
                std::vector<uint8_t> bytes(shape.bytes());
                shape.put(bytes.data(), written);
                JoinEdge read{};
                ASSERT_TRUE(shape.get(bytes.data(), 7, read)) << x << ", " << y;
                EXPECT_EQ(read.edge, written.edge) << x << ", " << y;
                EXPECT_EQ(read.a, written.a);
                EXPECT_EQ(read.b, written.b);
            }
        }
    }
}

TEST(JoinRecords, EdgesAndIdsComeBackAtTheTilesCorners) {
    // A tile inside the image, 4-byte edges; ids of 2, 3 and 4 bytes.
    const TiledImage inner = tiledImageOf(1000, 900, 300, 200);
    for (const int64_t tile : {int64_t{0}, int64_t{5}, int64_t{19}}) {
        expectRoundTrips(inner, tile, 65535, 8);
        expectRoundTrips(inner, tile, 65536, 10);
        expectRoundTrips(inner, tile, uint64_t{1} << 24, 12);
    }
    // The largest tiles (2^29 pixels with their margin) still take 4 bytes.
    expectRoundTrips(tiledImageOf(70000, 40000, 65000, 8200), 2, 3, 8);
    expectRoundTrips(tiledImageOf(70000, 40000, 32000, 16000), 1, 3, 8);
}

TEST(JoinRecords, PlacesOutsideTheGrownTileAreRefused) {
    const TiledImage image = tiledImageOf(1000, 900, 300, 200);
    const int64_t tile = 5;  // x 300 .. 599, y 200 .. 399
    const RecordShape shape(image, tile, 10);
    std::vector<uint8_t> bytes(shape.bytes(), 0);
    JoinEdge read{};
    for (const auto& [x, y] : std::vector<std::pair<uint64_t, uint64_t>>{{301, 0}, {0, 202}}) {
        // 9 bits of x (0 .. 300), then y: one past the grown rectangle on each side.
        storeBytes(bytes.data(), ((y << 9 | x) << 2), 4);
        EXPECT_FALSE(shape.get(bytes.data(), 0, read)) << x << ", " << y;
    }
    // The top left tile has no pixel left of or above it.
    const RecordShape corner(image, 0, 10);
    storeBytes(bytes.data(), (uint64_t{1} << 9 | 0) << 2, 4);
    EXPECT_FALSE(corner.get(bytes.data(), 0, read));
    storeBytes(bytes.data(), (uint64_t{0} << 9 | 1) << 2, 4);
    EXPECT_FALSE(corner.get(bytes.data(), 0, read));
}

}  // namespace
}  // namespace segmora
