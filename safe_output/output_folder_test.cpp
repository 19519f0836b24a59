#include "output_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "output_file.h"
#include "scratch_files.h"

namespace segmora {
namespace {

class OutputFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("output_folder_test"); }
    void TearDown() override { removeScratchDir(dir); }

    void writeThrough(const OutputFolder& folder, const std::string& name,
                      const std::string& text) {
        OutputFile file(folder, name, "label file");
        file.write(text.data(), text.size());
        file.commit();
    }

    std::string dir;
};

TEST_F(OutputFolderTest, TemporaryNamesAreRecognisedAndNothingElse) {
    OutputFolder folder(dir, "output folder", false);
    std::string name;
    const int fd = folder.createTemporary(std::string(300, 'n') + ".csv", name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(isTemporaryName(name)) << name;
    EXPECT_TRUE(isTemporaryName(".a.csv.Ab3xYz.segmora-part"));
    for (const char* other :
         {"a.csv", ".notes.csv.backup", ".a.csv.Ab3xYz", ".a.csv.Ab$xYz.segmora-part",
          "a.csv.Ab3xYz.segmora-part", ".segmora-batch-done"}) {
        EXPECT_FALSE(isTemporaryName(other)) << other;
    }
}

// Only files no live writer holds are taken for leftovers; links and other names stay.
TEST_F(OutputFolderTest, RemovesOnlyLeftoverTemporaryFiles) {
    OutputFolder folder(dir, "output folder", false);
    std::string held, left;
    const int writing = folder.createTemporary("a.csv", held);
    ::close(folder.createTemporary("b.csv", left));
    writeFile(dir + "/.c.csv.backup", "mine\n");
    writeFile(dir + "/target", "kept\n");
    ASSERT_EQ(::symlink((dir + "/target").c_str(), (dir + "/.d.csv.Ab3xYz.segmora-part").c_str()),
              0);

    EXPECT_EQ(folder.removeLeftoverTemporaryFiles(), std::vector<std::string>{left});
    EXPECT_TRUE(fileExists(dir + "/" + held));
    EXPECT_TRUE(fileExists(dir + "/.c.csv.backup"));
    EXPECT_EQ(readFile(dir + "/.d.csv.Ab3xYz.segmora-part"), "kept\n");
    ::close(writing);
    EXPECT_EQ(folder.removeLeftoverTemporaryFiles(), std::vector<std::string>{held});
}

// A link at the name is replaced, whether it leads to a file or nowhere; a folder there
// is refused before anything is written.
TEST_F(OutputFolderTest, FilesReplaceLinksAtTheirNames) {
    ::mkdir((dir + "/out").c_str(), 0755);
    writeFile(dir + "/victim", "precious\n");
    ASSERT_EQ(::symlink((dir + "/victim").c_str(), (dir + "/out/a.csv").c_str()), 0);
    ASSERT_EQ(::symlink((dir + "/nowhere").c_str(), (dir + "/out/b.csv").c_str()), 0);
    ::mkdir((dir + "/out/c.csv").c_str(), 0755);
    writeFile(dir + "/out/d.csv", "earlier\n");
    ::chmod((dir + "/out/d.csv").c_str(), 04640);

    OutputFolder folder(dir + "/out", "output folder", true);
    writeThrough(folder, "a.csv", "labels a\n");
    writeThrough(folder, "b.csv", "labels b\n");
    writeThrough(folder, "d.csv", "labels d\n");
    EXPECT_THROW(OutputFile(folder, "c.csv", "label file"), std::runtime_error);

    EXPECT_EQ(readFile(dir + "/victim"), "precious\n");
    EXPECT_FALSE(fileExists(dir + "/nowhere"));
    EXPECT_EQ(readFile(dir + "/out/a.csv"), "labels a\n");
    EXPECT_EQ(readFile(dir + "/out/b.csv"), "labels b\n");
    struct stat info;
    ASSERT_EQ(::lstat((dir + "/out/d.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "mode kept, set-id bit dropped";
    EXPECT_EQ(entryCount(dir + "/out"), 4);  // no temporary or probe file left
}

TEST_F(OutputFolderTest, RefusesWhatIsNotAUsableFolder) {
    writeFile(dir + "/file", "");
    EXPECT_THROW(OutputFolder(dir + "/file", "output folder", false), std::runtime_error);
    EXPECT_THROW(OutputFolder(dir + "/missing", "output folder", false), std::runtime_error);
}

}  // namespace
}  // namespace segmora
