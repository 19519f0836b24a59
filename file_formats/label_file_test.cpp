#include "label_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "output_file.h"
#include "scratch_files.h"

namespace segmora {
namespace {

// A label file of its own at `path`, as the programs write one.
void writeLabelMap(const std::string& path, const cv::Mat_<int>& labels) {
    OutputFile file(path, "label file");
    segmora::writeLabelMap(file, labels);
}

class LabelFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("label_file_test");
        path = dir + "/labels.csv";
    }
    void TearDown() override { removeScratchDir(dir); }

    std::string dir, path;
};

TEST_F(LabelFile, CommaSeparatedRowsAndOneLineFeedReplacingEarlierFile) {
    std::ofstream(path) << "an earlier, much longer file that must disappear completely\n";
    const int values[] = {1, 2, 3, 40, -5, 2147483647};
    writeLabelMap(path, cv::Mat_<int>(2, 3, const_cast<int*>(values)));
    EXPECT_EQ(readFile(path), "1, 2, 3\n40, -5, 2147483647\n\n");
    EXPECT_EQ(entryCount(dir), 1);
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
        EXPECT_EQ(readFile(path), expected.str()) << rows << " x " << cols;
    }
}

TEST_F(LabelFile, FailuresThrowAndLeaveNoFile) {
    const cv::Mat_<int> labels(2, 2, 1);
    EXPECT_THROW(writeLabelMap(dir + "/missing/labels.csv", labels), std::runtime_error);
    EXPECT_THROW(writeLabelMap(dir, labels), std::runtime_error);
    EXPECT_THROW(writeLabelMap("/dev/full", labels), std::runtime_error);
    EXPECT_EQ(entryCount(dir), 0);
}

TEST_F(LabelFile, UncommittedOutputKeepsTheEarlierFile) {
    std::ofstream(path) << "earlier\n";
    {
        OutputFile file(path, "label file");
        file.write("partial", 7);
    }
    EXPECT_EQ(readFile(path), "earlier\n");
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(LabelFile, TemporaryFileExistsOnlyWhileWriting) {
    OutputFile file(path, "label file");
    EXPECT_EQ(entryCount(dir), 0);  // checked, not created: nothing to leave behind
    const std::vector<char> text((1 << 20) + 1, '7');
    file.write(text.data(), text.size());
    EXPECT_EQ(entryCount(dir), 1);  // the hidden temporary file
    EXPECT_FALSE(fileExists(path));
    file.commit();
    EXPECT_EQ(readFile(path).size(), text.size());
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(LabelFile, BadTargetsFailBeforeAnyWrite) {
    writeFile(dir + "/file", "");
    for (const std::string& target : {dir + "/missing/labels.csv", dir, dir + "/file/labels.csv"}) {
        EXPECT_THROW(OutputFile(target, "label file"), std::runtime_error) << target;
    }
    EXPECT_EQ(entryCount(dir), 1);
}

}  // namespace
}  // namespace segmora
