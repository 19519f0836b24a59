// segmora-tiles end to end: its labels against Segmora's on the same photo written as a
// striped, a tiled and a BigTIFF file, at tile sizes down to a few dozen pixels; its steps run
// one by one as a cluster runs them, in any order, with a tile state cut short, killed or
// left by another run, and a sweep file missing or damaged; and its refusals, which leave
// nothing under a final name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <thread>

#include "npy_array.h"
#include "program_runner.h"
#include "scratch_files.h"
#include "test_tiffs.h"

namespace fs = std::filesystem;

namespace {

const std::string kTiles = SEGMORA_TILES_PROGRAM;
const std::string kSegmora = SEGMORA_PROGRAM;

// How a test photo is laid out in its TIFF file.
enum class Layout { Striped, Tiled, BigTiled };

void writeTiff(const std::string& path, const cv::Mat& bgr, Layout layout) {
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    TiffKind kind;
    kind.big = layout == Layout::BigTiled;
    kind.tile = layout == Layout::Striped ? 0 : 48;
    writeTestTiff(path, rgb, kind);
}

// A label map as 64-bit values, whatever the file's form held.
struct Labels {
    int rows = 0, cols = 0;
    std::vector<int64_t> values;  // row by row; empty when the file could not be read

    bool operator==(const Labels& other) const {
        return !values.empty() && rows == other.rows && cols == other.cols &&
               values == other.values;
    }
    int64_t largest() const { return *std::max_element(values.begin(), values.end()); }
};

// A .npy (32 or 64-bit) or TIFF (32-bit) label file.
Labels readLabels(const std::string& path) {
    Labels labels;
    if (path.size() > 4 && path.substr(path.size() - 4) == ".npy") {
        const std::string bytes = readFile(path);
        const segmora::NpyHeader header = segmora::parseNpyHeader(bytes);
        if (header.shape.size() != 2 || header.kind != 'i' || header.fortranOrder) return labels;
        const size_t count = header.shape[0] * header.shape[1];
        if (bytes.size() != header.dataOffset + count * size_t(header.itemSize)) return labels;
        labels.values.resize(count);
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + header.dataOffset;
        for (size_t i = 0; i < count; ++i) {
            if (!segmora::npyElement(header, data, i, labels.values[i])) return {};
        }
        labels.rows = int(header.shape[0]);
        labels.cols = int(header.shape[1]);
        return labels;
    }
    const cv::Mat read = cv::imread(path, cv::IMREAD_UNCHANGED);
    if (read.type() != CV_32SC1) return labels;
    labels.rows = read.rows;
    labels.cols = read.cols;
    for (int y = 0; y < read.rows; ++y) {
        for (int x = 0; x < read.cols; ++x) labels.values.push_back(read.at<int>(y, x));
    }
    return labels;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class TilesCli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("segmora_tiles_cli");
        photo = cv::imread(std::string(SEGMORA_SAMPLES_DIR) + "/chelsea.png", cv::IMREAD_COLOR);
        ASSERT_FALSE(photo.empty());
        tiff = dir + "/photo.tif";
        writeTiff(tiff, photo, Layout::Striped);
        work = dir + "/work";
    }
    void TearDown() override { removeScratchDir(dir); }

    ProgramRun tiles(const std::vector<std::string>& words) const {
        return runProgram(kTiles, words, dir);
    }
    ProgramRun tilesUnder(const std::string& setUp, const std::vector<std::string>& words) const {
        std::vector<std::string> arguments = {"-c", setUp + "; exec \"$@\"", "sh", kTiles};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return runProgram("/bin/sh", arguments, dir);
    }

    // Segmora's labels of a photo file with these knobs.
    Labels segmoraLabels(const std::string& photoPath, std::vector<std::string> knobs = {}) {
        const std::string out = dir + "/segmora.npy";
        knobs.insert(knobs.begin(), {"-i", photoPath, "-o", out});
        const ProgramRun run = runProgram(kSegmora, knobs, dir);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return readLabels(out);
    }

    std::string statePath(int tile) const {
        char name[40];
        std::snprintf(name, sizeof name, "/tile-%08d.state", tile);
        return work + name;
    }

    // Waits (20 s at most) until a running step has written the tile's state.
    void waitForState(int tile) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fileExists(statePath(tile)) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    // The names in a folder, hidden ones included.
    static std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir, tiff, work;
    cv::Mat photo;
};

// The whole run on one machine gives Segmora's labels byte for byte, for every layout of
// the photo's file, every label form, tiles from one per photo down to 37 x 29 pixels
// (sizes that do not divide the photo, and one larger than it), several threads, and other
// knobs.
TEST_F(TilesCli, OneMachineRunGivesSegmorasLabels) {
    const Labels expected = segmoraLabels(tiff);
    ASSERT_FALSE(expected.values.empty());
    const std::string countLine = "Super-pixel num: " + std::to_string(expected.largest()) + "\n";
    struct Case {
        Layout layout;
        const char* tile;
        const char* output;
        const char* threads;
    };
    for (const Case& c :
         {Case{Layout::Striped, "4096", "l.npy", "1"}, Case{Layout::Striped, "128", "l.tif", "2"},
          Case{Layout::Tiled, "100x37", "l.npy", "3"}, Case{Layout::Tiled, "37x29", "l.tiff", "2"},
          Case{Layout::BigTiled, "451x64", "l.TIF", "2"}}) {
        const std::string input = dir + "/in.tif";
        writeTiff(input, photo, c.layout);
        const std::string output = dir + "/" + c.output;
        const ProgramRun run =
            tiles({input, "-o", output, "--tile", c.tile, "--threads", c.threads});
        const std::string what = std::string(c.tile) + " " + c.output;
        ASSERT_EQ(run.exitStatus, 0) << what << ": " << run.err;
        EXPECT_EQ(run.out, countLine) << what;
        EXPECT_EQ(run.err, "") << what;
        EXPECT_TRUE(readLabels(output) == expected) << what;
        // Only the label file is left: the temporary work folder is gone.
        EXPECT_EQ(namesIn(dir),
                  (std::vector<std::string>{"in.tif", c.output, "photo.tif", "segmora.npy"}))
            << what;
        fs::remove(output);
    }
    const std::vector<std::string> knobs = {"--threshold", "150", "--sigma",       "0.8",
                                            "--min-size",  "20",  "--cap-divisor", "90"};
    std::vector<std::string> words = {tiff, "-o", dir + "/k.npy", "--tile", "64x80"};
    words.insert(words.end(), knobs.begin(), knobs.end());
    const ProgramRun run = tiles(words);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(readLabels(dir + "/k.npy") == segmoraLabels(tiff, knobs));
}

// A region map (diagonal bands that cross every seam, as 64-bit ids) gives Segmora's labels
// with the same map; one of another size, or of floats, is refused by name.
TEST_F(TilesCli, RegionMapsGiveSegmorasLabelsWithTheSameMap) {
    const auto writeRegions = [this](const std::string& name, int rows, int cols) {
        std::string bytes = segmora::npyHeader(rows, cols, 8);
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < cols; ++x) {
                const int64_t id = (int64_t(x + 2 * y) / 45) % 4 - 2 + (int64_t{1} << 20);
                bytes.append(reinterpret_cast<const char*>(&id), sizeof id);
            }
        }
        writeFile(dir + "/" + name, bytes);
        return dir + "/" + name;
    };
    const std::string regions = writeRegions("regions.npy", photo.rows, photo.cols);
    const ProgramRun run =
        tiles({tiff, "-r", regions, "-o", dir + "/l.npy", "--tile", "64x50", "--threads", "2"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const Labels expected = segmoraLabels(tiff, {"-r", regions});
    EXPECT_TRUE(readLabels(dir + "/l.npy") == expected);
    EXPECT_EQ(run.out, "Super-pixel num: " + std::to_string(expected.largest()) + "\n");

    const std::string small = writeRegions("small.npy", photo.rows, photo.cols - 1);
    const ProgramRun refused = tiles({tiff, "-r", small, "-o", dir + "/m.npy"});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err, "segmora-tiles: cannot read region map '" + small +
                               "': it is not a 300 x 451 array in C order, as the photo is\n");
    EXPECT_FALSE(fileExists(dir + "/m.npy"));
}

// The steps one by one, as job arrays run them: the tiles in any order and any share,
// a tile state cut short (refused by the join, redone by the tile step alone), one left
// by a run with other knobs, and a resubmission that finds everything done.
TEST_F(TilesCli, StepsRunApartInAnyOrderRedoOnlyWhatIsMissing) {
    const ProgramRun plan =
        tiles({"plan", tiff, "-o", dir + "/l.npy", "--work", work, "--tile", "64x48"});
    ASSERT_EQ(plan.exitStatus, 0) << plan.err;
    EXPECT_EQ(plan.out, "56\n");  // 8 x 7 tiles of 451 x 300
    ASSERT_EQ(tiles({"sweep", "--work", work}).exitStatus, 0);
    std::vector<int> parts = {3, 0, 4, 2, 1};
    std::shuffle(parts.begin(), parts.end(), std::mt19937(40));
    for (int part : parts) {
        const ProgramRun run = tiles(
            {"tile", "--work", work, "--shard", std::to_string(part) + "/5", "--threads", "1"});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.out, "");
    }
    const ProgramRun labelsFirst = tiles({"labels", "--work", work});
    EXPECT_EQ(labelsFirst.exitStatus, 1);
    EXPECT_EQ(labelsFirst.err, "segmora-tiles: join file '" + work +
                                   "/join.state' is missing: run the join step first\n");

    // A state cut short: the join refuses it by name, and writes nothing.
    fs::resize_file(statePath(17), fs::file_size(statePath(17)) / 2);
    const auto untouched = fs::last_write_time(statePath(3));
    ProgramRun join = tiles({"join", "--work", work});
    EXPECT_EQ(join.exitStatus, 1);
    EXPECT_EQ(linesOf(join.err).size(), 1u) << join.err;
    EXPECT_NE(join.err.find("segmora-tiles: tile state '" + statePath(17) + "' is cut short"),
              std::string::npos)
        << join.err;
    EXPECT_FALSE(fileExists(work + "/join.state"));

    // A state of another run at a tile's name counts as missing.
    const std::string other = dir + "/other";
    ASSERT_EQ(tiles({"plan", tiff, "-o", dir + "/o.npy", "--work", other, "--tile", "64x48",
                     "--threshold", "200"})
                  .exitStatus,
              0);
    ASSERT_EQ(tiles({"sweep", "--work", other}).exitStatus, 0);
    ASSERT_EQ(tiles({"tile", "--work", other, "--shard", "5/56"}).exitStatus, 0);
    fs::copy_file(other + "/tile-00000005.state", statePath(5),
                  fs::copy_options::overwrite_existing);
    join = tiles({"join", "--work", work});
    EXPECT_EQ(join.exitStatus, 1);
    EXPECT_EQ(join.err, "segmora-tiles: tile state '" + statePath(5) +
                            "' belongs to another run, photo or knobs: run the tile step again\n");

    // The resubmitted array redoes those two tiles and no other.
    const ProgramRun redo = tiles({"tile", "--work", work});
    ASSERT_EQ(redo.exitStatus, 0) << redo.err;
    const std::vector<std::string> said = linesOf(redo.err);
    ASSERT_EQ(said.size(), 3u) << redo.err;
    EXPECT_EQ(said[0],
              "segmora-tiles: redoing tile 5: its state belongs to another run, photo or knobs");
    EXPECT_EQ(said[1].rfind("segmora-tiles: redoing tile 17: its state is cut short", 0), 0u);
    EXPECT_EQ(said[2], "segmora-tiles: 54 tiles done before, skipped");
    EXPECT_EQ(fs::last_write_time(statePath(3)), untouched);
    const ProgramRun again = tiles({"tile", "--work", work, "--shard", "1/2"});
    EXPECT_EQ(again.err, "segmora-tiles: 28 tiles done before, skipped\n");

    join = tiles({"join", "--work", work});
    ASSERT_EQ(join.exitStatus, 0) << join.err;
    const ProgramRun labels = tiles({"labels", "--work", work});
    ASSERT_EQ(labels.exitStatus, 0) << labels.err;
    EXPECT_EQ(labels.out, join.out);
    EXPECT_TRUE(readLabels(dir + "/l.npy") == segmoraLabels(tiff));

    // A state damaged after the join: the labels step refuses it and writes no labels.
    fs::remove(dir + "/l.npy");
    fs::resize_file(statePath(55), 100);
    const ProgramRun late = tiles({"labels", "--work", work});
    EXPECT_EQ(late.exitStatus, 1);
    EXPECT_NE(late.err.find("tile state '" + statePath(55) + "' is cut short"), std::string::npos);
    EXPECT_EQ(namesIn(dir),
              (std::vector<std::string>{"other", "photo.tif", "segmora.npy", "work"}));
    EXPECT_FALSE(fileExists(dir + "/l.npy"));
}

// A photo on a white canvas, whose flat area crosses dozens of seams, step by step: the tile
// step refuses to start without the sweep's file, or with one cut short or altered, in one
// line naming it and writing no state; after the sweep (the same bytes every time) the
// steps give Segmora's labels byte for byte, as the whole run does.
TEST_F(TilesCli, TheSweepComesFirstAndItsFileIsChecked) {
    cv::Mat canvas(420, 640, CV_8UC3, cv::Scalar(255, 255, 255));
    photo.copyTo(canvas(cv::Rect(130, 70, photo.cols, photo.rows)));
    const std::string flat = dir + "/flat.tif";
    writeTiff(flat, canvas, Layout::Tiled);
    ASSERT_EQ(
        tiles({"plan", flat, "-o", dir + "/l.npy", "--work", work, "--tile", "64x48"}).exitStatus,
        0);
    const std::string sweepFile = work + "/sweep.state";
    const auto refusedTiles = [&](const std::string& line) {
        const ProgramRun run = tiles({"tile", "--work", work});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
        EXPECT_EQ(run.err.rfind("segmora-tiles: sweep file '" + sweepFile + "' " + line, 0), 0u)
            << run.err;
        for (const std::string& name : namesIn(work)) EXPECT_NE(name.rfind("tile-", 0), 0u);
        return run.err;
    };
    refusedTiles("is missing: run segmora-tiles sweep first\n");
    const ProgramRun sweep = tiles({"sweep", "--work", work});
    ASSERT_EQ(sweep.exitStatus, 0) << sweep.err;
    EXPECT_EQ(sweep.out + sweep.err, "");
    const std::string bytes = readFile(sweepFile);
    fs::resize_file(sweepFile, bytes.size() - 1);
    refusedTiles("is not a sweep file or is cut short: run the sweep step again\n");
    std::string altered = bytes;
    altered[64 + (altered.size() - 64) / 2] ^= 0x10;
    writeFile(sweepFile, altered);
    EXPECT_NE(refusedTiles("is refused: ").find(": run the sweep step again\n"), std::string::npos);

    ASSERT_EQ(tiles({"sweep", "--work", work}).exitStatus, 0);
    EXPECT_EQ(readFile(sweepFile), bytes);
    for (const char* share : {"1/2", "0/2"}) {
        const ProgramRun run = tiles({"tile", "--work", work, "--shard", share});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
    }
    ASSERT_EQ(tiles({"join", "--work", work}).exitStatus, 0);
    const ProgramRun labels = tiles({"labels", "--work", work});
    ASSERT_EQ(labels.exitStatus, 0) << labels.err;
    const Labels expected = segmoraLabels(flat);
    EXPECT_TRUE(readLabels(dir + "/l.npy") == expected);
    EXPECT_EQ(labels.out, "Super-pixel num: " + std::to_string(expected.largest()) + "\n");
    const ProgramRun whole = tiles({flat, "-o", dir + "/w.tif", "--tile", "37x29"});
    ASSERT_EQ(whole.exitStatus, 0) << whole.err;
    EXPECT_TRUE(readLabels(dir + "/w.tif") == expected);
}

// Every refusal is one line naming the option or file, status 2 for the command line and 1
// for the rest, and leaves no label file, no temporary file and no work folder behind.
TEST_F(TilesCli, RefusalsAreOneLineAndLeaveNothingBehind) {
    fs::create_directories(dir + "/folder.npy");
    writeFile(dir + "/notaphoto.tif", "not a TIFF");
    struct Case {
        std::vector<std::string> words;
        int status;
        std::string line;
    };
    const std::string usage = "; see segmora-tiles --help";
    const std::string l = dir + "/l";
    const std::vector<Case> cases = {
        {{tiff, "-o", l + ".npy", "--tile", "0"},
         2,
         "--tile wants a size N or WxH of whole numbers from 16 up, not '0'" + usage},
        {{tiff, "-o", l + ".npy", "--tile", "64x"},
         2,
         "--tile wants a size N or WxH of whole numbers from 16 up, not '64x'" + usage},
        {{tiff, "-o", l + ".npy", "--threshold", "-1"},
         2,
         "--threshold wants a number from 0 up, not '-1'" + usage},
        {{tiff, "-o", l + ".npy", "--threads", "0"},
         2,
         "--threads wants a count from 1 to 256, not '0'" + usage},
        {{tiff, "-o", l + ".npy", "--shard", "0/2"},
         2,
         "--shard has no use in a whole run" + usage},
        {{"tile", "--work", work, "--shard", "2/2"},
         2,
         "--shard wants K/N with 0 <= K < N, not '2/2'" + usage},
        {{"join"}, 2, "join wants --work FOLDER" + usage},
        {{tiff, "-o", l + ".png"},
         1,
         "label file '" + l + ".png' must be named .tif, .tiff or .npy"},
        {{tiff, "-o", l}, 1, "label file '" + l + "' must be named .tif, .tiff or .npy"},
        {{tiff, "-o", dir + "/folder.npy"}, 1, "label file '" + dir + "/folder.npy' is a folder"},
        {{dir + "/missing.tif", "-o", l + ".npy"},
         1,
         "photo '" + dir + "/missing.tif' is not a readable file"},
        {{"join", "--work", work},
         1,
         "no run planned in '" + work + "': no run.txt (run plan first)"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = tiles(c.words);
        EXPECT_EQ(run.exitStatus, c.status) << c.line;
        EXPECT_EQ(run.err, "segmora-tiles: " + c.line + "\n");
        EXPECT_EQ(run.out, "");
    }
    // A photo that cannot be read is named; the line's words are the reader's.
    const ProgramRun broken = tiles({dir + "/notaphoto.tif", "-o", l + ".npy"});
    EXPECT_EQ(broken.exitStatus, 1);
    EXPECT_EQ(linesOf(broken.err).size(), 1u);
    EXPECT_NE(broken.err.find("segmora-tiles: "), std::string::npos);
    EXPECT_NE(broken.err.find("notaphoto.tif"), std::string::npos) << broken.err;
    TiffKind deep;
    deep.bits = 16;
    writeTestTiff(dir + "/deep.tif", cv::Mat(20, 30, CV_16UC3, cv::Scalar(300, 2, 60000)), deep);
    const ProgramRun sixteen = tiles({dir + "/deep.tif", "-o", dir + "/l.tif"});
    EXPECT_EQ(sixteen.exitStatus, 1);
    EXPECT_EQ(sixteen.err, "segmora-tiles: cannot read photo '" + dir +
                               "/deep.tif': 16-bit samples (only 8-bit ones are read)\n");
    fs::remove(dir + "/deep.tif");
    // A photo cut short fails the sweep, which the tiles follow in a whole run: one line,
    // no tile waits for it for ever, nothing is left.
    const std::string bytes = readFile(tiff);
    writeFile(dir + "/cut.tif", bytes.substr(0, bytes.size() * 2 / 3));
    const ProgramRun cut =
        tiles({dir + "/cut.tif", "-o", dir + "/l.npy", "--tile", "16", "--threads", "2"});
    EXPECT_EQ(cut.exitStatus, 1);
    EXPECT_EQ(linesOf(cut.err).size(), 1u) << cut.err;
    EXPECT_NE(cut.err.find("cut.tif"), std::string::npos) << cut.err;
    fs::remove(dir + "/cut.tif");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"folder.npy", "notaphoto.tif", "photo.tif"}));

    // A file size limit fails a write halfway through the run (a full disk does the same):
    // one line naming the file, and neither labels nor the temporary work folder are left.
    for (const char* output : {"l.npy", "l.tif"}) {
        const ProgramRun full =
            tilesUnder("ulimit -f 200", {tiff, "-o", dir + "/" + output, "--tile", "200"});
        EXPECT_EQ(full.exitStatus, 1) << output;
        EXPECT_EQ(linesOf(full.err).size(), 1u) << full.err;
        EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
        EXPECT_EQ(namesIn(dir),
                  (std::vector<std::string>{"folder.npy", "notaphoto.tif", "photo.tif"}));
    }
}

// A run that the disk cannot hold is refused before anything is written, with what it
// needs and what is free (on a file system of 2 MB of its own, when this user may make one).
TEST_F(TilesCli, ARunTooLargeForTheDiskIsRefusedFirst) {
    const std::string small = dir + "/small";
    fs::create_directories(small);
    const std::string mount = "mount -t tmpfs -o size=2m tmpfs " + small;
    if (runProgram("/usr/bin/unshare", {"-m", "/bin/sh", "-c", mount}, dir).exitStatus != 0)
        GTEST_SKIP() << "no file system of its own can be made here";
    std::vector<std::string> words = {"-m",   "/bin/sh", "-c", mount + " && exec \"$@\"", "sh",
                                      kTiles, tiff,      "-o", small + "/l.npy",          "--tile",
                                      "64"};
    const ProgramRun run = runProgram("/usr/bin/unshare", words, dir);
    EXPECT_EQ(run.exitStatus, 1);
    // 451 x 300 pixels: 0.5 MB of labels, (3 + 7000 / 64) bytes a pixel of tile states.
    EXPECT_EQ(run.err, "segmora-tiles: not enough free space in '" + small +
                           "': the run needs about 15.7 MB there (labels 0.5 MB, tile states "
                           "15.2 MB), 2.1 MB are free\n");
    EXPECT_EQ(run.out, "");
}

// A tile step killed halfway leaves only complete states under their names; its
// resubmission does the rest, and the labels are Segmora's.
TEST_F(TilesCli, AKilledTileStepIsFinishedByItsResubmission) {
    ASSERT_EQ(
        tiles({"plan", tiff, "-o", dir + "/l.tif", "--work", work, "--tile", "16"}).exitStatus,
        0);  // 29 x 19 tiles
    ASSERT_EQ(tiles({"sweep", "--work", work}).exitStatus, 0);
    const pid_t pid = startProgram(kTiles, {"tile", "--work", work, "--threads", "1"}, dir + "/out",
                                   dir + "/err");
    waitForState(40);
    ::kill(pid, SIGKILL);
    EXPECT_EQ(waitForProgram(pid), 1000 + SIGKILL);
    int done = 0;
    for (int tile = 0; tile < 29 * 19; ++tile) done += fileExists(statePath(tile));
    ASSERT_GT(done, 40);
    ASSERT_LT(done, 29 * 19) << "the step finished before it was killed";

    const ProgramRun redo = tiles({"tile", "--work", work});
    ASSERT_EQ(redo.exitStatus, 0) << redo.err;
    EXPECT_EQ(redo.err, "segmora-tiles: " + std::to_string(done) + " tiles done before, skipped\n");
    ASSERT_EQ(tiles({"join", "--work", work}).exitStatus, 0);
    const ProgramRun labels = tiles({"labels", "--work", work});
    ASSERT_EQ(labels.exitStatus, 0) << labels.err;
    EXPECT_TRUE(readLabels(dir + "/l.tif") == segmoraLabels(tiff));
    for (const std::string& name : namesIn(work)) EXPECT_NE(name[0], '.') << name;
}

// A first SIGTERM lets the tile under way finish and stops there: status 143, a line
// saying so, only complete states and no temporary file; the rest is done on resubmission.
TEST_F(TilesCli, ASignalStopsTheTileStepBetweenTiles) {
    ASSERT_EQ(
        tiles({"plan", tiff, "-o", dir + "/l.npy", "--work", work, "--tile", "16"}).exitStatus, 0);
    ASSERT_EQ(tiles({"sweep", "--work", work}).exitStatus, 0);
    const pid_t pid = startProgram(kTiles, {"tile", "--work", work, "--threads", "2"}, dir + "/out",
                                   dir + "/err");
    waitForState(20);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(waitForProgram(pid), 143);
    EXPECT_EQ(readFile(dir + "/err"), "segmora-tiles: stopped by SIGTERM\n");
    int done = 0;
    for (const std::string& name : namesIn(work)) {
        EXPECT_NE(name[0], '.') << name;
        done += name.rfind("tile-", 0) == 0;
    }
    ASSERT_LT(done, 29 * 19) << "the step finished before the signal";
    const ProgramRun redo = tiles({"tile", "--work", work});
    EXPECT_EQ(redo.err, "segmora-tiles: " + std::to_string(done) + " tiles done before, skipped\n");
    ASSERT_EQ(tiles({"join", "--work", work}).exitStatus, 0);
    ASSERT_EQ(tiles({"labels", "--work", work}).exitStatus, 0);
    EXPECT_TRUE(readLabels(dir + "/l.npy") == segmoraLabels(tiff));
}

}  // namespace
