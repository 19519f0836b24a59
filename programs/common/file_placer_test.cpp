#include "file_placer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <mutex>
#include <string>
#include <vector>

#include "output_file.h"
#include "output_folder.h"
#include "scratch_files.h"

namespace segmora {
namespace {

class FilePlacerTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("file_placer_test"); }
    void TearDown() override { removeScratchDir(dir); }

    // A job whose files `names` are written (with their names as contents) but not placed.
    EndedJob written(const OutputFolder& folder, const std::vector<std::string>& names) {
        EndedJob ended;
        ended.job = &job;
        ended.count = 7;
        for (const std::string& name : names) {
            OutputFile file(folder, name, "label file", &ended.files);
            file.write(name.data(), name.size());
            file.commit();
        }
        return ended;
    }

    std::string dir;
    PhotoJob job;
};

// A file gets its name only on the placing thread, and the job is reported after that.
TEST_F(FilePlacerTest, ReportsJobsOnceTheirFilesHaveTheirNames) {
    OutputFolder folder(dir, "output folder", true);
    std::mutex lock;
    std::vector<std::string> reports;
    {
        FilePlacer placer(
            [&](EndedJob& ended) {
                const std::lock_guard<std::mutex> guard(lock);
                for (const WrittenFile& file : ended.files) {
                    reports.push_back(readFile(file.path()) + (ended.failure.empty() ? "" : "!"));
                }
            },
            2);
        for (int i = 0; i < 6; ++i) {
            EndedJob ended = written(folder, {"a" + std::to_string(i) + ".csv", "b.png"});
            EXPECT_FALSE(fileExists(dir + "/a" + std::to_string(i) + ".csv"));
            placer.hand(std::move(ended));
        }
    }  // finished
    ASSERT_EQ(reports.size(), 12u);
    EXPECT_EQ(reports[10], "a5.csv");
    EXPECT_EQ(reports[11], "b.png");
    EXPECT_EQ(entryCount(dir), 7);  // a0..a5 and b.png, no temporary file
}

// A file that cannot take its name fails its job: its temporary file and the job's later
// files are removed, what was at the names stays, and other jobs go on.
TEST_F(FilePlacerTest, AFileThatCannotBePlacedFailsItsJobOnly) {
    OutputFolder folder(dir, "output folder", false);
    std::vector<std::string> failures;
    FilePlacer placer([&](EndedJob& ended) { failures.push_back(ended.failure); }, 4);
    EndedJob bad = written(folder, {"a.csv", "b.csv"});
    ASSERT_EQ(::mkdir((dir + "/a.csv").c_str(), 0755), 0);  // a folder took the name meanwhile
    writeFile(dir + "/b.csv", "earlier\n");
    placer.hand(std::move(bad));
    placer.hand(written(folder, {"c.csv"}));
    placer.finish();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("cannot replace label file '" + dir + "/a.csv'"), std::string::npos)
        << failures[0];
    EXPECT_EQ(failures[1], "");
    EXPECT_EQ(readFile(dir + "/b.csv"), "earlier\n");
    EXPECT_EQ(readFile(dir + "/c.csv"), "c.csv");
    EXPECT_EQ(entryCount(dir), 3);
}

// A written file that is never placed leaves nothing behind.
TEST_F(FilePlacerTest, DroppedFilesLeaveNothing) {
    OutputFolder folder(dir, "output folder", false);
    { EndedJob dropped = written(folder, {"a.csv", "b.csv"}); }
    EXPECT_EQ(entryCount(dir), 0);
}

}  // namespace
}  // namespace segmora
