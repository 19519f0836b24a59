// What the phases hand each other is refused when it is not what it should be: truncated,
// altered, of another tile, image or run, or missing; never read into wrong labels.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>
#include <string>

#include "test_photos.h"
#include "tile_bytes.h"
#include "tile_labels.h"
#include "tiled_run_for_tests.h"

namespace segmora {
namespace {

// Expects `call` to throw std::invalid_argument whose text holds `words`.
void expectRefused(const std::function<void()>& call, const std::string& words) {
    try {
        call();
        ADD_FAILURE() << "not refused; expected: " << words;
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
}

struct SmallRun {
    cv::Mat bgr;
    TiledImage image;
    std::vector<TileState> states;

    SmallRun() {
        std::mt19937 rng(3);
        bgr = testPhoto(30, 41, 1, rng);
        Parameters parameters;
        parameters.minSize = 4;
        image = tiledImageOf(bgr, 16, 12, parameters, false);
        states = firstPhase(image, bgr, cv::Mat_<int>());
    }
};

TEST(TiledImageBytes, JoinBytesTruncatedAlteredOrOfAnotherRunAreRefusedNamingTheTile) {
    const SmallRun run;
    const size_t length = run.states[4].join.size();
    for (const size_t cut : {size_t{0}, size_t{50}, size_t{104}, length / 2, length - 1}) {
        std::vector<TileState> states = run.states;
        states[4].join.resize(cut);
        expectRefused([&] { joinStates(run.image, states); }, "tile 4: join bytes");
    }
    for (size_t at = 0; at < length; at += 7) {  // every part of the bytes: header to check sum
        std::vector<TileState> states = run.states;
        states[4].join[at] ^= 0x10;
        // A seam edge altered in tile 4 may be missed first by the tile across the seam.
        expectRefused([&] { joinStates(run.image, states); }, "tile 4");
    }
    std::vector<TileState> states = run.states;
    states[4].join.push_back(0);
    expectRefused([&] { joinStates(run.image, states); }, "tile 4: join bytes");
    std::swap(states[1], states[2]);
    expectRefused([&] { joinStates(run.image, states); }, "tile 1: join bytes belong to tile 2");
    TiledImage other = run.image;
    other.parameters.threshold = 300;
    expectRefused([&] { joinStates(other, run.states); }, "another image, tile shape or knobs");
    expectRefused([&] { joinTiles(run.image, [](int64_t) { return nullptr; }); },
                  "tile 0: join bytes cannot be read");
    // The same when the join reads the tiles on the thread that merges.
    TiledImage single = run.image;
    single.parameters.threads = 1;
    states = run.states;
    states[4].join[length / 2] ^= 0x10;
    expectRefused([&] { joinStates(single, states); }, "tile 4");
}

// Seam halves that do not meet: a tile of a run on other pixels, with sound bytes.
TEST(TiledImageBytes, TilesOfDifferentPhotosDoNotJoin) {
    const SmallRun run;
    cv::Mat other = run.bgr.clone();
    other.setTo(cv::Scalar(90, 20, 200));
    std::vector<TileState> states = run.states;
    const int64_t tile = 5;
    states[tile] = segmentTile(run.image, tile, other(cvRect(tileReadRect(run.image, tile))));
    expectRefused([&] { joinStates(run.image, states); }, "hold a seam edge that tile");
}

TEST(TiledImageBytes, LabelsAndTablesOfAnotherTileOrAlteredAreRefused) {
    const SmallRun run;
    const TiledJoin join = joinStates(run.image, run.states);
    const auto label = [&](int64_t tile, const std::vector<uint8_t>& labels,
                           const std::vector<uint8_t>& table, int64_t count) {
        return [&run, tile, labels, table, count] {
            labelTile(run.image, tile, labels, table, count);
        };
    };
    expectRefused(label(2, run.states[3].labels, join.tables[2], join.count), "tile 2:");
    expectRefused(label(2, run.states[2].labels, join.tables[3], join.count), "tile 2:");
    expectRefused(label(2, run.states[2].labels, join.tables[2], join.count + 1), "count");
    std::vector<uint8_t> altered = run.states[2].labels;
    altered[60] ^= 1;
    expectRefused(label(2, altered, join.tables[2], join.count), "check sum");
    altered = join.tables[2];
    altered.pop_back();
    expectRefused(label(2, run.states[2].labels, altered, join.count), "tile 2: table bytes");
    expectRefused(label(9, run.states[2].labels, join.tables[2], join.count), "tile 9 is outside");
    // Runs that are sealed again after a change: a run made longer or shorter (the pixels
    // overrun or left unset), of length 0, or of a segment the tile does not have.
    const auto resealed = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> bytes = run.states[2].labels;
        bytes.resize(bytes.size() - 8);
        bytes[at] = value;
        sealBytes(bytes);
        return bytes;
    };
    const uint8_t length = run.states[2].labels[58];
    for (const uint8_t wrong : {uint8_t(length + 1), uint8_t(length - 1), uint8_t(0)}) {
        expectRefused(label(2, resealed(58, wrong), join.tables[2], join.count), "tile's shape");
    }
    expectRefused(label(2, resealed(57, 0xff), join.tables[2], join.count), "does not have");
}

// Runs end at each row's end and are split past 65535 pixels.
TEST(TiledImageBytes, RunsOfLongRowsAreSplit) {
    const int width = 70000;
    const TiledImage image =
        tiledImageOf(cv::Mat(2, width, CV_8UC3), width, 2, Parameters(), false);
    std::vector<int32_t> ids(2 * size_t{width}, 0);
    for (int x = 0; x < 9; ++x) ids[size_t{width} + x] = 1 + x % 2;
    std::vector<uint8_t> bytes;
    localLabelBytes(0, tileRect(image, 0), ids.data(), 3, bytes);
    EXPECT_EQ(getBytes(bytes.data() + 48, 8), 2u + 9 + 2);  // 65535 + 4465; 9 short, 65535 + 4456
    const TileLabels labels = labelTile(image, 0, bytes, labelTableBytes(0, {5, 7, 6}, 7), 7);
    ASSERT_EQ(labels.labels32.size(), ids.size());
    for (size_t p = 0; p < ids.size(); ++p) {
        ASSERT_EQ(labels.labels32[p], (std::vector<int32_t>{5, 7, 6})[size_t(ids[p])]) << p;
    }
}

// Past 2^31 - 1 superpixels the tables and the labels are 64-bit; below, 32-bit.
TEST(TiledImageBytes, LabelsPast2To31AreSixtyFourBit) {
    const SmallRun run;
    const TiledJoin join = joinStates(run.image, run.states);
    const int64_t tile = 4;
    const TileLabels small =
        labelTile(run.image, tile, run.states[tile].labels, join.tables[tile], join.count);
    ASSERT_TRUE(small.labels64.empty());
    const int64_t past = int64_t{1} << 31;
    const uint64_t segments = getBytes(join.tables[tile].data() + 24, 8);
    std::vector<int64_t> labels;  // the join's labels, each moved past 2^31
    for (uint64_t s = 0; s < segments; ++s) {
        labels.push_back(past +
                         static_cast<int64_t>(getBytes(join.tables[tile].data() + 40 + 4 * s, 4)));
    }
    const std::vector<uint8_t> table = labelTableBytes(tile, labels, past + join.count);
    const TileLabels large =
        labelTile(run.image, tile, run.states[tile].labels, table, past + join.count);
    ASSERT_TRUE(large.labels32.empty());
    ASSERT_EQ(large.labels64.size(), small.labels32.size());
    for (size_t p = 0; p < small.labels32.size(); ++p)
        EXPECT_EQ(large.labels64[p], past + small.labels32[p]);

    // One TileLabels reused tile after tile, of other sizes and widths, holds each tile's.
    TileLabels reused;
    for (const int64_t t : {int64_t{4}, int64_t{8}, int64_t{0}}) {
        labelTile(run.image, t, run.states[t].labels, join.tables[t], join.count, reused);
        const TileLabels fresh =
            labelTile(run.image, t, run.states[t].labels, join.tables[t], join.count);
        EXPECT_EQ(reused.labels32, fresh.labels32) << "tile " << t;
        EXPECT_TRUE(reused.labels64.empty());
        labelTile(run.image, tile, run.states[tile].labels, table, past + join.count, reused);
        EXPECT_EQ(reused.labels64, large.labels64);
        EXPECT_TRUE(reused.labels32.empty());
    }
}

TEST(TiledImageBytes, TileNumbersPhotosAndRegionsOutsideTheRunAreRefused) {
    const SmallRun run;
    const cv::Mat part = run.bgr(cvRect(tileReadRect(run.image, 0)));
    expectRefused([&] { segmentTile(run.image, -1, part); },
                  "tile -1 is outside the image's 9 tiles");
    expectRefused([&] { segmentTile(run.image, 9, part); }, "tile 9 is outside");
    expectRefused([&] { segmentTile(run.image, 1, part); }, "pixels of its read rectangle");
    expectRefused([&] { segmentTile(run.image, 0, cv::Mat(part.size(), CV_8UC1)); }, "CV_8UC3");
    expectRefused([&] { segmentTile(run.image, 0, part, cv::Mat_<int>(part.size(), 0)); },
                  "image without regions");
    TiledImage withRegions = run.image;
    withRegions.withRegions = true;
    expectRefused([&] { segmentTile(withRegions, 0, part); }, "region map must have");
}

}  // namespace
}  // namespace segmora
