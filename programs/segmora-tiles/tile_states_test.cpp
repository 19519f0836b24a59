#include "tile_states.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "output_folder.h"
#include "scratch_files.h"
#include "tile_run.h"

namespace segmora {
namespace {

class TileStates : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("tile_states");
        state.join = {1, 2, 3, 4, 5};
        state.labels = {9, 8, 7};
    }
    void TearDown() override { removeScratchDir(dir); }

    std::string path(int64_t tile) const { return dir + "/" + tileStateName(tile); }
    StateCheck check(int64_t tile, const std::string& key = "0123456789abcdef") const {
        return checkTileState(dir, key, tile);
    }

    std::string dir;
    TileState state;
    const std::string key = "0123456789abcdef";
};

// Every way a state file can fail to be this tile's complete state is told apart from a
// complete one, and the complete one gives back exactly what was written.
TEST_F(TileStates, OnlyAWholeStateOfThisRunAndTileCounts) {
    {
        const OutputFolder work(dir, "work folder", true);
        writeTileState(work, key, 3, state);
        writeTileState(work, key, 4, state);
    }
    EXPECT_EQ(check(3), StateCheck::Complete);
    EXPECT_EQ(check(5), StateCheck::Missing);
    EXPECT_EQ(check(3, "fedcba9876543210"), StateCheck::OtherRun);
    std::filesystem::copy_file(path(3), path(6));  // another tile's state under its name
    EXPECT_EQ(check(6), StateCheck::OtherRun);

    const std::unique_ptr<std::istream> join = openTileJoin(dir, key, 3);
    const std::vector<uint8_t> joinBytes{std::istreambuf_iterator<char>(*join), {}};
    EXPECT_EQ(joinBytes, state.join);  // and nothing after them
    EXPECT_EQ(readTileLabels(dir, key, 3), state.labels);

    const uintmax_t size = std::filesystem::file_size(path(4));
    for (uintmax_t cut : {size - 1, uintmax_t{70}, uintmax_t{10}, uintmax_t{0}}) {
        std::filesystem::resize_file(path(4), cut);
        std::string why;
        EXPECT_EQ(checkTileState(dir, key, 4, &why), StateCheck::Damaged) << cut;
        EXPECT_NE(why.find("cut short"), std::string::npos) << why;
        EXPECT_THROW(readTileLabels(dir, key, 4), std::runtime_error);
    }
    std::filesystem::resize_file(path(3), std::filesystem::file_size(path(3)) + 1);
    EXPECT_EQ(check(3), StateCheck::Damaged);
    try {
        openTileJoin(dir, key, 5);
        FAIL() << "a missing state was opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "tile state '" + path(5) + "' is missing: run the tile step for it");
    }
    // Nothing but the states themselves is left in the folder.
    EXPECT_EQ(entryCount(dir), 3);
}

TEST_F(TileStates, TheJoinFileGivesBackEachTablesBytesAndRefusesAnotherRun) {
    TiledJoin join;
    join.count = int64_t{1} << 33;
    join.tables = {{1, 2}, {}, {3, 4, 5}};
    {
        const OutputFolder work(dir, "work folder", true);
        writeJoin(work, key, join);
    }
    JoinFile read(dir, key, 3);
    EXPECT_EQ(read.count(), int64_t{1} << 33);
    EXPECT_EQ(read.table(2), join.tables[2]);
    EXPECT_EQ(read.table(1), join.tables[1]);
    EXPECT_EQ(read.table(0), join.tables[0]);
    EXPECT_THROW(JoinFile(dir, key, 4), std::runtime_error);
    EXPECT_THROW(JoinFile(dir, "fedcba9876543210", 3), std::runtime_error);
    const std::string file = dir + "/" + kJoinFileName;
    std::filesystem::resize_file(file, std::filesystem::file_size(file) - 1);
    EXPECT_THROW(JoinFile(dir, key, 3), std::runtime_error);
}

// The description read back is the run written, to the last bit of each knob, and any
// change to the run changes its key.
TEST(TileRunDescription, ReadsBackExactlyAndItsKeyFollowsEveryField) {
    TileRun run;
    run.photoPath = "/data/slide 1.tif";
    run.outputPath = "/data/labels.npy";
    run.photoBytes = 123456789012;
    run.photoChanged = 1700000000123456789;
    run.image.width = 46341;
    run.image.height = 46341;
    run.image.tileWidth = 4096;
    run.image.tileHeight = 2048;
    run.image.parameters.threshold = 0.1f;
    run.image.parameters.sigma = 0.7f;
    run.image.parameters.capDivisor = 3;
    run.image.parameters.minSize = 0;
    const TileRun back = parseTileRun(run.text());
    EXPECT_EQ(back.text(), run.text());
    EXPECT_EQ(back.image.parameters.threshold, 0.1f);
    EXPECT_EQ(back.image.parameters.sigma, 0.7f);
    EXPECT_EQ(back.key(), run.key());

    TileRun other = run;
    other.image.parameters.threshold = std::nextafter(0.1f, 1.0f);
    EXPECT_NE(other.key(), run.key());
    other = run;
    other.photoChanged += 1;
    EXPECT_NE(other.key(), run.key());

    std::string tampered = run.text();
    tampered.replace(tampered.find("min-size 0"), 10, "min-size x");
    EXPECT_THROW(parseTileRun(tampered), std::runtime_error);
    EXPECT_THROW(parseTileRun("segmora-tiles run 2\n"), std::runtime_error);
    EXPECT_THROW(parseTileRun("segmora-tiles run 3\n"), std::runtime_error);
    EXPECT_THROW(parseTileRun(run.text() + "extra line\n"), std::runtime_error);
    // A run planned before the tiles took a sweep: planned again, so that its states carry
    // another key and are redone rather than mixed with swept ones.
    std::string unswept = run.text();
    unswept.replace(0, unswept.find('\n'), "segmora-tiles run 1");
    EXPECT_THROW(parseTileRun(unswept), std::runtime_error);
}

}  // namespace
}  // namespace segmora
