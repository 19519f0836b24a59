#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "boundary_picture.h"
#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

// The labels of a label file: comma-separated integers, one line per row.
cv::Mat_<int> parseLabels(const std::string& text) {
    cv::Mat_<int> labels;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        std::vector<int> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stoi(cell));
        labels.push_back(cv::Mat_<int>(row).t());
    }
    return labels;
}

bool changes(const cv::Mat_<int>& ids, int y, int x) {
    return (x + 1 < ids.cols && ids(y, x + 1) != ids(y, x)) ||
           (y + 1 < ids.rows && ids(y + 1, x) != ids(y, x));
}

// A gradient without the colours of the boundaries.
cv::Mat_<cv::Vec3b> softGradient() {
    cv::Mat_<cv::Vec3b> photo(12, 16);
    for (int y = 0; y < photo.rows; ++y) {
        for (int x = 0; x < photo.cols; ++x) photo(y, x) = cv::Vec3b(x * 15 + 1, y * 20 + 1, 100);
    }
    return photo;
}

class BoundaryPictureCli : public CliTest {
  protected:
    BoundaryPictureCli() : CliTest("boundary_picture_cli", softGradient()) {}
    void SetUp() override {
        CliTest::SetUp();
        picture = dir + "/picture.png";
    }

    // Checks every pixel of the written picture: region colour where the
    // region id changes, segment colour where only the label changes, the
    // photo's colour elsewhere.
    void expectPicture(const cv::Mat_<int>& labels, const cv::Mat_<int>& regions) {
        const cv::Mat_<cv::Vec3b> drawn = cv::imread(picture);
        ASSERT_EQ(drawn.size(), photo.size());
        ASSERT_EQ(labels.size(), photo.size());
        int segmentPixels = 0;
        for (int y = 0; y < drawn.rows; ++y) {
            for (int x = 0; x < drawn.cols; ++x) {
                cv::Vec3b want = photo(y, x);
                if (!regions.empty() && changes(regions, y, x)) {
                    want = segmora::kRegionBoundaryColour;
                } else if (changes(labels, y, x)) {
                    want = segmora::kSegmentBoundaryColour;
                    ++segmentPixels;
                }
                EXPECT_EQ(drawn(y, x), want) << "at row " << y << ", column " << x;
            }
        }
        EXPECT_GT(segmentPixels, 0);
    }

    std::string picture;
};

TEST_F(BoundaryPictureCli, DrawsLabelBoundariesAndLeavesConsoleAndLabelsAlone) {
    const ProgramRun plain = run({"-i", image, "-o", output});
    ASSERT_EQ(plain.exitStatus, 0) << plain.err;
    const std::string labelText = readFile(output);
    std::remove(output.c_str());
    const ProgramRun r = run({"-v", dir + "/first.png", "-i", image, "-o", output, "-v", picture});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(readFile(output), labelText);
    EXPECT_FALSE(fileExists(dir + "/first.png"));
    expectPicture(parseLabels(labelText), cv::Mat_<int>());
}

TEST_F(BoundaryPictureCli, RegionBoundariesTakeTheSecondColour) {
    // Left ten columns region 4, the rest region -9; rows 0..5 and 6..11 also split.
    cv::Mat_<int> regions = leftRightRegions();
    regions.rowRange(6, 12) += 100;
    writeFile(dir + "/regions.txt", regionFileText(regions));
    const ProgramRun r =
        run({"-i", image, "-r", dir + "/regions.txt", "-o", output, "-v", picture});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    expectPicture(parseLabels(readFile(output)), regions);
}

TEST_F(BoundaryPictureCli, UnwritablePictureFailsAfterTheLabelFile) {
    const ProgramRun plain = run({"-i", image, "-o", output});
    const std::string labelText = readFile(output);
    ASSERT_EQ(system(("mkdir '" + dir + "/folder.png'").c_str()), 0);
    for (const std::string& path : {dir + "/no/such/dir.png", dir + "/picture.unknown",
                                    dir + "/picture", dir + "/folder.png"}) {
        std::remove(output.c_str());
        const ProgramRun r = run({"-i", image, "-o", output, "-v", path});
        EXPECT_EQ(r.exitStatus, 1) << path;
        EXPECT_EQ(r.out, plain.out);
        EXPECT_EQ(r.err.rfind("Segmora: cannot write boundary picture '" + path + "'", 0), 0u)
            << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(readFile(output), labelText) << path;
    }
}

}  // namespace
