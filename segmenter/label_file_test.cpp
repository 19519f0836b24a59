#include "label_file.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "output_file.h"

namespace segmora {
namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int entriesIn(const std::string& dir) {
    int count = 0;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) count += e->d_name[0] != '.' || std::string(e->d_name).size() > 2;
    closedir(d);
    return count;
}

class LabelFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "label_file_test_" + std::to_string(getpid());
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir '" + dir + "'").c_str()), 0);
        path = dir + "/labels.csv";
    }
    void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }

    std::string dir, path;
};

TEST_F(LabelFile, CommaSeparatedRowsAndOneLineFeedReplacingEarlierFile) {
    std::ofstream(path) << "an earlier, much longer file that must disappear completely\n";
    const int values[] = {1, 2, 3, 40, -5, 2147483647};
    writeLabelMap(path, cv::Mat_<int>(2, 3, const_cast<int*>(values)));
    EXPECT_EQ(contents(path), "1, 2, 3\n40, -5, 2147483647\n\n");
    EXPECT_EQ(entriesIn(dir), 1);
}

TEST_F(LabelFile, FailuresThrowAndLeaveNoFile) {
    const cv::Mat_<int> labels(2, 2, 1);
    EXPECT_THROW(writeLabelMap(dir + "/missing/labels.csv", labels), std::runtime_error);
    EXPECT_THROW(writeLabelMap(dir, labels), std::runtime_error);
    EXPECT_THROW(writeLabelMap("/dev/full", labels), std::runtime_error);
    EXPECT_EQ(entriesIn(dir), 0);
}

TEST_F(LabelFile, UncommittedOutputKeepsTheEarlierFile) {
    std::ofstream(path) << "earlier\n";
    {
        OutputFile file(path, "label file");
        file.write("partial", 7);
    }
    EXPECT_EQ(contents(path), "earlier\n");
    EXPECT_EQ(entriesIn(dir), 1);
}

}  // namespace
}  // namespace segmora
