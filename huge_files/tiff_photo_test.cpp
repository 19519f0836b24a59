#include "tiff_photo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "scratch_files.h"
#include "test_tiffs.h"
#include "tiled_photo_writer.h"

namespace segmora {
namespace {

bool samePixels(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

class TiffPhotoTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = makeScratchDir("tiff_photo"); }
    void TearDown() override { removeScratchDir(dir); }

    // Writes the photo (blue-green-red) in `kind` and returns the file's path.
    std::string write(const std::string& name, const cv::Mat& photo, const TiffKind& kind) {
        cv::Mat pixels;
        if (kind.samples == 4) {
            cv::cvtColor(photo, pixels, cv::COLOR_BGR2RGBA);
        } else if (kind.samples == 2) {
            cv::Mat grey;
            cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
            cv::merge(std::vector<cv::Mat>{grey, grey / 2}, pixels);
        } else if (kind.samples == 1) {
            cv::cvtColor(photo, pixels, cv::COLOR_BGR2GRAY);
        } else {
            cv::cvtColor(photo, pixels, cv::COLOR_BGR2RGB);
        }
        const std::string path = dir + "/" + name;
        writeTestTiff(path, pixels, kind);
        return path;
    }

    std::string dir;
};

// Every layout the reader meets must give exactly what cv::imread gives for the file.
TEST_F(TiffPhotoTest, WholePhotoMatchesImreadInEveryLayout) {
    const cv::Mat photo = samplePhoto(201, 123);
    struct Case {
        const char* name;
        TiffKind kind;
    };
    const Case cases[] = {
        {"strips.tif", {}},
        {"one-row-strips.tif", {false, 0, 1}},
        {"tiles.tif", {false, 16}},
        {"big-tiles.tif", {true, 64}},
        {"big-strips.tif", {true, 0, 50}},
        {"lzw-strips.tif", {false, 0, 9, COMPRESSION_LZW}},
        {"deflate-big-tiles.tif", {true, 32, 0, COMPRESSION_ADOBE_DEFLATE}},
        {"rgba.tif", {false, 32, 0, COMPRESSION_NONE, 8, 1, PHOTOMETRIC_RGB, false, 4}},
        {"grey.tif", {false, 0, 10, COMPRESSION_LZW, 8, 1, PHOTOMETRIC_MINISBLACK, false, 1}},
        {"grey-alpha.tif", {true, 16, 0, COMPRESSION_NONE, 8, 1, PHOTOMETRIC_MINISBLACK, false, 2}},
        {"jpeg-rgb.tif", {false, 32, 0, COMPRESSION_JPEG}},
        {"big-endian.tif", {true, 0, 20, COMPRESSION_LZW, 8, 1, PHOTOMETRIC_RGB, false, 3, true}},
        {"jpeg-ycbcr.tif", {false, 32, 0, COMPRESSION_JPEG, 8, 1, PHOTOMETRIC_YCBCR}},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.name, photo, c.kind);
        TiffPhoto tiff(path);
        ASSERT_EQ(tiff.width(), 201) << c.name;
        ASSERT_EQ(tiff.height(), 123) << c.name;
        EXPECT_EQ(tiff.tiled(), c.kind.tile > 0) << c.name;
        const cv::Mat read = tiff.readRect(0, 0, 201, 123);
        if (c.kind.samples == 2) {  // Debian 12's OpenCV misreads its partial tiles
            cv::Mat grey, expected;
            cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
            cv::cvtColor(grey, expected, cv::COLOR_GRAY2BGR);
            EXPECT_TRUE(samePixels(read, expected)) << c.name;
            continue;
        }
        EXPECT_TRUE(samePixels(read, cv::imread(path, cv::IMREAD_COLOR))) << c.name;
        if (c.kind.samples > 2 && c.kind.compression != COMPRESSION_JPEG) {
            EXPECT_TRUE(samePixels(read, photo)) << c.name;
        }
    }
}

// Rectangles inside one block, across block borders, along the photo's edges and whole.
TEST_F(TiffPhotoTest, RectanglesAcrossStripAndTileBordersAreTheirPartOfThePhoto) {
    const cv::Mat photo = samplePhoto(150, 97);
    std::mt19937 random(40);
    for (const TiffKind& kind : {TiffKind{false, 0, 7}, TiffKind{true, 16},
                                 TiffKind{false, 48, 0, COMPRESSION_ADOBE_DEFLATE}}) {
        TiffPhoto tiff(write("rects.tif", photo, kind));
        std::vector<cv::Rect> rects = {{0, 0, 1, 1},    {15, 15, 2, 2},   {149, 96, 1, 1},
                                       {0, 90, 150, 7}, {140, 0, 10, 97}, {3, 5, 47, 33}};
        for (int i = 0; i < 40; ++i) {
            const int x = int(random() % 150), y = int(random() % 97);
            rects.emplace_back(x, y, 1 + int(random() % (150 - x)), 1 + int(random() % (97 - y)));
        }
        for (const cv::Rect& r : rects) {
            EXPECT_TRUE(samePixels(tiff.readRect(r.x, r.y, r.width, r.height), photo(r)))
                << "tile " << kind.tile << " rect " << r;
        }
        for (const cv::Rect& r : {cv::Rect(-1, 0, 5, 5), cv::Rect(146, 0, 5, 5),
                                  cv::Rect(0, 0, 0, 5), cv::Rect(0, 93, 5, 5)}) {
            EXPECT_THROW(tiff.readRect(r.x, r.y, r.width, r.height), std::invalid_argument) << r;
        }
    }
}

// Standard error, redirected to a file while the object lives.
class CapturedStderr {
  public:
    explicit CapturedStderr(const std::string& path) : path(path), saved(::dup(2)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~CapturedStderr() { release(); }
    std::string release() {
        if (saved >= 0) {
            ::dup2(saved, 2);
            ::close(saved);
            saved = -1;
        }
        return readFile(path);
    }

  private:
    std::string path;
    int saved;
};

std::string refusal(const std::string& path) {
    try {
        TiffPhoto tiff(path);
        tiff.readRect(0, 0, tiff.width(), tiff.height());
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(accepted)";
}

// Each unsupported or broken photo: one error naming the file and what is wrong, and
// nothing from libtiff on the standard error stream.
TEST_F(TiffPhotoTest, UnsupportedOrBrokenPhotosAreRefusedWithOneClearMessage) {
    const cv::Mat photo = samplePhoto(40, 30);
    cv::Mat wide;
    photo.convertTo(wide, CV_16UC3, 256);
    cv::Mat floats;
    photo.convertTo(floats, CV_32FC3);
    cv::Mat grey;
    cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    const std::string damaged = write("cut.tif", photo, {false, 0, 7, COMPRESSION_ADOBE_DEFLATE});
    ASSERT_EQ(::truncate(damaged.c_str(), 700), 0);
    {  // the directory comes first: the tiles are cut off
        TiledPhotoWriter writer(dir + "/cut-raw.tif", 40, 30, 16);
        writer.write(0, 0, photo);
        writer.commit();
    }
    ASSERT_EQ(::truncate((dir + "/cut-raw.tif").c_str(), 2000), 0);
    writeFile(dir + "/photo.png", "\x89PNG\r\n\x1a\n not really");
    writeFile(dir + "/empty.tif", "");
    writeFile(dir + "/bad-directory.tif", std::string("II*\0\xff\xff\xff\x0f", 8));
    writeTestTiff(dir + "/16.tif", wide, {false, 0, 7, 1, 16});
    writeTestTiff(dir + "/float.tif", floats, {false, 0, 7, 1, 32, SAMPLEFORMAT_IEEEFP});
    writeTestTiff(dir + "/signed.tif", photo, {false, 0, 7, 1, 8, SAMPLEFORMAT_INT});
    writeTestTiff(dir + "/palette.tif", grey,
                  {false, 0, 7, 1, 8, 1, PHOTOMETRIC_PALETTE, false, 1});
    writeTestTiff(dir + "/planar.tif", photo, {false, 16, 0, 1, 8, 1, PHOTOMETRIC_RGB, true});
    cv::Mat six;
    cv::merge(std::vector<cv::Mat>{photo, photo}, six);
    writeTestTiff(dir + "/six.tif", six, {false, 0, 7, 1, 8, 1, PHOTOMETRIC_RGB, false, 6});
    const std::pair<std::string, std::string> cases[] = {
        {"photo.png", "not a TIFF"},
        {"empty.tif", "not a TIFF"},
        {"missing.tif", "No such file"},
        {"", "it is a folder"},
        {"bad-directory.tif", "directory"},
        {"16.tif", "16-bit samples"},
        {"float.tif", "floating-point"},
        {"signed.tif", "signed samples"},
        {"palette.tif", "palette"},
        {"planar.tif", "planes stored separately"},
        {"six.tif", "6 samples per pixel"},
        {"cut.tif", "directory"},
        {"cut-raw.tif", "tile"},
    };
    CapturedStderr captured(dir + "/stderr");
    for (const auto& [name, what] : cases) {
        const std::string message = refusal(dir + "/" + name);
        EXPECT_EQ(message.rfind("cannot read photo '" + dir + "/" + name + "': ", 0), 0u)
            << message;
        EXPECT_NE(message.find(what), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    EXPECT_EQ(captured.release(), "");
}

}  // namespace
}  // namespace segmora
