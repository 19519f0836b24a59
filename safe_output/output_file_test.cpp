#include "output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "scratch_files.h"

namespace segmora {
namespace {

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("output_file_test"); }
    void TearDown() override { removeScratchDir(dir); }

    std::string errorOf(const std::string& path) {
        try {
            OutputFile file(path, "label file");
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }

    std::string dir;
};

TEST_F(OutputFileTest, TheTargetChangesOnlyAtCommit) {
    const std::string path = dir + "/labels.csv";
    writeFile(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    {
        OutputFile file(path, "label file");
        // More than one buffer, so that the temporary file exists before the commit.
        const std::string big((1 << 20) + 5, 'x');
        file.write(big.data(), big.size());
        EXPECT_EQ(readFile(path), "old\n");
        EXPECT_EQ(entryCount(dir), 2) << "the temporary file beside the target";
        char* room = file.room(3);
        std::copy_n("end", 3, room);
        file.wrote(3);
        file.commit();
    }
    const std::string written = readFile(path);
    EXPECT_EQ(written.size(), (1u << 20) + 8);
    EXPECT_EQ(written.substr(written.size() - 4), "xend");
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "an existing file's mode is kept";
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(OutputFileTest, AFileNeverCommittedLeavesNothingBehind) {
    const std::string path = dir + "/labels.csv";
    writeFile(path, "old\n");
    {
        OutputFile file(path, "label file");
        const std::string big((1 << 20) + 1, 'x');
        file.write(big.data(), big.size());
    }
    EXPECT_EQ(readFile(path), "old\n");
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(OutputFileTest, RefusesUnusableTargetsBeforeAnyWork) {
    EXPECT_EQ(errorOf(dir), "cannot create label file '" + dir + "': Is a directory");
    EXPECT_EQ(
        errorOf(dir + "/missing/labels.csv"),
        "cannot create label file '" + dir + "/missing/labels.csv': No such file or directory");
    const std::string longName(300, 'n');
    EXPECT_NE(errorOf(dir + "/" + longName).find("bytes, more than the"), std::string::npos);
    EXPECT_EQ(entryCount(dir), 0);
}

TEST_F(OutputFileTest, AnExistingDeviceIsWrittenDirectly) {
    OutputFile file("/dev/null", "label file");
    file.write("abc", 3);
    EXPECT_NO_THROW(file.commit());
    struct stat info;
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << "not replaced by a regular file";
}

}  // namespace
}  // namespace segmora
