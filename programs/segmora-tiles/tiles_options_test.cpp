#include "tiles_options.h"

#include <gtest/gtest.h>

namespace segmora {
namespace {

std::string refusal(const std::vector<std::string>& words) {
    try {
        parseTilesOptions(words);
    } catch (const TilesUsageError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(TilesOptions, EachStepTakesWhatItReadsAndNothingElse) {
    const TilesOptions whole = parseTilesOptions(
        {"big.tif", "-o", "l.npy", "--tile=640x480", "--threads", "3", "--threshold", "300"});
    EXPECT_EQ(whole.step, TilesStep::Whole);
    EXPECT_EQ(whole.photoPath, "big.tif");
    EXPECT_EQ(whole.outputPath, "l.npy");
    EXPECT_EQ(whole.tileWidth, 640);
    EXPECT_EQ(whole.tileHeight, 480);
    EXPECT_EQ(whole.threads, 3);
    EXPECT_EQ(whole.parameters.threshold, 300.0f);
    EXPECT_TRUE(whole.workFolder.empty());

    const TilesOptions tile = parseTilesOptions({"tile", "--work", "w", "--shard", "2/5"});
    EXPECT_EQ(tile.step, TilesStep::Tiles);
    EXPECT_EQ(tile.share.part, 2);
    EXPECT_EQ(tile.share.parts, 5);
    EXPECT_EQ(parseTilesOptions({"labels", "--work=w"}).step, TilesStep::Labels);
    EXPECT_EQ(parseTilesOptions({"sweep", "--work", "w"}).step, TilesStep::Sweep);
    EXPECT_EQ(refusal({"sweep", "--work", "w", "--threads", "2"}), "--threads has no use in sweep");

    EXPECT_EQ(refusal({"plan", "big.tif", "-o", "l.npy"}), "plan wants --work FOLDER");
    EXPECT_EQ(refusal({"join", "--work", "w", "-o", "l.npy"}), "-o has no use in join");
    EXPECT_EQ(refusal({"labels", "--work", "w", "--tile", "64"}), "--tile has no use in labels");
    EXPECT_EQ(refusal({"plan", "--work", "w", "--shard", "0/2", "a.tif", "-o", "l.npy"}),
              "--shard has no use in plan");
    EXPECT_EQ(refusal({"join", "--work", "w", "big.tif"}),
              "join reads the photo named by plan, not 'big.tif'");
    EXPECT_EQ(refusal({"big.tif", "more.tif", "-o", "l.npy"}),
              "one photo only: 'big.tif' and 'more.tif'");
    EXPECT_EQ(refusal({"big.tif"}), "no label file given: -o LABELS.tif or -o LABELS.npy");
    EXPECT_EQ(refusal({"-o", "l.npy"}), "no photo given");
    EXPECT_EQ(refusal({"big.tif", "-o", "l.npy", "--count", "5"}), "unknown option '--count'");
    EXPECT_EQ(refusal({"big.tif", "-o"}), "option -o wants a value");
    // Help wins wherever it stands, before any check.
    EXPECT_TRUE(parseTilesOptions({"join", "--bogus", "-h"}).help);
    EXPECT_TRUE(parseTilesOptions({"join", "--help"}).help);
}

TEST(TilesOptions, TileSizesAndSharesOutOfRangeAreRefusedByName) {
    int64_t width = 0, height = 0;
    parseTileSize("512", width, height);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 512);
    parseTileSize("100000000000x16", width, height);  // clamped to the photo later
    EXPECT_EQ(width, 100000000000);
    EXPECT_EQ(height, 16);
    for (const char* bad : {"0", "0x16", "16x0", "15", "64x15", "x", "16x", "x16", "-16", "1e3",
                            "16X16", "99999999999999999999", "16x16x16", ""}) {
        EXPECT_EQ(refusal({"a.tif", "-o", "l.npy", std::string("--tile=") + bad}),
                  std::string("--tile wants a size N or WxH of whole numbers from 16 up, not '") +
                      bad + "'")
            << bad;
    }
    for (const char* bad : {"3/3", "1", "a/2", "1/0", "-1/2", "1/2/3"}) {
        EXPECT_EQ(refusal({"tile", "--work", "w", "--shard", bad}),
                  std::string("--shard wants K/N with 0 <= K < N, not '") + bad + "'")
            << bad;
    }
    for (const char* bad : {"0", "257", "two", "-1"}) {
        EXPECT_EQ(refusal({"tile", "--work", "w", "--threads", bad}),
                  std::string("--threads wants a count from 1 to 256, not '") + bad + "'");
    }
}

// The knobs are Segmora's, with its words for a value out of range.
TEST(TilesOptions, KnobsAreReadAsSegmoraReadsThem) {
    const TilesOptions o =
        parseTilesOptions({"plan", "a.tif", "-o", "l.tif", "--work", "w", "--sigma", "0.8",
                           "--cap-divisor", "7", "--min-size=0"});
    EXPECT_EQ(o.parameters.sigma, 0.8f);
    EXPECT_EQ(o.parameters.capDivisor, 7);
    EXPECT_EQ(o.parameters.minSize, 0);
    EXPECT_EQ(o.parameters.count, 0);
    EXPECT_EQ(refusal({"a.tif", "-o", "l.tif", "--sigma", "101"}),
              "--sigma wants a number from 0 to 100, not '101'");
    EXPECT_EQ(refusal({"a.tif", "-o", "l.tif", "--cap-divisor", "0"}),
              "--cap-divisor wants a whole number from 1 up, not '0'");
}

}  // namespace
}  // namespace segmora
