#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
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
    EXPECT_EQ(labelText, expectedLabelFile(photo, cv::Mat_<int>(photo.rows, photo.cols, 1), 500));
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
    EXPECT_EQ(readFile(output), expectedLabelFile(photo, regions, 3000));
    expectPicture(parseLabels(readFile(output)), regions);
}

TEST_F(BoundaryPictureCli, PictureThatCannotBeWrittenIsRefusedBeforeSegmenting) {
    ASSERT_EQ(system(("mkdir '" + dir + "/folder.png'").c_str()), 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir + "/no/such/dir.png", "No such file or directory"},
        {dir + "/picture.unknown", "no picture format goes by its extension"},
        {dir + "/picture", "its name has no extension"},
        {dir + "/folder.png", "Is a directory"},
        // OpenCV knows the format but cannot encode 8-bit colour in it; its own
        // assertion text must not reach the user.
        {dir + "/picture.exr", "OpenCV cannot encode an 8-bit colour picture as '.exr'"},
    };
    for (const auto& [path, why] : cases) {
        expectCleanFailure({"-i", image, "-o", output, "-v", path},
                           "boundary picture '" + path + "': " + why, path);
    }
}

TEST_F(BoundaryPictureCli, FailedWriteIsAnErrorAndKeepsTheEarlierPicture) {
    // /dev/full takes the bytes and reports the disk full: every format must say so.
    for (const std::string extension : {"png", "bmp", "dib", "ppm", "pnm", "ras", "sr", "webp"}) {
        const std::string link = dir + "/full." + extension;
        ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
        const ProgramRun r = run({"-i", image, "-v", link});
        EXPECT_EQ(r.exitStatus, 1) << extension;
        EXPECT_EQ(r.err, "Segmora: cannot write boundary picture '" + link +
                             "': No space left on device\n");
    }
    // A file size limit makes the write fail halfway: the earlier picture survives whole
    // and no temporary file is left.
    const std::string large = dir + "/large.png", bmp = dir + "/picture.bmp";
    cv::Mat_<cv::Vec3b> big;
    cv::resize(photo, big, cv::Size(160, 120));
    ASSERT_TRUE(cv::imwrite(large, big));
    writeFile(bmp, "earlier picture");
    const int entries = entryCount(dir);
    const ProgramRun r = runUnder("trap '' XFSZ; ulimit -f 20", {"-i", large, "-v", bmp});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Segmora: cannot write boundary picture '" + bmp + "': File too large\n");
    EXPECT_EQ(readFile(bmp), "earlier picture");
    EXPECT_EQ(entryCount(dir), entries);
}

}  // namespace
