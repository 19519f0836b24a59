#include "finished_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "batch_console.h"
#include "scratch_files.h"

namespace segmora {
namespace {

TEST(EscapedName, KeepsEachPhotoOnOneLineWithOneTab) {
    EXPECT_EQ(escapedName("in/a b.png"), "in/a b.png");
    EXPECT_EQ(escapedName("t\tn\nr\rb\\.png"), "t\\tn\\nr\\rb\\\\.png");
    EXPECT_EQ(escapedName(std::string("z\0\xff.png", 7)), std::string("z\0\xff.png", 7));
}

// Only the very file recorded counts, whatever its name, and only with the settings it was
// made with; any change is noticed.
TEST(FinishedFiles, CountOnlyTheFilesRecorded) {
    const std::string dir = makeScratchDir("finished_files_test");
    const std::vector<std::string> names = {"a.csv", " lead\ttab\nline.csv", "b.csv"};
    PhotoJob job;
    job.labelFormat = LabelFormat::Csv;
    PhotoJob changed = job;
    changed.parameters.minSize = 21;
    const std::string settings = settingsKey(job);
    EXPECT_NE(settingsKey(changed), settings);
    PhotoJob other = job;
    other.regionFilePath = "regions/a.txt";
    EXPECT_NE(settingsKey(other), settings);
    other = job;
    other.orientation = Orientation::Ignore;
    EXPECT_NE(settingsKey(other), settings);
    other = job;
    other.parameters.threads = 3;
    EXPECT_EQ(settingsKey(other), settings);
    {
        OutputFolder folder(dir, "output folder", false);
        FinishedFiles list(folder);
        for (const std::string& name : names) writeFile(dir + "/" + name, "1, 2\n");
        EXPECT_TRUE(list.record(names[0], settings));
        EXPECT_TRUE(list.record(names[1], settings));
        EXPECT_FALSE(list.record("missing.csv", settings));
        writeFile(dir + "/e.csv", "1, 2\n");
        EXPECT_TRUE(list.record("e.csv", settingsKey(changed)));
    }
    writeFile(dir + "/c.csv", "1, 2\n");
    struct stat old;
    ASSERT_EQ(::stat((dir + "/c.csv").c_str(), &old), 0);
    std::ofstream(dir + "/" + FinishedFiles::kListName, std::ios::app)
        << old.st_size << " " << old.st_mtim.tv_sec << "." << old.st_mtim.tv_nsec << " c.csv\n";
    std::filesystem::create_directory(dir + "/d.csv");

    OutputFolder folder(dir, "output folder", false);
    FinishedFiles list(folder);
    list.load();
    struct stat info;
    EXPECT_EQ(list.whyUnfinished(names[0], settings, info), std::nullopt);
    EXPECT_EQ(list.whyUnfinished(names[1], settings, info), std::nullopt);
    EXPECT_EQ(list.whyUnfinished(names[2], settings, info), "no run of segmora-batch finished it");
    EXPECT_EQ(list.whyUnfinished("none.csv", settings, info), "");
    EXPECT_EQ(list.whyUnfinished("d.csv", settings, info), "it is not a regular file");
    EXPECT_EQ(list.whyUnfinished("c.csv", settings, info),
              "the settings it was made with were not recorded");
    EXPECT_EQ(list.whyUnfinished("e.csv", settings, info), "it was made with other settings");
    EXPECT_EQ(list.whyUnfinished("e.csv", settingsKey(changed), info), std::nullopt);
    const auto recorded = std::filesystem::last_write_time(dir + "/a.csv");
    writeFile(dir + "/a.csv", "1, 3\n");  // the same size, another time
    std::filesystem::last_write_time(dir + "/a.csv", recorded + std::chrono::seconds(1));
    EXPECT_EQ(list.whyUnfinished("a.csv", settings, info),
              "it changed since segmora-batch finished it");
    ::unlink((dir + "/a.csv").c_str());
    ASSERT_EQ(::symlink((dir + "/c.csv").c_str(), (dir + "/a.csv").c_str()), 0);
    EXPECT_EQ(list.whyUnfinished("a.csv", settings, info), "it is not a regular file");
    removeScratchDir(dir);
}

}  // namespace
}  // namespace segmora
