// segmora-sweep used carelessly or with ill intent, as segmora-batch is: links planted at
// its file names, a table that is a FIFO or a device, file size limits, reader limits,
// closed standard output, and --resume after every input or option changed. Truths with
// look-alike names and transposed truths are refused or assigned with a word.
#include "batch_fixture.h"

namespace {

using namespace batch_test;

const std::string kSweep = SEGMORA_SWEEP_PROGRAM;

class SweepHostile : public BatchFixture {
  protected:
    void SetUp() override {
        BatchFixture::SetUp();
        truths = dir + "/t";
        out = dir + "/out";
        fs::create_directories(truths);
        for (const char* name : {"a", "b"}) addPhotoWithTruth(name, 40, 30);
    }

    // in/NAME.png and a truth t/NAME.csv of two halves.
    void addPhotoWithTruth(const std::string& name, int width, int height) {
        addPhoto(name + ".png", width, height, int(name.size() + name[0]));
        writeFile(truths + "/" + name + ".csv", halves(width, height));
    }
    static std::string halves(int width, int height) {
        std::string text;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                text += std::string(x < width / 2 ? "1" : "2") + (x + 1 < width ? ", " : "\n");
        }
        return text;
    }

    ProgramRun sweep(std::vector<std::string> words) const {
        words.insert(words.begin(), {"-q", "-t", truths, "-o", out});
        return runProgram(kSweep, words, dir);
    }
    ProgramRun sweepUnder(const std::string& setUp, std::vector<std::string> words,
                          const std::string& redirect = "") const {
        words.insert(words.begin(), {"-q", "-t", truths, "-o", out});
        std::vector<std::string> arguments = {"-c", setUp + "; exec \"$@\" " + redirect, "sh",
                                              kSweep};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return runProgram("/bin/sh", arguments, dir);
    }

    // The photos a run scored (its PHOTO<TAB>ROWS lines), sorted.
    static std::vector<std::string> scored(const ProgramRun& run) {
        std::vector<std::string> photos;
        for (const std::string& line : linesOf(run.out))
            photos.push_back(fs::path(line.substr(0, line.find('\t'))).stem().string());
        std::sort(photos.begin(), photos.end());
        return photos;
    }

    std::string truths, out;
};

// Another user's links at the table's, summary's and plot's names, and at the names of
// old temporary files, are replaced; the files they point to are never written.
TEST_F(SweepHostile, LinksAtItsNamesAreReplacedNotWrittenThrough) {
    writeFile(dir + "/victim", "root's file\n");
    fs::create_directories(out);
    for (const char* name : {"sweep.csv", "summary.csv", "sweep.png", "sweep.csv.partial",
                             "summary.csv.partial", "sweep.png.partial"}) {
        fs::create_symlink(dir + "/victim", out + "/" + name);
    }
    const ProgramRun run = sweep({"--resume", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "segmora-sweep: redoing every photo: cannot read '" + out +
                           "/sweep.csv': it is a symbolic link\n");
    EXPECT_EQ(readFile(dir + "/victim"), "root's file\n");
    for (const char* name : {"sweep.csv", "summary.csv", "sweep.png"})
        EXPECT_TRUE(isRegularFile(out + "/" + name)) << name;
    EXPECT_EQ(hiddenEntries(out), std::vector<std::string>{});
}

// --resume neither waits on a FIFO nor reads a device without end.
TEST_F(SweepHostile, ResumeReadsNoFifoOrDevice) {
    fs::create_directories(out);
    ASSERT_EQ(::mkfifo((out + "/sweep.csv").c_str(), 0600), 0);
    ProgramRun run =
        sweepUnder("(sleep 60; kill -9 $$) >/dev/null 2>&1 & :", {"--resume", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("sweep.csv': it is not a regular file"), std::string::npos) << run.err;
    fs::remove(out + "/sweep.csv");
    fs::create_symlink("/dev/zero", out + "/sweep.csv");
    run = sweep({"--resume", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(isRegularFile(out + "/sweep.csv"));
}

// Each input or option that shapes a photo's rows, changed alone, redoes the photo.
TEST_F(SweepHostile, ResumeRedoesThePhotoForEachChangeAlone) {
    ASSERT_EQ(sweep({dir + "/in"}).exitStatus, 0);
    ProgramRun run = sweep({"--resume", dir + "/in"});
    EXPECT_EQ(scored(run), std::vector<std::string>{});
    const std::vector<std::string> none;
    const auto redone = [&](const std::vector<std::string>& words, const std::string& what) {
        std::vector<std::string> all = {"--resume"};
        all.insert(all.end(), words.begin(), words.end());
        all.push_back(dir + "/in");
        const ProgramRun r = sweep(all);
        EXPECT_EQ(r.exitStatus, 0) << what << ": " << r.err;
        return scored(r);
    };
    const std::vector<std::string> both = {"a", "b"};
    EXPECT_EQ(redone({"--tolerance", "3"}, "tolerance"), both);
    EXPECT_EQ(redone({"--tolerance", "3"}, "same again"), none);
    EXPECT_EQ(redone({"--tolerance", "3", "--ignore-zero"}, "ignore zero"), both);
    EXPECT_EQ(redone({"--tolerance", "3", "--ignore-zero", "--ignore-orientation"}, "turn"), both);
    const std::vector<std::string> now = {"--tolerance", "3", "--ignore-zero",
                                          "--ignore-orientation"};
    writeFile(truths + "/b.csv", halves(40, 30));  // same bytes, a new time
    EXPECT_EQ(redone(now, "truth rewritten"), std::vector<std::string>{"b"});
    writeFile(truths + "/a_2.csv", halves(40, 30));
    EXPECT_EQ(redone(now, "truth added"), std::vector<std::string>{"a"});
    addPhoto("b.png", 40, 30, 7);
    EXPECT_EQ(redone(now, "photo replaced"), std::vector<std::string>{"b"});
    fs::copy(truths, dir + "/t2");
    std::vector<std::string> other = now;
    truths = dir + "/t2";
    EXPECT_EQ(redone(other, "other truth folder"), both);

    // A table of the version before: all redone, said once.
    writeFile(out + "/sweep.csv",
              "photo,threshold,sigma,cap_divisor,min_size,count,boundary_recall,"
              "boundary_precision,undersegmentation_error,achievable_segmentation_accuracy,"
              "explained_variation,compactness,truths\na,500,0,500,5,9,1,1,0,1,1,1,1\n");
    run = sweep({"--resume", dir + "/in"});
    EXPECT_EQ(scored(run), both);
    EXPECT_EQ(run.err, "segmora-sweep: redoing every photo: '" + out +
                           "/sweep.csv' was written by an earlier version, which did not "
                           "record what its rows were made from\n");
}

// cat_1.png is photo cat_1's truth, not also cat's; the table names each photo's truths.
TEST_F(SweepHostile, TruthsWithLookAlikeNamesBelongToOnePhoto) {
    addPhotoWithTruth("cat", 40, 30);
    addPhotoWithTruth("cat_1", 40, 30);
    const ProgramRun run = sweep({dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err,
              "segmora-sweep: warning: ground truth 'cat_1.csv' counts for photo 'cat_1' only, "
              "not for 'cat'\n");
    const std::string table = readFile(out + "/sweep.csv");
    EXPECT_NE(table.find(",1,2,0,cat.csv,"), std::string::npos) << table;
    EXPECT_NE(table.find(",1,2,0,cat_1.csv,"), std::string::npos) << table;
}

// A CSV truth of the photo's pixels in other rows and columns is refused, naming why.
TEST_F(SweepHostile, TransposedCsvTruthIsRefused) {
    writeFile(truths + "/b.csv", halves(30, 40));
    const ProgramRun run = sweep({dir + "/in"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(scored(run), std::vector<std::string>{"a"});
    EXPECT_NE(run.err.find("ground truth '" + truths +
                           "/b.csv' has 40 lines of 30 numbers: it is transposed; the photo "
                           "needs 30 lines of 40 numbers"),
              std::string::npos)
        << run.err;
}

// A file size limit, a bad reader limit, a closed standard output, no photos, and the plot
// of an output folder inside the photo folder: each said on one line, with its status.
TEST_F(SweepHostile, LimitsAndOddRunsFailCleanly) {
    ProgramRun run = sweepUnder("ulimit -f 1", {dir + "/in"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_EQ(hiddenEntries(out), std::vector<std::string>{});

    writeFile(out + "/sweep.csv", "kept\n");
    run = sweepUnder("export OPENCV_IO_MAX_IMAGE_PIXELS=lots", {"--resume", dir + "/in"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
    EXPECT_EQ(readFile(out + "/sweep.csv"), "kept\n");

    run = sweepUnder("true", {dir + "/in"}, ">&-");
    EXPECT_EQ(run.exitStatus, 1);

    fs::create_directories(dir + "/empty");
    run = sweep({dir + "/empty"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "segmora-sweep: no photos in the inputs: nothing to score\n");

    out = dir + "/in";
    ASSERT_EQ(sweep({dir + "/in"}).exitStatus, 0);
    run = sweep({dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err,
              "segmora-sweep: skipping '" + dir + "/in/sweep.png': it is this sweep's plot\n");
}

// A second signal ends the run at once, named for this program, leaving no temporary file.
TEST_F(SweepHostile, SecondSignalEndsTheRunAtOnce) {
    // Work for seconds, so that the signals come while it runs on a fast machine too.
    for (int i = 0; i < 12; ++i) addPhotoWithTruth("p" + std::to_string(i), 800, 600);
    const pid_t pid = startProgram(kSweep,
                                   {"-q", "-j", "1", "-t", truths, "-o", out, "--threshold",
                                    "100,200,300,400,500,600,700,800,900,1000", dir + "/in"},
                                   "", dir + "/stdout", dir + "/stderr");
    ASSERT_TRUE(waitForFile([&] { return isRegularFile(out + "/sweep.csv"); }, 30));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(pid, SIGTERM);
    int status = waitWithin(pid, 30);
    if (status < 0) status = endHungProgram(pid);
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_EQ(readFile(dir + "/stderr"),
              "segmora-sweep: stopped at once by a second SIGTERM; the photos under way are "
              "lost\n");
    EXPECT_EQ(hiddenEntries(out), std::vector<std::string>{});
}

}  // namespace
