// segmora-batch must never report success for a wrong or lost result: outputs that other
// photos' outputs would overwrite, paths cut at a NUL byte, label files kept by --resume
// although they were made otherwise, folders it could not list, a disk that fills up, and
// console lines mixed on a terminal.
#include <poll.h>

#include "batch_fixture.h"

namespace {

using namespace batch_test;

// The photos of the PHOTO<TAB>COUNT lines, sorted.
std::vector<std::string> photosOf(const std::string& out) {
    std::vector<std::string> photos;
    for (const std::string& line : linesOf(out)) photos.push_back(line.substr(0, line.find('\t')));
    std::sort(photos.begin(), photos.end());
    return photos;
}

class BatchTrust : public BatchFixture {
  protected:
    // Segmora's label file for a photo with the knobs of `words`.
    std::string segmoraLabelsWith(const std::string& photo, std::vector<std::string> words) {
        words.insert(words.end(), {"-i", photo, "-o", dir + "/ref.csv"});
        const ProgramRun run = runProgram(kSegmora, words, dir);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return readFile(dir + "/ref.csv");
    }

    // segmora-batch with its standard input read from `list`.
    ProgramRun batchReading(const std::string& list, const std::vector<std::string>& words) const {
        return batchUnder("true", words, "< '" + list + "'");
    }

    void SetUp() override {
        BatchFixture::SetUp();
        out = dir + "/out";
    }

    std::string out;
};

// x.png's graph file x.nodes.csv is x.nodes.png's label file; a label file in PNG form is
// the picture of its photo when both go to one folder. Refused before any work.
TEST_F(BatchTrust, OutputsThatAnotherPhotoTakesAreRefusedBeforeAnyWork) {
    const std::string x = addPhoto("x.png", 40, 30);
    const std::string nodes = addPhoto("x.nodes.png", 40, 30, 1);
    addPhoto("x.edges.png", 40, 30, 2);
    ProgramRun run = batch({"--graph", "-o", out, dir + "/in"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "segmora-batch: the photos' outputs would clash: '" + out +
                           "/x.nodes.csv' would be both the label file of '" + nodes +
                           "' and a graph file of '" + x + "'\n");
    EXPECT_FALSE(fs::exists(out));

    run = batch({"--format", "png", "-o", out, "-v", dir + "/out/", x});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "segmora-batch: the photos' outputs would clash: '" + out +
                           "/x.png' would be both the label file of '" + x +
                           "' and the picture of '" + x + "'\n");
    EXPECT_FALSE(fs::exists(out));

    run = batch({"-o", out, dir + "/in"});  // without graph files every name is its own
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(readFile(out + "/x.nodes.csv") == segmoraLabels(nodes));
}

// A NUL byte cannot be in a path: a line holding one is refused, not cut short. With -0
// the list holds NUL-ended paths, which may hold line feeds.
TEST_F(BatchTrust, NulBytesInTheListAreRefusedOrSeparatePathsWithNull) {
    const std::string a = addPhoto("a.png", 40, 30);
    const std::string odd = addPhoto("new\nline.png", 40, 30, 1);
    writeFile(dir + "/list", a + std::string(1, '\0') + odd + "\n");
    ProgramRun run = batchReading(dir + "/list", {"-o", out, "-"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "segmora-batch: line 1 of the photo list holds a NUL byte; give -0 for a list of "
              "NUL-ended paths\n");
    EXPECT_FALSE(fs::exists(out));

    writeFile(dir + "/list", a + std::string(1, '\0') + odd + std::string(1, '\0'));
    for (const char* option : {"-0", "--null"}) {
        run = batchReading(dir + "/list", {option, "-o", out, "-"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(linesOf(run.out).size(), 2u) << run.out;
        EXPECT_TRUE(readFile(out + "/a.csv") == segmoraLabels(a));
        EXPECT_TRUE(readFile(out + "/new\nline.csv") == segmoraLabels(odd));
    }
}

// --resume trusts a label file only when it is the very file a run finished (size and
// time) and was made with this run's knobs, label format and region file.
TEST_F(BatchTrust, ResumeRedoesFilesMadeOtherwise) {
    const std::string a = addPhoto("a.png", 80, 60), b = addPhoto("b.png", 80, 60, 1);
    ASSERT_EQ(batch({"-o", out, dir + "/in"}).exitStatus, 0);

    // A longer file under the very time stamp it was finished with.
    struct stat before;
    ASSERT_EQ(::stat((out + "/a.csv").c_str(), &before), 0);
    writeFile(out + "/a.csv", readFile(out + "/a.csv") + "7\n");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (out + "/a.csv").c_str(), times, 0), 0);
    ProgramRun run = batch({"--resume", "-o", out, dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(photosOf(run.out), std::vector<std::string>{a});
    EXPECT_EQ(linesOf(run.err),
              (std::vector<std::string>{"segmora-batch: redoing '" + out +
                                            "/a.csv': it changed since segmora-batch "
                                            "finished it",
                                        "segmora-batch: 1 done before, skipped"}));

    // Other knobs: every photo again, with them.
    run = batch({"--resume", "--min-size", "60", "-o", out, dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(photosOf(run.out), (std::vector<std::string>{a, b}));
    EXPECT_EQ(linesOf(run.err),
              (std::vector<std::string>{
                  "segmora-batch: redoing '" + out + "/a.csv': it was made with other settings",
                  "segmora-batch: redoing '" + out + "/b.csv': it was made with other settings",
                  "segmora-batch: 0 done before, skipped"}));
    EXPECT_TRUE(readFile(out + "/b.csv") == segmoraLabelsWith(b, {"--min-size", "60"}));
    EXPECT_NE(readFile(out + "/b.csv"), segmoraLabels(b));
    run = batch({"--resume", "--min-size=60", "-o", out, dir + "/in"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "segmora-batch: 2 done before, skipped\n");

    // A region map now: the labels depend on it.
    fs::create_directories(dir + "/regions");
    std::string regions;
    for (int i = 0; i < 60 * 80; ++i) regions += i % 80 < 40 ? "1 " : "2 ";
    writeFile(dir + "/regions/b.txt", regions);
    run = batch({"--resume", "--min-size=60", "-r", dir + "/regions", "-o", out, b});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(photosOf(run.out), std::vector<std::string>{b});
}

// Each setting that shapes an output, changed alone, makes --resume redo the photo; changed
// back, it is redone again. Nothing changed: skipped.
TEST_F(BatchTrust, ResumeRedoesThePhotoForEachSettingChangedAlone) {
    const std::string a = addPhoto("a.png", 40, 30);
    std::string regions;
    for (int i = 0; i < 30 * 40; ++i) regions += i % 40 < 20 ? "1 " : "2 ";
    for (const char* folder : {"/r1", "/r2"}) {
        fs::create_directories(dir + folder);
        writeFile(dir + folder + "/a.txt", regions);
    }
    const std::string pictures = dir + "/pictures", means = dir + "/means";
    const std::vector<std::string> base = {"-r",  dir + "/r1", "-v", pictures, "--mean-pictures",
                                           means, "-o",        out,  a};
    ASSERT_EQ(batch(base).exitStatus, 0);
    std::vector<std::string> again = base;
    again.insert(again.begin(), "--resume");
    EXPECT_EQ(batch(again).err, "segmora-batch: 1 done before, skipped\n");

    const std::vector<std::vector<std::string>> changes = {
        {"--threshold", "50"},
        {"--sigma", "0.5"},
        {"--cap-divisor", "7"},
        {"--min-size", "3"},
        {"--format", "npy"},
        {"--ignore-orientation"},
        {"--boundary-colour", "1,2,3"},
        {"--region-colour", "1,2,3"},
        {"--boundary-mode", "thick"},
        {"-r", dir + "/r2"},
        {"-v", means, "--mean-pictures", pictures}};
    for (const std::vector<std::string>& change : changes) {
        std::vector<std::string> words = again;
        words.insert(words.end() - 1, change.begin(), change.end());  // later words count
        ProgramRun run = batch(words);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(photosOf(run.out), std::vector<std::string>{a}) << change[0] << run.err;
        run = batch(again);
        EXPECT_EQ(photosOf(run.out), std::vector<std::string>{a}) << change[0] << " back";
    }
}

// Inputs without photos are said, not failed: a shard may well have none.
TEST_F(BatchTrust, NothingToDoIsSaid) {
    addPhoto("sub/a.png", 40, 30);
    for (const std::vector<std::string>& words : {std::vector<std::string>{"-o", out, dir + "/in"},
                                                  {"--shard", "1/2", "-o", out, dir + "/in/sub"}}) {
        const ProgramRun run = batch(words);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "segmora-batch: no photos to segment\n");
    }
}

// Under -R no folder below is reached through a link: in the photos' tree a link to a
// folder is skipped with a line, in an output tree it is refused before any work.
TEST_F(BatchTrust, RecursiveSearchFollowsNoLinkToAFolder) {
    const std::string x = addPhoto("x.png", 40, 30), y = addPhoto("sub/x.png", 40, 30, 1);
    ASSERT_EQ(::symlink("sub", (dir + "/in/linked").c_str()), 0);
    ProgramRun run = batch({"-R", "-o", out, dir + "/in"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(photosOf(run.out), (std::vector<std::string>{y, x}));
    EXPECT_EQ(run.err, "segmora-batch: skipping '" + dir +
                           "/in/linked': a link to a folder is not followed\n");
    EXPECT_FALSE(fs::exists(out + "/linked"));

    // a/sub -> . would put both photos' labels in a/x.csv.
    fs::create_directories(dir + "/a");
    ASSERT_EQ(::symlink(".", (dir + "/a/sub").c_str()), 0);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-o", dir + "/a"}, {"-o", out, "-v", dir + "/a"}}) {
        std::vector<std::string> all = {"-R", "--resume"};
        all.insert(all.end(), words.begin(), words.end());
        all.push_back(dir + "/in");
        run = batch(all);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("folder '" + dir +
                               "/a/sub': it is a symbolic link, which is not followed\n"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(dir + "/a/x.csv") || fs::exists(dir + "/a/x.png"));
    }
}

// One folder of a tree that cannot be listed is one failure naming it; the rest is done.
TEST_F(BatchTrust, UnreadableSubfolderFailsAloneAndTheTreeIsDone) {
    const std::string a = addPhoto("a.png", 40, 30);
    addPhoto("locked/b.png", 40, 30, 1);
    const std::string c = addPhoto("sub/c.png", 40, 30, 2);
    fs::create_directories(out);
    ::chmod(out.c_str(), 0777);
    ::chmod((dir + "/in/locked").c_str(), 0);
    const std::vector<std::string> words = unprivileged({"-R", "-o", out, dir + "/in"});
    if (words.empty()) GTEST_SKIP() << "user nobody cannot reach the program";
    const ProgramRun run = runProgram(words[0], {words.begin() + 1, words.end()}, dir);
    ::chmod((dir + "/in/locked").c_str(), 0755);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(photosOf(run.out), (std::vector<std::string>{a, c}));
    EXPECT_EQ(linesOf(run.err),
              (std::vector<std::string>{
                  "segmora-batch: " + dir + "/in/locked: cannot list folder: Permission denied",
                  "segmora-batch: 1 of 3 photos failed"}));
    EXPECT_TRUE(readFile(out + "/a.csv") == segmoraLabels(a));
    EXPECT_TRUE(readFile(out + "/sub/c.csv") == segmoraLabels(c));
    EXPECT_FALSE(fs::exists(out + "/locked"));
}

// A write that fails for want of room (here the file size limit) fails that photo alone
// and leaves no temporary file in the output folder.
TEST_F(BatchTrust, FullDiskLeavesNoTemporaryFile) {
    const std::string small = addPhoto("small.png", 20, 15);
    const std::string large = addPhoto("large.png", 400, 300, 1);
    const ProgramRun run =
        runProgram("/usr/bin/prlimit", {"--fsize=16384", kBatch, "-o", out, dir + "/in"}, dir);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(photosOf(run.out), std::vector<std::string>{small});
    EXPECT_EQ(linesOf(run.err),
              (std::vector<std::string>{"segmora-batch: " + large + ": cannot write label file '" +
                                            out + "/large.csv': File too large",
                                        "segmora-batch: 1 of 2 photos failed"}));
    EXPECT_EQ(hiddenEntries(out), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(out + "/large.csv"));
    EXPECT_TRUE(readFile(out + "/small.csv") == segmoraLabels(small));
}

// On a terminal the progress line is cleared before a PHOTO<TAB>COUNT line is written to
// the same terminal: a line never starts with the progress text.
TEST_F(BatchTrust, ResultLinesOnATerminalDoNotRunIntoTheProgressLine) {
    for (int i = 0; i < 12; ++i) addPhoto("p" + std::to_string(10 + i) + ".png", 500, 375, i);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const pid_t pid =
        startProgram(kBatch, {"-j", "1", "-o", out, dir + "/in"}, "", terminal, terminal);
    std::string shown;
    for (;;) {
        pollfd ready = {master, POLLIN, 0};
        if (::poll(&ready, 1, 60000) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0) break;  // EIO once the program is gone
        shown.append(chunk, static_cast<size_t>(n));
    }
    ::close(master);
    EXPECT_EQ(waitForProgram(pid), 0);
    ASSERT_NE(shown.find(" photos, 0 failed"), std::string::npos) << "no progress line";
    size_t results = 0;
    for (size_t at = shown.find(dir + "/in/p"); at != std::string::npos;
         at = shown.find(dir + "/in/p", at + 1)) {
        ++results;
        const bool lineStart =
            at == 0 || shown[at - 1] == '\n' || shown.compare(at - 3, 3, "\033[K") == 0;
        EXPECT_TRUE(lineStart) << shown.substr(at < 40 ? 0 : at - 40, 80);
    }
    EXPECT_EQ(results, 12u);
}

}  // namespace
