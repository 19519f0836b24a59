#include "label_file.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
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
    while (dirent* e = readdir(d))
        count += e->d_name[0] != '.' || std::string(e->d_name).size() > 2;
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

TEST_F(LabelFile, SameBytesAsOpenCvRenderingForAnyShape) {
    cv::RNG rng(3);
    for (auto [rows, cols] :
         {std::pair{1, 1}, std::pair{1, 57}, std::pair{43, 1}, std::pair{7, 9}, std::pair{300, 211},
          std::pair{0, 0}, std::pair{0, 3}, std::pair{3, 0}, std::pair{1, 0}, std::pair{2, 0}}) {
        cv::Mat_<int> labels(rows, cols);
        for (int& v : labels) {
            const int kind = rng.uniform(0, 4);
            v = kind == 0   ? rng.uniform(1, 10)
                : kind == 1 ? -rng.uniform(0, 1000)
                            : (int)rng.next();
        }
        if (rows * cols > 1) {
            labels(0, 0) = std::numeric_limits<int>::min();
            labels(rows - 1, cols - 1) = std::numeric_limits<int>::max();
        }
        writeLabelMap(path, labels);
        std::ostringstream expected;
        expected << cv::format(labels, cv::Formatter::FMT_CSV) << std::endl;
        EXPECT_EQ(contents(path), expected.str()) << rows << " x " << cols;
    }
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
