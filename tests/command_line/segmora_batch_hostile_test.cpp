// segmora-batch used carelessly or with ill intent: closed standard streams, FIFOs among
// the photos, signals, links planted in the output folder, damaged earlier results, too
// few threads, odd names and folders it may not write. Every label file it leaves must be
// the one Segmora writes.
#include "batch_fixture.h"

namespace {

using namespace batch_test;

class BatchHostile : public BatchFixture {};

// With descriptor 1 or 2 closed, a temporary label file opened later used to take that
// number: another worker's PHOTO<TAB>COUNT line, a failure message, or the image reader's
// silencing of standard error then went into (or cut out of) a label file.
TEST_F(BatchHostile, ClosedStandardStreamsNeverReachALabelFile) {
    for (int i = 0; i < 10; ++i) {
        addPhoto("m" + std::to_string(10 + i) + ".png", 300 + 8 * i, 250, i);
        writeFile(dir + "/in/m" + std::to_string(10 + i) + "x.png", "not a picture");
    }
    for (const std::string redirect : {">&-", "2>&-", "<&- >&- 2>&-"}) {
        SCOPED_TRACE(redirect);
        for (int round = 0; round < 2; ++round) {
            fs::remove_all(dir + "/out");
            const ProgramRun run =
                batchUnder("true", {"-j", "3", "-o", dir + "/out", dir + "/in"}, redirect);
            EXPECT_EQ(run.exitStatus, 1) << "lost lines and failed photos are reported";
            if (redirect == "2>&-") {
                EXPECT_EQ(linesOf(run.out).size(), 10u);
            }
            expectSegmoraLabels(dir + "/out");
            EXPECT_EQ(hiddenEntries(dir + "/out"), std::vector<std::string>{});
        }
    }
    // Segmora alike: its label file is whole, and the lost console lines make it fail.
    const std::string photo = dir + "/in/m10.png";
    const ProgramRun segmora = runProgram(
        "/bin/sh", {"-c", "exec \"$@\" >&-", "sh", kSegmora, "-i", photo, "-o", dir + "/s.csv"},
        dir);
    EXPECT_EQ(segmora.exitStatus, 1);
    EXPECT_EQ(segmora.err,
              "Segmora: cannot write to standard output: the superpixel count is lost\n");
    EXPECT_TRUE(readFile(dir + "/s.csv") == segmoraLabels(photo));
}

// A FIFO (or a device) given as a photo used to block its worker for ever, and with it the
// stop signals.
TEST_F(BatchHostile, FifosAndDevicesAmongThePhotosFailAlone) {
    const std::string a = addPhoto("a.png", 64, 48), c = addPhoto("c.png", 50, 40, 1);
    const std::string fifo = dir + "/in/b.png", device = dir + "/in/d.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", device);
    writeFile(dir + "/list", fifo + "\n" + device + "\n");
    const pid_t pid = startProgram(kBatch, {"-j", "2", "-o", dir + "/out", a, "-", c},
                                   dir + "/list", dir + "/stdout", dir + "/stderr");
    int status = waitWithin(pid, 60);
    if (status < 0) {
        ::kill(pid, SIGTERM);
        status = waitWithin(pid, 5);
        ADD_FAILURE() << "hung on the FIFO; " << (status < 0 ? "SIGTERM did not end it" : "");
        if (status < 0) endHungProgram(pid);
        return;
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(linesOf(readFile(dir + "/stdout")).size(), 2u);
    std::vector<std::string> errors = linesOf(readFile(dir + "/stderr"));
    std::sort(errors.begin(), errors.end() - std::min<size_t>(errors.size(), 1));
    EXPECT_EQ(errors,
              (std::vector<std::string>{"segmora-batch: " + fifo + ": cannot read image '" + fifo +
                                            "': it is not a regular file but a FIFO",
                                        "segmora-batch: " + device + ": cannot read image '" +
                                            device + "': it is not a regular file but a device",
                                        "segmora-batch: 2 of 4 photos failed"}));
    expectSegmoraLabels(dir + "/out");
}

// A second stop signal ends the run at once, while a large photo is under way, and leaves
// no temporary file.
TEST_F(BatchHostile, SecondStopSignalEndsTheRunAtOnce) {
    const ForeignThreads foreign(FOREIGN_THREADS_LIBRARY);
    addPhoto("a.png", 64, 48);
    addPhoto("b.png", 2400, 2400, 2);
    writeFile(dir + "/empty", "");
    const pid_t pid = startProgram(kBatch, {"-j", "1", "-o", dir + "/out", dir + "/in"},
                                   dir + "/empty", dir + "/stdout", dir + "/stderr");
    ASSERT_TRUE(waitForFile([&] { return !readFile(dir + "/stdout").empty(); }, 60));
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(pid, SIGTERM);
    int status = waitWithin(pid, 20);
    if (status < 0) status = endHungProgram(pid);
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_FALSE(fileExists(dir + "/out/b.csv")) << "the large photo was finished first";
    EXPECT_EQ(hiddenEntries(dir + "/out"), std::vector<std::string>{});
    const std::vector<std::string> errors = linesOf(readFile(dir + "/stderr"));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(),
              "segmora-batch: stopped at once by a second SIGTERM; the photos under way are lost");
}

// nohup, or a script's `cmd &` (SIGINT ignored): those signals must not stop the batch.
TEST_F(BatchHostile, SignalsIgnoredAtStartStayIgnored) {
    const ForeignThreads foreign(FOREIGN_THREADS_LIBRARY);
    for (int i = 0; i < 5; ++i) addPhoto("p" + std::to_string(i) + ".png", 500, 400, i);
    writeFile(dir + "/empty", "");
    const pid_t pid = startProgram("/bin/sh",
                                   {"-c", "trap '' HUP INT; exec \"$@\"", "sh", kBatch, "-j", "1",
                                    "-o", dir + "/out", dir + "/in"},
                                   dir + "/empty", dir + "/stdout", dir + "/stderr");
    ASSERT_TRUE(waitForFile([&] { return !readFile(dir + "/stdout").empty(); }, 60));
    ::kill(pid, SIGHUP);
    ::kill(pid, SIGINT);
    EXPECT_EQ(waitForProgram(pid), 0) << readFile(dir + "/stderr");
    EXPECT_EQ(linesOf(readFile(dir + "/stdout")).size(), 5u);
    expectSegmoraLabels(dir + "/out");
}

// Names the batch makes in the output folder are never followed: a link there is
// replaced by the label file, also one that points nowhere yet.
TEST_F(BatchHostile, LinksInTheOutputFolderAreReplacedNotWrittenThrough) {
    const std::string a = addPhoto("a.png", 64, 48), b = addPhoto("b.png", 50, 40, 1);
    fs::create_directories(dir + "/out");
    writeFile(dir + "/victim", "precious\n");
    fs::create_symlink(dir + "/victim", dir + "/out/a.csv");
    fs::create_symlink(dir + "/created", dir + "/out/b.csv");
    const ProgramRun run = batch({"-o", dir + "/out", a, b});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(readFile(dir + "/victim"), "precious\n");
    EXPECT_FALSE(fileExists(dir + "/created"));
    EXPECT_TRUE(isRegularFile(dir + "/out/a.csv") && isRegularFile(dir + "/out/b.csv"));
    expectSegmoraLabels(dir + "/out");
}

// Root and a folder another user may change: that user plants a link to root's file.
TEST_F(BatchHostile, RootRefusesAnOutputFolderOthersControl) {
    if (::geteuid() != 0 || ::access(kSetpriv.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv to act as another user";
    }
    const std::string a = addPhoto("a.png", 64, 48), out = dir + "/sticky/theirs";
    fs::create_directories(dir + "/sticky");
    ::chmod((dir + "/sticky").c_str(), 01777);
    writeFile(dir + "/victim", "precious\n");
    const ProgramRun planted =
        runProgram(kSetpriv,
                   {"--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh", "-c",
                    "mkdir -m 777 \"$0\" && ln -s \"$1\" \"$0/a.csv\"", out, dir + "/victim"},
                   dir);
    ASSERT_EQ(planted.exitStatus, 0) << planted.err;

    const ProgramRun refused = batch({"-o", out, a});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(refused.err, "segmora-batch: cannot use output folder '" + out +
                               "': it belongs to user 65534 and others may write in it; root "
                               "does not write there\n");
    EXPECT_EQ(readFile(dir + "/victim"), "precious\n");

    // Theirs alone (mode 755): root writes there, replacing the link.
    ASSERT_EQ(
        runProgram(kSetpriv,
                   {"--reuid=65534", "--regid=65534", "--clear-groups", "chmod", "755", out}, dir)
            .exitStatus,
        0);
    EXPECT_EQ(batch({"-o", out, a}).exitStatus, 0);
    EXPECT_EQ(readFile(dir + "/victim"), "precious\n");
    EXPECT_TRUE(isRegularFile(out + "/a.csv"));
}

// --resume redoes every earlier file that is not the one a run finished, and says why.
TEST_F(BatchHostile, ResumeRedoesDamagedOrStaleFiles) {
    for (int i = 1; i <= 6; ++i) addPhoto("b" + std::to_string(i) + ".png", 80, 60, i);
    const std::string out = dir + "/out", pictures = dir + "/pictures";
    ASSERT_EQ(batch({"-o", out, "-v", pictures, dir + "/in"}).exitStatus, 0);
    fs::resize_file(out + "/b1.csv", 100);
    writeFile(out + "/b2.csv", "");
    fs::remove(out + "/b3.csv");
    fs::create_directory(out + "/b3.csv");
    fs::last_write_time(out + "/b5.csv",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 20));
    fs::last_write_time(dir + "/in/b6.png", fs::file_time_type::clock::now());
    writeFile(pictures + "/b4.png", "");

    const ProgramRun run = batch({"--resume", "-o", out, "-v", pictures, dir + "/in"});
    EXPECT_EQ(run.exitStatus, 1);
    std::vector<std::string> finished;
    for (const std::string& line : linesOf(run.out))
        finished.push_back(line.substr(0, line.find('\t')));
    std::sort(finished.begin(), finished.end());
    EXPECT_EQ(finished,
              (std::vector<std::string>{dir + "/in/b1.png", dir + "/in/b2.png", dir + "/in/b4.png",
                                        dir + "/in/b5.png", dir + "/in/b6.png"}));
    const std::string redoing = "segmora-batch: redoing '";
    EXPECT_EQ(linesOf(run.err),
              (std::vector<std::string>{
                  redoing + out + "/b1.csv': it changed since segmora-batch finished it",
                  redoing + out + "/b2.csv': it changed since segmora-batch finished it",
                  redoing + out + "/b3.csv': it is not a regular file",
                  redoing + pictures + "/b4.png': it changed since segmora-batch finished it",
                  redoing + out + "/b5.csv': it changed since segmora-batch finished it",
                  redoing + out + "/b6.csv': it is older than the photo",
                  redoing + pictures + "/b6.png': it is older than the photo",
                  "segmora-batch: " + dir + "/in/b3.png: cannot create label file '" + out +
                      "/b3.csv': Is a directory",
                  "segmora-batch: 1 of 6 photos failed", "segmora-batch: 0 done before, skipped"}));
    fs::remove(out + "/b3.csv");
    expectSegmoraLabels(out);

    // A file of the right name that no run finished is not taken either.
    writeFile(out + "/b3.csv", segmoraLabels(dir + "/in/b3.png"));
    const ProgramRun again = batch({"--resume", "-o", out, dir + "/in"});
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_EQ(linesOf(again.out).size(), 1u);
    EXPECT_EQ(linesOf(batch({"--resume", "-o", out, dir + "/in"}).out).size(), 0u);
}

// A run killed while it writes leaves its temporary file; the next run removes it, but
// not one that a live run holds, nor a file of the user's.
TEST_F(BatchHostile, TemporaryFilesOfKilledRunsAreRemoved) {
    addPhoto("big.png", 1800, 1800, 2);
    const std::string out = dir + "/out";
    writeFile(dir + "/empty", "");
    const pid_t pid = startProgram(kBatch, {"-o", out, dir + "/in"}, dir + "/empty",
                                   dir + "/stdout", dir + "/stderr");
    const auto temporary = [&] {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(out, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".big.csv.", 0) == 0) names.push_back(name);
        }
        return names;
    };
    const bool writing = waitForFile([&] { return !temporary().empty(); }, 120);
    ::kill(pid, SIGKILL);
    waitForProgram(pid);
    ASSERT_TRUE(writing) << "no temporary file seen";
    const std::vector<std::string> left = temporary();
    ASSERT_EQ(left.size(), 1u);

    writeFile(out + "/.notes.csv.backup", "mine\n");
    const std::string live = out + "/.big.csv.Ab3xYz.segmora-part";
    writeFile(live, "being written\n");
    const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::string other = addPhoto("small.png", 40, 30);
    const ProgramRun run = batch({"-o", out, other});
    ::close(held);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "segmora-batch: removed '" + out + "/" + left[0] +
                           "', left by a run that was killed\n");
    std::vector<std::string> remaining = hiddenEntries(out);
    std::sort(remaining.begin(), remaining.end());
    EXPECT_EQ(remaining,
              (std::vector<std::string>{".big.csv.Ab3xYz.segmora-part", ".notes.csv.backup"}));
}

// No thread can be started: the batch needs none of its own and does the photo on its main
// thread. OpenBLAS (a system BLAS that OpenCV loads) would start threads of its own before
// main and end the process when it cannot: told to start none, it stays out of the test.
TEST_F(BatchHostile, ThreadLimitStillDoesThePhotos) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own threads need the limit lifted";
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizers' own threads need the limit lifted";
#endif
#endif
    const std::string a = addPhoto("a.png", 64, 48);
    fs::create_directories(dir + "/out");
    ::chmod((dir + "/out").c_str(), 0777);
    std::vector<std::string> words = unprivileged({"-o", dir + "/out", a});
    if (words.empty()) GTEST_SKIP() << "user nobody cannot reach the program";
    words.insert(words.begin(), {"OPENBLAS_NUM_THREADS=1", "/usr/bin/prlimit", "--nproc=1:1"});
    const ProgramRun run = runProgram("/usr/bin/env", words, dir);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(linesOf(run.out).size(), 1u);
    expectSegmoraLabels(dir + "/out");
}

// Tabs, line feeds and backslashes in names: still one line with one tab per photo.
TEST_F(BatchHostile, OddNamesAreEscapedOnTheOutputLines) {
    const std::string tab = addPhoto("tab\there.png", 40, 30);
    const std::string newline = addPhoto("new\nline.png", 40, 30, 1);
    const std::string backslash = addPhoto("back\\slash.png", 40, 30, 2);
    const ProgramRun run = batch({"-o", dir + "/out", tab, newline, backslash});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::vector<std::string> lines = linesOf(run.out);
    std::sort(lines.begin(), lines.end());
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), dir + "/in/back\\\\slash.png");
    EXPECT_EQ(lines[1].substr(0, lines[1].find('\t')), dir + "/in/new\\nline.png");
    EXPECT_EQ(lines[2].substr(0, lines[2].find('\t')), dir + "/in/tab\\there.png");
    for (const std::string& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 1) << line;
    }
    expectSegmoraLabels(dir + "/out");
}

// An output folder that cannot be written is found before the first photo: status 2.
TEST_F(BatchHostile, ReadOnlyOutputFolderIsRefusedBeforeAnyPhoto) {
    const std::string a = addPhoto("a.png", 64, 48);
    fs::create_directories(dir + "/out");
    ::chmod((dir + "/out").c_str(), 0555);
    const std::vector<std::string> words = unprivileged({"-o", dir + "/out", a});
    if (words.empty()) GTEST_SKIP() << "user nobody cannot reach the program";
    const ProgramRun run = runProgram(words[0], {words.begin() + 1, words.end()}, dir);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "segmora-batch: cannot use output folder '" + dir + "/out': Permission denied\n");
    EXPECT_EQ(entryCount(dir + "/out"), 0);
}

}  // namespace
