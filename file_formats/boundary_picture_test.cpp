#include "boundary_picture.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "output_file.h"
#include "scratch_files.h"

namespace segmora {
namespace {

// A picture of its own at `path`, as the programs write one.
void writeBoundaryPicture(const std::string& path, const cv::Mat_<cv::Vec3b>& photo,
                          const cv::Mat_<int>& labels, const cv::Mat_<int>* regions) {
    OutputFile file(path, "boundary picture");
    segmora::writeBoundaryPicture(file, path, photo, labels, regions);
}

// A matrix from rows of digits, e.g. {"112", "122"}.
cv::Mat_<int> idsFrom(const std::vector<std::string>& rows) {
    cv::Mat_<int> ids(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
    for (int y = 0; y < ids.rows; ++y) {
        for (int x = 0; x < ids.cols; ++x) ids(y, x) = rows[y][x] - '0';
    }
    return ids;
}

// A photo whose every pixel has its own colour, none of them a boundary colour.
cv::Mat_<cv::Vec3b> photoOfSize(int rows, int cols) {
    cv::Mat_<cv::Vec3b> photo(rows, cols);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) photo(y, x) = cv::Vec3b(10 * x + 1, 10 * y + 1, 7);
    }
    return photo;
}

TEST(DrawBoundaries, PaintsPixelsWhoseRightOrLowerNeighbourDiffers) {
    // Expected: '.' photo colour, 'S' segment boundary, 'R' region boundary.
    struct Case {
        const char* name;
        std::vector<std::string> labels, regions, expected;
    };
    const std::vector<Case> cases = {
        {"one segment", {"111", "111"}, {}, {"...", "..."}},
        {"single pixel", {"5"}, {}, {"."}},
        {"vertical cut", {"1122", "1122"}, {}, {".S..", ".S.."}},
        {"horizontal cut", {"11", "11", "22"}, {}, {"..", "SS", ".."}},
        {"staircase", {"112", "122", "222"}, {}, {".S.", "S..", "..."}},
        {"single row", {"1213"}, {}, {"SSS."}},
        {"single column", {"1", "1", "3", "4"}, {}, {".", "S", "S", "."}},
        {"one region", {"1122", "1122"}, {"0000", "0000"}, {".S..", ".S.."}},
        {"region cut inside a segment", {"11", "11"}, {"11", "22"}, {"RR", ".."}},
        {"region and segment cut together", {"12", "12"}, {"12", "12"}, {"R.", "R."}},
        {"both kinds",
         {"1123", "1123", "4423"},
         {"0011", "0011", "0011"},
         {".RS.", "SRS.", ".RS."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const cv::Mat_<int> labels = idsFrom(c.labels);
        const cv::Mat_<int> regions = c.regions.empty() ? cv::Mat_<int>() : idsFrom(c.regions);
        const cv::Mat_<cv::Vec3b> photo = photoOfSize(labels.rows, labels.cols);
        const cv::Mat_<cv::Vec3b> picture =
            drawBoundaries(photo, labels, c.regions.empty() ? nullptr : &regions);
        ASSERT_EQ(picture.size(), photo.size());
        for (int y = 0; y < picture.rows; ++y) {
            for (int x = 0; x < picture.cols; ++x) {
                const char kind = c.expected[y][x];
                const cv::Vec3b want = kind == 'S'   ? kSegmentBoundaryColour
                                       : kind == 'R' ? kRegionBoundaryColour
                                                     : photo(y, x);
                EXPECT_EQ(picture(y, x), want) << "at row " << y << ", column " << x;
            }
        }
    }
}

TEST(DrawBoundaries, RejectsSizesThatDiffer) {
    const cv::Mat_<cv::Vec3b> photo = photoOfSize(3, 4);
    const cv::Mat_<int> good(3, 4, 1), tall(4, 4, 1), wide(3, 5, 1);
    EXPECT_THROW(drawBoundaries(photo, tall, nullptr), std::invalid_argument);
    EXPECT_THROW(drawBoundaries(photo, good, &wide), std::invalid_argument);
    EXPECT_NO_THROW(drawBoundaries(photo, good, &good));
}

class WriteBoundaryPicture : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("boundary_picture"); }
    void TearDown() override { removeScratchDir(dir); }

    std::string dir;
    const cv::Mat_<cv::Vec3b> photo = photoOfSize(6, 8);
    const cv::Mat_<int> labels =
        idsFrom({"11112222", "11112222", "11112222", "33333333", "33333333", "33333333"});
};

TEST_F(WriteBoundaryPicture, FormatFollowsTheExtension) {
    const std::vector<std::pair<std::string, std::string>> magic = {
        {"png", "\x89PNG"}, {"JPG", "\xFF\xD8\xFF"}, {"bmp", "BM"}};
    for (const auto& [extension, start] : magic) {
        const std::string path = dir + "/picture." + extension;
        writeBoundaryPicture(path, photo, labels, nullptr);
        EXPECT_EQ(readFile(path).substr(0, start.size()), start) << extension;
        EXPECT_EQ(cv::imread(path).size(), photo.size()) << extension;
    }
    const cv::Mat png = cv::imread(dir + "/picture.png");
    EXPECT_EQ(cv::norm(png, drawBoundaries(photo, labels, nullptr), cv::NORM_INF), 0);
}

}  // namespace
}  // namespace segmora
