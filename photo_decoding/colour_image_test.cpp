// Photos decoded by the project's own JPEG and PNG readers must be, pixel for
// pixel, what OpenCV's reader gives, damaged files included; the files these
// leave to OpenCV (turned by Exif, other formats) must come from OpenCV
// unchanged.
#include "colour_image.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <random>
#include <vector>

#include "jpeg_decoding.h"
#include "png_decoding.h"
#include "scratch_files.h"

namespace segmora {
namespace {

class ColourImage : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("colour_image"); }
    void TearDown() override { removeScratchDir(dir); }

    // Writes `image` as NAME with `settings` and checks both readers agree on it,
    // and that a .jpg or .png is decoded by the project's own reader.
    void expectOpenCvPixels(const std::string& name, const cv::Mat& image,
                            const std::vector<int>& settings = {}) {
        const std::string path = dir + "/" + name;
        ASSERT_TRUE(cv::imwrite(path, image, settings)) << name;
        expectSameAsOpenCv(path);
        const bool jpeg = path.size() > 4 && path.substr(path.size() - 4) == ".jpg";
        const bool png = path.size() > 4 && path.substr(path.size() - 4) == ".png";
        if (!jpeg && !png) return;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        cv::Mat own;
        EXPECT_TRUE(jpeg ? decodeJpeg(file, own) : decodePng(file, own)) << name;
        std::fclose(file);
        EXPECT_EQ(cv::norm(own, cv::imread(path, cv::IMREAD_COLOR), cv::NORM_INF), 0.0) << name;
    }
    static void expectSameAsOpenCv(const std::string& path) {
        const cv::Mat expected = cv::imread(path, cv::IMREAD_COLOR);
        ASSERT_FALSE(expected.empty()) << path;
        const cv::Mat decoded = readColourImage(path);
        ASSERT_EQ(decoded.size(), expected.size()) << path;
        EXPECT_EQ(cv::norm(decoded, expected, cv::NORM_INF), 0.0) << path;
    }

    std::string dir;
};

cv::Mat noise(int rows, int cols, int type, double high) {
    cv::Mat image(rows, cols, type);
    cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(high));
    return image;
}

TEST_F(ColourImage, JpegsOfEveryCommonKindMatchOpenCv) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLES "/coffee.png", cv::IMREAD_COLOR);
    ASSERT_FALSE(photo.empty());
    const cv::Mat odd = photo(cv::Rect(3, 5, 201, 117)).clone();
    expectOpenCvPixels("plain.jpg", photo, {cv::IMWRITE_JPEG_QUALITY, 92});
    expectOpenCvPixels("odd.jpg", odd, {cv::IMWRITE_JPEG_QUALITY, 60});
    expectOpenCvPixels("progressive.jpg", photo, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    expectOpenCvPixels("optimised.jpg", odd, {cv::IMWRITE_JPEG_OPTIMIZE, 1});
    expectOpenCvPixels("restarts.jpg", odd, {cv::IMWRITE_JPEG_RST_INTERVAL, 3});
    expectOpenCvPixels("chroma.jpg", odd, {cv::IMWRITE_JPEG_CHROMA_QUALITY, 20});
    expectOpenCvPixels("grey.jpg", noise(33, 65, CV_8UC1, 256));
    expectOpenCvPixels("one-pixel.jpg", noise(1, 1, CV_8UC3, 256));
}

TEST_F(ColourImage, PngsOfEveryCommonKindMatchOpenCv) {
    const cv::Mat photo = cv::imread(SEGMORA_SAMPLES "/ihc.png", cv::IMREAD_COLOR);
    ASSERT_FALSE(photo.empty());
    expectOpenCvPixels("photo.png", photo(cv::Rect(0, 0, 300, 200)));
    expectOpenCvPixels("grey.png", noise(31, 17, CV_8UC1, 256));
    expectOpenCvPixels("grey16.png", noise(31, 17, CV_16UC1, 65536));
    expectOpenCvPixels("colour16.png", noise(9, 70, CV_16UC3, 65536));
    expectOpenCvPixels("alpha.png", noise(40, 3, CV_8UC4, 256));
    expectOpenCvPixels("alpha16.png", noise(3, 40, CV_16UC4, 65536));
    expectOpenCvPixels("fast.png", noise(20, 20, CV_8UC3, 256), {cv::IMWRITE_PNG_COMPRESSION, 0});
}

// A JPEG with an Exif segment whose orientation tag is `orientation`.
std::string withExifOrientation(const std::string& jpeg, uint8_t orientation) {
    const unsigned char tiff[] = {'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,  // header, one entry
                                  0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, orientation,
                                  0,    0,    0, 0,  0, 0};  // no next directory
    std::string segment =
        std::string("Exif\0\0", 6) + std::string(std::begin(tiff), std::end(tiff));
    const size_t length = segment.size() + 2;
    std::string app1 = "\xff\xe1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xff);
    return jpeg.substr(0, 2) + app1 + segment + jpeg.substr(2);
}

TEST_F(ColourImage, TurnedDamagedAndOtherFilesComeOutAsOpenCvReadsThem) {
    const cv::Mat image = noise(24, 40, CV_8UC3, 256);
    const std::string jpeg = dir + "/plain.jpg";
    ASSERT_TRUE(cv::imwrite(jpeg, image));
    for (const uint8_t orientation : {1, 6, 3}) {  // upright, turned a quarter, upside down
        const std::string path = dir + "/exif" + std::to_string(orientation) + ".jpg";
        writeFile(path, withExifOrientation(readFile(jpeg), orientation));
        expectSameAsOpenCv(path);
    }
    EXPECT_EQ(readColourImage(dir + "/exif6.jpg").size(), cv::Size(24, 40));  // turned
    // Damaged JPEGs: the same library fills in what is missing or corrupt.
    std::string bytes = readFile(jpeg);
    writeFile(dir + "/truncated.jpg", bytes.substr(0, bytes.size() * 2 / 3));
    expectSameAsOpenCv(dir + "/truncated.jpg");
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 40; i += 7) bytes[i] ^= 0x5a;
    writeFile(dir + "/corrupt.jpg", bytes);
    expectSameAsOpenCv(dir + "/corrupt.jpg");
    expectOpenCvPixels("other.bmp", image);
    expectOpenCvPixels("other.tiff", image);
    writeFile(dir + "/header-only.png",
              readFile(dir + "/other.bmp").substr(0, 0) + std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_THROW(readColourImage(dir + "/header-only.png"), std::runtime_error);
}

}  // namespace
}  // namespace segmora
