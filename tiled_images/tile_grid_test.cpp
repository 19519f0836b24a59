// Tiles cover the image once, whatever its size (beyond 2^32 pixels too) and the tiles'
// (dividing it or not, one pixel, larger than the image); read rectangles reach one pixel
// out and stop at the image's edge; shapes and knobs the tiled run cannot take are refused.
#include "tile_grid.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tiled_run_for_tests.h"

namespace segmora {
namespace {

TEST(TileGrid, TilesCoverEveryPixelOnce) {
    for (const TiledImage& image : {tiledImageOf(41, 30, 16, 12), tiledImageOf(41, 30, 1, 1),
                                    tiledImageOf(41, 30, 100, 7), tiledImageOf(1, 1, 5, 5)}) {
        std::vector<int> covered(static_cast<size_t>(image.width * image.height));
        for (int64_t t = 0; t < tileCount(image); ++t) {
            const TileRect own = tileRect(image, t), read = tileReadRect(image, t);
            EXPECT_EQ(read.x, std::max<int64_t>(0, own.x - 1));
            EXPECT_EQ(read.y + read.height, std::min(image.height, own.y + own.height + 1));
            for (int64_t y = own.y; y < own.y + own.height; ++y) {
                for (int64_t x = own.x; x < own.x + own.width; ++x)
                    ++covered[static_cast<size_t>(y * image.width + x)];
            }
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), image.width * image.height);
    }
}

TEST(TileGrid, ImagesBeyondTwoToThe32PixelsInTilesOfTheEnginesSize) {
    const TiledImage image = tiledImageOf(92683, 46341, 8192, 8192);  // 2^32 pixels and more
    EXPECT_EQ(tileCount(image), 12 * 6);
    const TileRect last = tileRect(image, 71);
    EXPECT_EQ(last.x, 11 * 8192);
    EXPECT_EQ(last.width, 92683 - 11 * 8192);
    EXPECT_EQ(last.height, 46341 - 5 * 8192);
    EXPECT_EQ(tiledSizeCap(image), static_cast<int64_t>(92683.0 * 46341.0 / 500.0 + 20.0));
}

// Smoothing reads as far as its mask beyond the tile's seam edges: sigma 0.8 has 5 taps a
// side, the centre included; a sigma too small to change a pixel reads one pixel out.
TEST(TileGrid, ReadRectanglesReachAsFarAsTheSmoothing) {
    TiledImage image = tiledImageOf(100, 80, 30, 20);
    image.parameters.sigma = 0.8f;
    const TileRect read = tileReadRect(image, 7);  // the tile at (90, 20), 10 x 20 pixels
    EXPECT_EQ(read.x, 85);
    EXPECT_EQ(read.y, 15);
    EXPECT_EQ(read.width, 100 - 85);
    EXPECT_EQ(read.height, 30);
    image.parameters.sigma = 0.05f;
    EXPECT_EQ(tileReadRect(image, 7).x, 89);
}

TEST(TileGrid, ShapesAndKnobsTheTiledRunCannotTakeAreRefused) {
    const auto refused = [](TiledImage image, const char* words) {
        try {
            checkTiledImage(image);
            ADD_FAILURE() << "not refused: " << words;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    refused(tiledImageOf(0, 10, 4, 4), "empty or too large");
    refused(tiledImageOf(int64_t{1} << 40, int64_t{1} << 9, 4, 4), "the limit is 2^48");
    refused(tiledImageOf(10, 10, 0, 4), "tiles of 0 x 4 pixels are empty");
    refused(tiledImageOf(1 << 16, 1 << 16, 1 << 15, 1 << 15),
            "tiles of 32768 x 32768 pixels are too large");
    TiledImage image = tiledImageOf(10, 10, 4, 4);
    image.parameters.count = 5;
    refused(image, "count must be 0");
    image = tiledImageOf(1 << 15, 1 << 15, 23000, 23000);
    image.parameters.sigma = 100;  // a margin of 401 pixels
    refused(image, "with their margin for smoothing are too large");
    image = tiledImageOf(10, 10, 4, 4);
    image.parameters.threshold = -1;
    refused(image, "threshold");
}

}  // namespace
}  // namespace segmora
