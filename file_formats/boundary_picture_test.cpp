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

// A hand-made label map, its region map (empty: none) and the picture expected of it: '.'
// the photo's colour, 'S' a segment boundary, 'R' a region boundary.
struct PictureCase {
    const char* name;
    std::vector<std::string> labels, regions, expected;
};

// Draws each case over a photo of its size in `style` and checks every pixel.
void expectPictures(const std::vector<PictureCase>& cases, const BoundaryStyle& style) {
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const cv::Mat_<int> labels = idsFrom(c.labels);
        const cv::Mat_<int> regions = c.regions.empty() ? cv::Mat_<int>() : idsFrom(c.regions);
        const cv::Mat_<cv::Vec3b> photo = photoOfSize(labels.rows, labels.cols);
        const cv::Mat_<cv::Vec3b> picture =
            drawBoundaries(photo, labels, c.regions.empty() ? nullptr : &regions, style);
        ASSERT_EQ(picture.size(), photo.size());
        for (int y = 0; y < picture.rows; ++y) {
            for (int x = 0; x < picture.cols; ++x) {
                const char kind = c.expected[y][x];
                const cv::Vec3b want = kind == 'S'   ? style.segmentColour
                                       : kind == 'R' ? style.regionColour
                                                     : photo(y, x);
                EXPECT_EQ(picture(y, x), want) << "at row " << y << ", column " << x;
            }
        }
    }
}

TEST(DrawBoundaries, PaintsPixelsWhoseRightOrLowerNeighbourDiffers) {
    using Case = PictureCase;
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
    expectPictures(cases, BoundaryStyle());
}

TEST(DrawBoundaries, ThickLinesAndChosenColours) {
    using Case = PictureCase;
    const std::vector<Case> cases = {
        {"one segment", {"111", "111"}, {}, {"...", "..."}},
        {"vertical cut", {"1122", "1122"}, {}, {".SS.", ".SS."}},
        {"horizontal cut", {"11", "11", "22"}, {}, {"..", "SS", "SS"}},
        {"staircase", {"112", "122", "222"}, {}, {".SS", "SS.", "S.."}},
        {"a pixel inside another segment", {"111", "121", "111"}, {}, {".S.", "SSS", ".S."}},
        {"single row", {"1213"}, {}, {"SSSS"}},
        {"region cut inside a segment", {"11", "11"}, {"11", "22"}, {"RR", "RR"}},
        {"both kinds",
         {"1123", "1123", "4423"},
         {"0011", "0011", "0011"},
         {".RRS", "SRRS", "SRRS"}},
    };
    BoundaryStyle style;
    style.mode = BoundaryMode::Thick;
    style.segmentColour = cv::Vec3b(1, 2, 3);
    style.regionColour = cv::Vec3b(250, 251, 252);
    expectPictures(cases, style);
    // Thin lines in chosen colours: the default picture's pixels, recoloured.
    const cv::Mat_<int> labels = idsFrom({"1123", "1123", "4423"});
    const cv::Mat_<int> regions = idsFrom({"0011", "0011", "0011"});
    const cv::Mat_<cv::Vec3b> photo = photoOfSize(3, 4);
    style.mode = BoundaryMode::Thin;
    const cv::Mat_<cv::Vec3b> plain = drawBoundaries(photo, labels, &regions);
    const cv::Mat_<cv::Vec3b> coloured = drawBoundaries(photo, labels, &regions, style);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const cv::Vec3b want = plain(y, x) == kSegmentBoundaryColour  ? style.segmentColour
                                   : plain(y, x) == kRegionBoundaryColour ? style.regionColour
                                                                          : photo(y, x);
            EXPECT_EQ(coloured(y, x), want) << "at row " << y << ", column " << x;
        }
    }
}

TEST(MeanColourPicture, EachSuperpixelInItsRoundedMeanColour) {
    // Label 1: blue 0 and 3 (mean 1.5, up to 2), green 10 and 11 (10.5 up to 11), red 7.
    // Label 2: one pixel. Label 3 carries no pixel; label 4 holds 254 and 255 (254.5: 255).
    const cv::Mat_<int> labels = idsFrom({"112", "444"});
    cv::Mat_<cv::Vec3b> photo(2, 3);
    photo(0, 0) = cv::Vec3b(0, 10, 7);
    photo(0, 1) = cv::Vec3b(3, 11, 7);
    photo(0, 2) = cv::Vec3b(9, 8, 7);
    photo(1, 0) = cv::Vec3b(254, 0, 1);
    photo(1, 1) = cv::Vec3b(255, 0, 2);
    photo(1, 2) = cv::Vec3b(254, 1, 0);
    const SuperpixelGraph g = describe(Segmentation{labels, 4}, photo);
    const cv::Mat_<cv::Vec3b> picture = meanColourPicture(labels, g);
    const cv::Vec3b first(2, 11, 7), last(254, 0, 1);  // 763 / 3 = 254.33; 1/3; 1
    const cv::Mat_<cv::Vec3b> want =
        (cv::Mat_<cv::Vec3b>(2, 3) << first, first, cv::Vec3b(9, 8, 7), last, last, last);
    EXPECT_EQ(cv::norm(picture, want, cv::NORM_INF), 0) << picture << "\n" << want;
    EXPECT_THROW(meanColourPicture(labels, describe(Segmentation{labels, 4})),
                 std::invalid_argument);
    EXPECT_THROW(meanColourPicture(idsFrom({"15"}), g), std::invalid_argument);
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
