#include "image_header.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "scratch_files.h"

namespace segmora {
namespace {

class DeclaredImageSize : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("image_header_test"); }
    void TearDown() override { removeScratchDir(dir); }

    std::optional<DeclaredSize> sizeOf(const std::string& name, const std::string& bytes) {
        writeFile(dir + "/" + name, bytes);
        return declaredImageSize(dir + "/" + name);
    }

    std::string dir;
};

TEST_F(DeclaredImageSize, MatchesEveryFormatOpenCvWrites) {
    // An odd size, wider than tall, so that swapped or rounded fields show.
    // One spare row: OpenCV's Sun raster encoder reads a byte past the last pixel.
    const cv::Mat_<cv::Vec3b> colour =
        cv::Mat_<cv::Vec3b>(24, 37, cv::Vec3b(10, 200, 30)).rowRange(0, 23);
    const cv::Mat_<uchar> grey(23, 37, 200);
    cv::Mat_<cv::Vec3f> floats;
    colour.convertTo(floats, CV_32F, 1.0 / 255);
    for (const std::string extension : {"png", "jpg", "bmp", "webp", "tiff", "ppm", "pgm", "pbm",
                                        "pam", "pfm", "sr", "hdr", "exr"}) {
        SCOPED_TRACE(extension);
        const std::string path = dir + "/picture." + extension;
        const bool isGrey = extension == "pgm" || extension == "pbm";
        ASSERT_TRUE(cv::imwrite(path, extension == "exr" ? cv::Mat(floats)
                                      : isGrey           ? cv::Mat(grey)
                                                         : cv::Mat(colour)));
        const std::optional<DeclaredSize> size = declaredImageSize(path);
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(size->width, 37u);
        EXPECT_EQ(size->height, 23u);
    }
}

TEST_F(DeclaredImageSize, ReadsHeadersOpenCvDoesNotWrite) {
    struct Case {
        std::string name, bytes;
        uint64_t width, height;
    };
    const std::string jp2Signature("\0\0\0\x0CjP  \r\n\x87\n", 12);
    const std::vector<Case> cases = {
        // JPEG with fill bytes and an application segment before the progressive frame.
        {"progressive.jpg",
         std::string("\xFF\xD8\xFF\xFF\xE1\x00\x04zz\xFF\xC2\x00\x11\x08\x01\x02\x03\x04", 18),
         0x0304, 0x0102},
        // Bottom-up and top-down BMP, and the 16-bit sizes of the OS/2 header.
        {"up.bmp",
         std::string("BM", 2) + std::string(12, '\0') + std::string("\x28\0\0\0", 4) +
             std::string("\x10\x27\0\0\xF0\xD8\xFF\xFF", 8),
         10000, 10000},
        {"os2.bmp",
         std::string("BM", 2) + std::string(12, '\0') + std::string("\x0C\0\0\0", 4) +
             std::string("\x05\0\x07\0\x01\0\x18\0", 8),
         5, 7},
        {"lossless.webp", std::string("RIFF\0\0\0\0WEBPVP8L\0\0\0\0\x2F\x3F\x40\x11\x00", 25), 64,
         70},
        {"comments.ppm", "P3 # width next\n 640\t# height next\n480\n255\n", 640, 480},
        {"picture.jp2",
         jp2Signature +
             std::string("\0\0\0\x14"
                         "ftypjp2 \0\0\0\0jp2 ",
                         20) +
             std::string("\0\0\0\x2Djp2h\0\0\0\x16ihdr\0\0\0\x14\0\0\0\x1E", 24),
         30, 20},
        {"stream.j2k",
         std::string("\xFF\x4F\xFF\x51\0\x29\0\0\0\0\x01\x10\0\0\0\xA0\0\0\0\x10\0\0\0\x20", 24),
         0x100, 0x80},
        {"rotated.hdr", "#?RGBE\nFORMAT=32-bit_rle_rgbe\n\n+X 300 -Y 200\n", 300, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DeclaredSize> size = sizeOf(c.name, c.bytes);
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(size->width, c.width);
        EXPECT_EQ(size->height, c.height);
    }
}

TEST_F(DeclaredImageSize, NothingForOtherOrCutShortFiles) {
    const std::string png = [] {
        std::vector<uchar> bytes;
        cv::imencode(".png", cv::Mat_<cv::Vec3b>(3, 4, cv::Vec3b(1, 2, 3)), bytes);
        return std::string(bytes.begin(), bytes.end());
    }();
    for (const std::string& bytes :
         {std::string(), std::string("plain text"), png.substr(0, 20), std::string("\xFF\xD8", 2),
          std::string("\xFF\xD8\xFF\xE0\x00\x10", 6), std::string("\xFF\xD8\xFF\xDA\x00\x02", 6),
          std::string("BM"), std::string("II*\0\x08\0\0\0", 8), std::string("P6 12"),
          std::string("RIFF\0\0\0\0WAVE", 12)}) {
        EXPECT_FALSE(sizeOf("file", bytes).has_value()) << bytes;
    }
    EXPECT_FALSE(declaredImageSize(dir + "/missing").has_value());
    EXPECT_FALSE(declaredImageSize(dir).has_value());
}

}  // namespace
}  // namespace segmora
