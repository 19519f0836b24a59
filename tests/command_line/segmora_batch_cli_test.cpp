// segmora-batch end to end: every file it writes must be the one Segmora writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <thread>

#include "foreign_threads.h"
#include "program_runner.h"
#include "scratch_files.h"

namespace fs = std::filesystem;

namespace {

const std::string kBatch = SEGMORA_BATCH_PROGRAM;
const std::string kSegmora = SEGMORA_PROGRAM;

// Waits until the program has set up its signal handling (its handlers are in place):
// until then a signal would end it the default way.
void waitUntilSignalsCaught(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const unsigned long long wanted =
        (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1)) | (1ull << (SIGHUP - 1));
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
        const size_t at = status.find("SigCgt:");
        if (at != std::string::npos &&
            (std::stoull(status.substr(at + 7), nullptr, 16) & wanted) == wanted) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The names in a folder, in order; hidden ones (temporary files) included, the batch's list
// of finished files not.
std::vector<std::string> entriesOf(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name != ".segmora-batch-done") names.push_back(name);
    }
    return sorted(names);
}

// A photo of the given size cut from a bundled sample.
cv::Mat photoFromSample(const std::string& sample, int width, int height) {
    const cv::Mat source = cv::imread(std::string(SEGMORA_SAMPLES_DIR) + "/" + sample);
    cv::Mat photo;
    cv::resize(source(cv::Rect(40, 30, 200, 150)), photo, cv::Size(width, height), 0, 0,
               cv::INTER_AREA);
    return photo;
}

// Region ids in vertical bands whose width depends on the photo.
std::string regionFileFor(int width, int height) {
    std::string text;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            text +=
                std::to_string((x * 3 / std::max(1, width)) * 7 - 5) + (x + 1 < width ? " " : "\n");
        }
    }
    return text;
}

struct SamplePhoto {
    std::string file;  // in the photo folder
    std::string sample;
    int width, height;
};

const std::vector<SamplePhoto> kPhotos = {
    {"a.png", "chelsea.png", 64, 48},   {"b.jpg", "coffee.png", 90, 61},
    {"c.bmp", "astronaut.png", 37, 23}, {"two words.png", "coffee.png", 48, 64},
    {"e.ppm", "chelsea.png", 1, 1},
};

// What Segmora writes for one photo: its label file, boundary picture and the line that
// segmora-batch prints.
struct SegmoraResult {
    std::string labels, picture, line;
};

// A folder of photos (in/), their region files (regions/), and Segmora's results for them.
class BatchCliTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = makeScratchDir("segmora_batch_cli_test");
        fs::create_directories(dir + "/in");
        fs::create_directories(dir + "/regions");
        for (const SamplePhoto& photo : kPhotos) {
            ASSERT_TRUE(cv::imwrite(dir + "/in/" + photo.file,
                                    photoFromSample(photo.sample, photo.width, photo.height)));
            writeFile(dir + "/regions/" + nameOf(photo.file) + ".txt",
                      regionFileFor(photo.width, photo.height));
        }
    }
    static void TearDownTestSuite() { removeScratchDir(dir); }
    void TearDown() override {
        for (const char* sub : {"out", "pictures", "list", "out0", "out1", "out2", "tree"}) {
            fs::remove_all(dir + "/" + sub);
        }
    }

    static std::string nameOf(const std::string& file) { return file.substr(0, file.rfind('.')); }

    // Segmora's results for the photos, made when first needed.
    static const std::vector<SegmoraResult>& expected(bool withRegions) {
        std::vector<SegmoraResult>& results = segmoraResults[withRegions];
        if (results.empty()) {
            for (const SamplePhoto& photo : kPhotos) {
                results.push_back(runSegmora(photo.file, withRegions));
            }
        }
        return results;
    }

    static SegmoraResult runSegmora(const std::string& file, bool withRegions) {
        const std::string photo = dir + "/in/" + file;
        std::vector<std::string> words = {
            "-i", photo, "-o", dir + "/segmora.csv", "-v", dir + "/segmora.png"};
        if (withRegions) {
            words.insert(words.end(), {"-r", dir + "/regions/" + nameOf(file) + ".txt"});
        }
        const ProgramRun run = runProgram(kSegmora, words, dir);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        const std::string count = run.out.substr(run.out.rfind("Super-pixel num: ") + 17);
        return {readFile(dir + "/segmora.csv"), readFile(dir + "/segmora.png"),
                photo + "\t" + count.substr(0, count.find('\n'))};
    }

    ProgramRun batch(const std::vector<std::string>& words) const {
        return runProgram(kBatch, words, dir);
    }

    // Every label file in `out` (and picture in `pictures`) must be Segmora's.
    void expectSegmoraFiles(const std::string& out, bool withRegions,
                            const std::string& pictures = "") const {
        for (size_t i = 0; i < kPhotos.size(); ++i) {
            const std::string name = nameOf(kPhotos[i].file);
            if (!fileExists(out + "/" + name + ".csv")) continue;
            EXPECT_EQ(readFile(out + "/" + name + ".csv"), expected(withRegions)[i].labels) << name;
            if (!pictures.empty()) {
                EXPECT_EQ(readFile(pictures + "/" + name + ".png"),
                          expected(withRegions)[i].picture)
                    << name;
            }
        }
    }

    static std::vector<std::string> expectedLines(bool withRegions) {
        std::vector<std::string> lines;
        for (const SegmoraResult& result : expected(withRegions)) lines.push_back(result.line);
        return sorted(lines);
    }

    static std::string dir;
    static std::vector<SegmoraResult> segmoraResults[2];  // without, with regions
};

std::string BatchCliTest::dir;
std::vector<SegmoraResult> BatchCliTest::segmoraResults[2];

class SameAsSegmora : public BatchCliTest,
                      public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(SameAsSegmora, EveryLabelFileAndPicture) {
    const auto [jobs, withRegions] = GetParam();
    std::vector<std::string> words = {"-j", std::to_string(jobs), "-o",       dir + "/out",
                                      "-v", dir + "/pictures",    dir + "/in"};
    if (withRegions) words.insert(words.begin(), {"-r", dir + "/regions"});
    const ProgramRun run = batch(words);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(sorted(linesOf(run.out)), expectedLines(withRegions));
    EXPECT_EQ(entriesOf(dir + "/out").size(), kPhotos.size());
    expectSegmoraFiles(dir + "/out", withRegions, dir + "/pictures");
}

INSTANTIATE_TEST_SUITE_P(JobsAndRegions, SameAsSegmora,
                         ::testing::Combine(::testing::Values(1, 4), ::testing::Bool()));

TEST_F(BatchCliTest, BrokenPhotoAndMissingRegionFileFailAlone) {
    const std::string in = dir + "/list";  // a copy of the folder with two bad photos
    fs::copy(dir + "/in", in);
    fs::copy(dir + "/regions", in + "/regions");
    writeFile(in + "/broken.png", "not a picture");
    fs::remove(in + "/regions/b.txt");
    fs::create_directories(dir + "/out");
    writeFile(dir + "/out/broken.csv", "earlier\n");

    const ProgramRun run = batch({"-j", "2", "-o", dir + "/out", "-r", in + "/regions", in});
    EXPECT_EQ(run.exitStatus, 1);
    const std::vector<std::string> errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 3u) << run.err;
    EXPECT_EQ(
        sorted({errors[0], errors[1]}),
        (std::vector<std::string>{"segmora-batch: " + in + "/b.jpg: cannot read region file '" +
                                      in + "/regions/b.txt': No such file or directory",
                                  "segmora-batch: " + in + "/broken.png: cannot read image '" + in +
                                      "/broken.png': not a readable image format"}));
    EXPECT_EQ(errors[2], "segmora-batch: 2 of 6 photos failed");
    EXPECT_EQ(linesOf(run.out).size(), kPhotos.size() - 1);
    EXPECT_EQ(readFile(dir + "/out/broken.csv"), "earlier\n");
    EXPECT_EQ(entriesOf(dir + "/out"),
              (std::vector<std::string>{"a.csv", "broken.csv", "c.csv", "e.csv", "two words.csv"}));
    expectSegmoraFiles(dir + "/out", true);
}

TEST_F(BatchCliTest, ShardsSplitTheNameOrderedListExactlyOnce) {
    // In byte order: a.png, b.jpg, c.bmp, e.ppm, two words.png.
    const std::vector<std::vector<std::string>> shares = {
        {"a.csv", "e.csv"}, {"b.csv", "two words.csv"}, {"c.csv"}};
    for (int k = 0; k < 3; ++k) {
        const std::string out = dir + "/out" + std::to_string(k);
        const ProgramRun run = batch({"--shard", std::to_string(k) + "/3", "-o", out, dir + "/in"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(entriesOf(out), shares[k]) << "shard " << k;
        EXPECT_EQ(linesOf(run.out).size(), shares[k].size());
        expectSegmoraFiles(out, false);
    }
}

TEST_F(BatchCliTest, ResumeSkipsFinishedPhotos) {
    ASSERT_EQ(batch({"--shard", "0/2", "-o", dir + "/out", dir + "/in"}).exitStatus, 0);
    const auto finishedAt = fs::last_write_time(dir + "/out/c.csv");
    // A file of a finished photo's name that no run finished does not count.
    writeFile(dir + "/out/a.csv", "kept\n");
    const ProgramRun run = batch({"--resume", "-o", dir + "/out", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(sorted(linesOf(run.out)),
              (std::vector<std::string>{expected(false)[0].line, expected(false)[1].line,
                                        expected(false)[4].line}));
    EXPECT_EQ(run.err, "segmora-batch: redoing '" + dir +
                           "/out/a.csv': it changed since segmora-batch finished it\n"
                           "segmora-batch: 2 done before, skipped\n");
    EXPECT_EQ(readFile(dir + "/out/a.csv"), expected(false)[0].labels);
    EXPECT_EQ(fs::last_write_time(dir + "/out/c.csv"), finishedAt);
    EXPECT_EQ(entriesOf(dir + "/out").size(), kPhotos.size());

    // Everything done: nothing to do, and it says so.
    const ProgramRun again = batch({"--resume", "-o", dir + "/out", dir + "/in"});
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(again.err, "segmora-batch: 5 done before, skipped\n");

    // With pictures asked for, a photo is finished only when its picture exists too.
    const ProgramRun withPictures =
        batch({"--resume", "-o", dir + "/out", "-v", dir + "/pictures", dir + "/in"});
    EXPECT_EQ(linesOf(withPictures.out).size(), kPhotos.size());
    EXPECT_EQ(linesOf(withPictures.err).back(), "segmora-batch: 0 done before, skipped");

    // The report is the last line, after the failures.
    writeFile(dir + "/list", dir + "/in/a.png\n" + dir + "/none.png\n");
    const pid_t pid = startProgram(kBatch, {"--resume", "-o", dir + "/out", "-"}, dir + "/list",
                                   dir + "/stdout", dir + "/stderr");
    EXPECT_EQ(waitForProgram(pid), 1);
    const std::vector<std::string> errors = linesOf(readFile(dir + "/stderr"));
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[1], "segmora-batch: 1 of 1 photos failed");
    EXPECT_EQ(errors[2], "segmora-batch: 1 done before, skipped");
}

TEST_F(BatchCliTest, OptionValuesJoinedOrApart) {
    // In byte order: a.png, b.jpg, c.bmp, e.ppm, two words.png.
    const std::vector<std::vector<std::string>> spellings = {
        {"-j2", "--shard=1/3", "-o" + dir + "/out"},
        {"--jobs=2", "--shard", "1/3", "-o", dir + "/out"},
        {"--jobs", "2", "--shard=1/3", "--min-size=5", "--format=csv", "-o", dir + "/out"},
    };
    for (std::vector<std::string> words : spellings) {
        words.push_back(dir + "/in");
        const ProgramRun run = batch(words);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(entriesOf(dir + "/out"), (std::vector<std::string>{"b.csv", "two words.csv"}));
        expectSegmoraFiles(dir + "/out", false);
        fs::remove_all(dir + "/out");
    }
}

TEST_F(BatchCliTest, BothProgramsSpeakOneGrammar) {
    for (const std::string& program : {kSegmora, kBatch}) {
        const ProgramRun run = runProgram(program, {"--version"}, dir);
        EXPECT_EQ(run.exitStatus, 0) << program;
        EXPECT_EQ(run.out,
                  fs::path(program).filename().string() + " " + SEGMORA_EXPECTED_VERSION + "\n");
        EXPECT_EQ(run.err, "");
    }
    const std::string photo = dir + "/in/a.png";
    const ProgramRun apart = runProgram(
        kSegmora, {"-i", photo, "--threshold", "300", "--cap-divisor", "90", "-o", dir + "/1.csv"},
        dir);
    const ProgramRun joined = runProgram(
        kSegmora, {"-i" + photo, "--threshold=300", "--cap-divisor=90", "-o" + dir + "/2.csv"},
        dir);
    ASSERT_EQ(apart.exitStatus, 0) << apart.err;
    ASSERT_EQ(joined.exitStatus, 0) << joined.err;
    EXPECT_EQ(joined.out.substr(joined.out.find("Segment")),
              apart.out.substr(apart.out.find("Segment")));
    EXPECT_EQ(readFile(dir + "/1.csv"), readFile(dir + "/2.csv"));
    const ProgramRun run =
        batch({"--threshold=300", "--cap-divisor=90", "-o", dir + "/out", photo});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(readFile(dir + "/out/a.csv"), readFile(dir + "/1.csv"));
    fs::remove_all(dir + "/out");
}

TEST_F(BatchCliTest, RecursionMirrorsTheFoldersAndLetsNamesRepeat) {
    const std::string tree = dir + "/tree";
    for (const char* sub : {"/photos/x/y", "/photos/z", "/regions/x/y", "/regions/z"}) {
        fs::create_directories(tree + sub);
    }
    // a.png at the top and twice below, with region maps mirrored (text and .npy forms).
    fs::copy_file(dir + "/in/a.png", tree + "/photos/a.png");
    fs::copy_file(dir + "/in/a.png", tree + "/photos/x/y/a.png");
    fs::copy_file(dir + "/in/b.jpg", tree + "/photos/z/a.jpg");
    fs::copy_file(dir + "/regions/a.txt", tree + "/regions/a.txt");
    fs::copy_file(dir + "/regions/a.txt", tree + "/regions/x/y/a.txt");
    fs::copy_file(dir + "/regions/b.txt", tree + "/regions/z/a.txt");

    const ProgramRun flat = batch({"-o", dir + "/out", tree + "/photos"});
    EXPECT_EQ(flat.exitStatus, 0) << flat.err;
    EXPECT_EQ(entriesOf(dir + "/out"), std::vector<std::string>{"a.csv"});
    fs::remove_all(dir + "/out");

    const ProgramRun run = batch({"-R", "-j3", "-r", tree + "/regions", "-o", dir + "/out", "-v",
                                  dir + "/pictures", tree + "/photos"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(linesOf(run.out).size(), 3u);
    const std::vector<std::pair<std::string, size_t>> results = {
        {"a", 0}, {"x/y/a", 0}, {"z/a", 1}};  // result name, photo of kPhotos
    for (const auto& [name, photo] : results) {
        EXPECT_EQ(readFile(dir + "/out/" + name + ".csv"), expected(true)[photo].labels) << name;
        EXPECT_EQ(readFile(dir + "/pictures/" + name + ".png"), expected(true)[photo].picture)
            << name;
    }
    EXPECT_EQ(entriesOf(dir + "/out"), (std::vector<std::string>{"a.csv", "x", "z"}));

    // Two photos that would write the same file are named, both of them.
    fs::copy_file(dir + "/in/c.bmp", tree + "/photos/z/a.bmp");
    const ProgramRun clash = batch({"--recursive", "-o", dir + "/out", tree + "/photos"});
    EXPECT_EQ(clash.exitStatus, 2);
    EXPECT_EQ(clash.err, "segmora-batch: photos '" + tree + "/photos/z/a.bmp' and '" + tree +
                             "/photos/z/a.jpg' share a name, their label files would clash\n");
}

TEST_F(BatchCliTest, ReadsThePhotoListFromStandardInput) {
    writeFile(dir + "/list", dir + "/in/c.bmp\r\n\n" + dir + "/in/two words.png\n");
    const pid_t pid = startProgram(kBatch, {"-o", dir + "/out", "-", dir + "/in/e.ppm"},
                                   dir + "/list", dir + "/stdout", dir + "/stderr");
    EXPECT_EQ(waitForProgram(pid), 0) << readFile(dir + "/stderr");
    EXPECT_EQ(sorted(linesOf(readFile(dir + "/stdout"))),
              (std::vector<std::string>{expected(false)[2].line, expected(false)[4].line,
                                        expected(false)[3].line}));
    expectSegmoraFiles(dir + "/out", false);
}

TEST_F(BatchCliTest, RefusesPhotosThatShareANameBeforeAnyWork) {
    const ProgramRun run = batch({"-o", dir + "/out", dir + "/in", dir + "/in/a.png"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "segmora-batch: photos '" + dir + "/in/a.png' and '" + dir +
                           "/in/a.png' share a name, their label files would clash\n");
    EXPECT_FALSE(fileExists(dir + "/out"));
}

TEST_F(BatchCliTest, BadCommandLinesGiveOneLineAndAHint) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{dir + "/in"}, "no output folder: give one with -o"},
        {{"-o", dir + "/out"}, "no photos: give photos, folders or -"},
        {{"-o", dir + "/out", "-j", "0", dir + "/in"},
         "-j wants a job count from 1 to 4096, not '0'"},
        {{"-o", dir + "/out", "--shard", "3/3", dir + "/in"},
         "--shard wants K/N with 0 <= K < N, not '3/3'"},
        {{"-o", dir + "/out", "--fast", dir + "/in"}, "unknown option '--fast'"},
        {{"-o", dir + "/out", "--sigma=101", dir + "/in"},
         "--sigma wants a number from 0 to 100, not '101'"},
        {{"-o", dir + "/out", "--format", "gif", dir + "/in"},
         "--format wants csv, png, npy or tiff, not 'gif'"},
    };
    for (const auto& [words, message] : cases) {
        const ProgramRun run = batch(words);
        EXPECT_EQ(run.exitStatus, 2) << message;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "segmora-batch: " + message + "; see segmora-batch --help\n");
    }
    EXPECT_FALSE(fileExists(dir + "/out"));
    const ProgramRun help = batch({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option : {"usage: segmora-batch -o OUT_DIR", "\n  -j, --jobs ", "\n  -r ",
                               "\n  -v ", "\n  -R, --recursive ", "\n  --shard ", "\n  --resume ",
                               "\n  --threshold ", "\n  --format ", "\n  -h, --help "}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

// A batch of many one-megapixel photos, stopped by a signal once the first is done. The
// batch has a thread that blocks no signal from before its main, as with OpenBLAS.
class BatchInterrupt : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        dir = makeScratchDir("segmora_batch_interrupt_test");
        fs::create_directories(dir + "/in");
        ASSERT_TRUE(cv::imwrite(dir + "/photo.png", photoFromSample("astronaut.png", 1200, 900)));
        for (int i = 0; i < 40; ++i) {
            fs::create_symlink(dir + "/photo.png", dir + "/in/p" + std::to_string(10 + i) + ".png");
        }
        writeFile(dir + "/empty", "");
    }
    void TearDown() override { removeScratchDir(dir); }

    std::string dir;
    ForeignThreads foreign{FOREIGN_THREADS_LIBRARY};
};

TEST_P(BatchInterrupt, KeepsFinishedLabelFilesAndNoTemporaryOnes) {
    const int signal = GetParam();
    const pid_t pid = startProgram(kBatch, {"-j", "2", "-o", dir + "/out", dir + "/in"},
                                   dir + "/empty", dir + "/stdout", dir + "/stderr");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (readFile(dir + "/stdout").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, signal);
    EXPECT_EQ(waitForProgram(pid), 128 + signal);

    const std::vector<std::string> files = entriesOf(dir + "/out");
    EXPECT_GE(files.size(), 1u);
    EXPECT_LT(files.size(), 40u);
    EXPECT_EQ(linesOf(readFile(dir + "/stdout")).size(), files.size());
    ASSERT_EQ(runProgram(kSegmora, {"-i", dir + "/photo.png", "-o", dir + "/segmora.csv"}, dir)
                  .exitStatus,
              0);
    const std::string labels = readFile(dir + "/segmora.csv");
    for (const std::string& file : files) {
        EXPECT_NE(file[0], '.') << "temporary file left: " << file;
        EXPECT_TRUE(readFile(dir + "/out/" + file) == labels) << file << " differs";
    }
    const std::vector<std::string> errors = linesOf(readFile(dir + "/stderr"));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().rfind("segmora-batch: stopped by SIG", 0), 0u) << errors.back();
}

// Before any photo is started a signal ends the program at once, even while it still waits
// for its photo list.
TEST_P(BatchInterrupt, EndsAtOnceWhileReadingTheList) {
    const std::string fifo = dir + "/list";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // keeps the list open
    const pid_t pid =
        startProgram(kBatch, {"-o", dir + "/out", "-"}, fifo, dir + "/stdout", dir + "/stderr");
    waitUntilSignalsCaught(pid);
    ::kill(pid, GetParam());
    EXPECT_EQ(waitForProgram(pid), 128 + GetParam());
    ::close(writer);
    EXPECT_FALSE(fileExists(dir + "/out"));
}

INSTANTIATE_TEST_SUITE_P(Signals, BatchInterrupt, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

// --masks MASK_DIR pairs NAME.png (or .npy, .txt, ...) with each photo: the label files and
// pictures are Segmora -m's, and a photo without its mask fails alone.
TEST_F(BatchCliTest, MasksArePairedByNameAsSegmoraReadsThem) {
    const std::string masks = dir + "/list";
    fs::create_directories(masks);
    for (const SamplePhoto& photo : kPhotos) {
        if (photo.file == "c.bmp") continue;  // no mask: that photo fails
        cv::Mat mask(photo.height, photo.width, CV_8UC1, cv::Scalar(0));
        cv::circle(mask, {photo.width / 2, photo.height / 2}, photo.height / 3, 255, cv::FILLED);
        mask.at<uint8_t>(0, 0) = 255;  // a lone pixel
        ASSERT_TRUE(cv::imwrite(masks + "/" + nameOf(photo.file) + ".png", mask));
    }
    const ProgramRun run =
        batch({"-o", dir + "/out", "--masks", masks, "-v", dir + "/pictures", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(linesOf(run.err), (std::vector<std::string>{
                                    "segmora-batch: " + dir + "/in/c.bmp: cannot read mask file '" +
                                        masks + "/c.png': No such file or directory",
                                    "segmora-batch: 1 of 5 photos failed"}));
    for (const SamplePhoto& photo : kPhotos) {
        const std::string name = nameOf(photo.file);
        if (photo.file == "c.bmp") {
            EXPECT_FALSE(fileExists(dir + "/out/" + name + ".csv"));
            continue;
        }
        const ProgramRun segmora =
            runProgram(kSegmora,
                       {"-i", dir + "/in/" + photo.file, "-m", masks + "/" + name + ".png", "-o",
                        dir + "/segmora.csv", "-v", dir + "/segmora.png"},
                       dir);
        ASSERT_EQ(segmora.exitStatus, 0) << segmora.err;
        EXPECT_EQ(readFile(dir + "/out/" + name + ".csv"), readFile(dir + "/segmora.csv")) << name;
        EXPECT_EQ(readFile(dir + "/pictures/" + name + ".png"), readFile(dir + "/segmora.png"));
    }
}

}  // namespace
