#include "finished_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "batch_console.h"
#include "scratch_files.h"

namespace segmora {
namespace {

TEST(EscapedName, KeepsEachPhotoOnOneLineWithOneTab) {
    EXPECT_EQ(escapedName("in/a b.png"), "in/a b.png");
    EXPECT_EQ(escapedName("t\tn\nr\rb\\.png"), "t\\tn\\nr\\rb\\\\.png");
    EXPECT_EQ(escapedName(std::string("z\0\xff.png", 7)), std::string("z\0\xff.png", 7));
}

// Only the very file recorded counts, whatever its name; any change is noticed.
TEST(FinishedFiles, CountOnlyTheFilesRecorded) {
    const std::string dir = makeScratchDir("finished_files_test");
    const std::vector<std::string> names = {"a.csv", " lead\ttab\nline.csv", "b.csv"};
    {
        OutputFolder folder(dir, "output folder", false);
        FinishedFiles list(folder);
        for (const std::string& name : names) writeFile(dir + "/" + name, "1, 2\n");
        EXPECT_TRUE(list.record(names[0]));
        EXPECT_TRUE(list.record(names[1]));
        EXPECT_FALSE(list.record("missing.csv"));
    }
    writeFile(dir + "/c.csv", "1, 2\n");
    std::filesystem::create_directory(dir + "/d.csv");

    OutputFolder folder(dir, "output folder", false);
    FinishedFiles list(folder);
    list.load();
    struct stat info;
    EXPECT_EQ(list.whyUnfinished(names[0], info), std::nullopt);
    EXPECT_EQ(list.whyUnfinished(names[1], info), std::nullopt);
    EXPECT_EQ(list.whyUnfinished(names[2], info), "no run of segmora-batch finished it");
    EXPECT_EQ(list.whyUnfinished("none.csv", info), "");
    EXPECT_EQ(list.whyUnfinished("d.csv", info), "it is not a regular file");
    const auto recorded = std::filesystem::last_write_time(dir + "/a.csv");
    writeFile(dir + "/a.csv", "1, 3\n");  // the same size, another time
    std::filesystem::last_write_time(dir + "/a.csv", recorded + std::chrono::seconds(1));
    EXPECT_EQ(list.whyUnfinished("a.csv", info), "it changed since segmora-batch finished it");
    ::unlink((dir + "/a.csv").c_str());
    ASSERT_EQ(::symlink((dir + "/c.csv").c_str(), (dir + "/a.csv").c_str()), 0);
    EXPECT_EQ(list.whyUnfinished("a.csv", info), "it is not a regular file");
    removeScratchDir(dir);
}

}  // namespace
}  // namespace segmora
