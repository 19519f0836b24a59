#include "batch_console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include "scratch_files.h"

namespace segmora {
namespace {

TEST(ProgressText, CountsRateAndTimeLeft) {
    EXPECT_EQ(progressText(0, 10, 0, 3.0), "0/10 photos, 0 failed");
    EXPECT_EQ(progressText(5, 10, 1, 2.0), "5/10 photos, 1 failed, 2.5 photos/s, 0:02 left");
    EXPECT_EQ(progressText(10, 10, 0, 4.0), "10/10 photos, 0 failed, 2.5 photos/s, 0:00 left");
    EXPECT_EQ(progressText(1, 7202, 0, 1.0), "1/7202 photos, 0 failed, 1.0 photos/s, 2:00:01 left");
    EXPECT_EQ(progressText(3, 100, 0, 0.0), "3/100 photos, 0 failed");
    EXPECT_EQ(progressText(5, 10, 1, 2.0, 71),
              "5/10 photos (71 done before, skipped), 1 failed, 2.5 photos/s, 0:02 left");
    EXPECT_EQ(progressText(0, 0, 0, 0.0, 3), "0/0 photos (3 done before, skipped), 0 failed");
}

// Standard output holds the finished photos only; failures go to standard error, and
// without a progress line nothing else does.
TEST(BatchConsole, KeepsResultsAndFailuresApart) {
    const std::string dir = makeScratchDir("batch_console_test");
    const std::string outPath = dir + "/out", errPath = dir + "/err";
    writeFile(outPath, "");
    writeFile(errPath, "");
    {
        const int out = ::open(outPath.c_str(), O_WRONLY), err = ::open(errPath.c_str(), O_WRONLY);
        BatchConsole console(out, err, false, 3);
        console.finished("a b.png", 12);
        console.failed("c.png", "cannot read image 'c.png': it is a directory");
        console.finished("d.png", 1);
        console.redraw();
        console.endProgress();
        EXPECT_EQ(console.finishedCount(), 2u);
        EXPECT_EQ(console.failedCount(), 1u);
        EXPECT_FALSE(console.outputLost());
        ::close(out);
        ::close(err);
    }
    EXPECT_EQ(readFile(outPath), "a b.png\t12\nd.png\t1\n");
    EXPECT_EQ(readFile(errPath),
              "segmora-batch: c.png: cannot read image 'c.png': it is a directory\n");
    removeScratchDir(dir);
}

TEST(BatchConsole, NoticesALostStandardOutput) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    const int err = ::open("/dev/null", O_WRONLY);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // as segmora-batch's main does
    BatchConsole console(pipeEnds[1], err, false, 1);
    console.finished("a.png", 3);
    EXPECT_TRUE(console.outputLost());
    std::signal(SIGPIPE, previous);
    ::close(pipeEnds[1]);
    ::close(err);
}

}  // namespace
}  // namespace segmora
