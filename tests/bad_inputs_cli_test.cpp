// The program on bad and odd input files: every run either writes the right
// label file or fails cleanly (status 1, one line starting "Segmora: ", no
// label file, an earlier one untouched).
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

// CRC-32 of PNG chunks (polynomial 0xEDB88320).
uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

std::string encode(const std::string& extension, const cv::Mat& image) {
    std::vector<uchar> bytes;
    cv::imencode(extension, image, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// A valid PNG whose header claims width x height pixels (the CRC matches).
std::string pngClaiming(uint32_t width, uint32_t height) {
    std::string png = encode(".png", cv::Mat_<cv::Vec3b>(1, 1, cv::Vec3b(1, 2, 3)));
    putBigEndian(png, 16, width);  // IHDR data follows the signature, length and type
    putBigEndian(png, 20, height);
    putBigEndian(png, 29, crc32(png.substr(12, 17)));
    return png;
}

class BadInputs : public CliTest {
  protected:
    BadInputs() : CliTest("segmora_bad_inputs", gradientPhoto()) {}
};

TEST_F(BadInputs, UndecodableImagesFailCleanly) {
    const std::string png = readFile(image);
    const std::string jpeg = encode(".jpg", photo);
    struct Case {
        std::string name, contents, culprit;
    };
    const std::vector<Case> cases = {
        {"empty.png", "", "not a readable image format"},
        {"text.png", "just some words\n", "not a readable image format"},
        {"truncated.png", png.substr(0, png.size() / 2), "not a readable image format"},
        {"header-only.png", png.substr(0, 40), "not a readable image format"},
        {"truncated.jpg", jpeg.substr(0, jpeg.size() / 2), "not a readable image format"},
        {"header-only.jpg", jpeg.substr(0, 100), "not a readable image format"},
        {"huge.png", pngClaiming(100000, 100000), "the decoder rejected it"},
        {"zero-width.png", pngClaiming(0, 5), "not a readable image format"},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, c.contents);
        expectCleanFailure({"-i", path, "-o", output},
                           "cannot read image '" + path + "': " + c.culprit, c.name);
    }
    expectCleanFailure({"-i", dir, "-o", output}, "it is a directory", "directory");
    expectCleanFailure({"-i", dir + "/missing.png", "-o", output}, "No such file", "missing");
}

TEST_F(BadInputs, OddButValidImagesAreSegmented) {
    // Each file decodes to `photo` (or, for grey levels, to its green
    // channel repeated), so the labels must be those of that colour image.
    cv::Mat_<uchar> green(photo.rows, photo.cols);
    cv::Mat_<cv::Vec3w> deep(photo.rows, photo.cols);
    cv::Mat_<cv::Vec4b> withAlpha(photo.rows, photo.cols);
    for (int y = 0; y < photo.rows; ++y) {
        for (int x = 0; x < photo.cols; ++x) {
            const cv::Vec3b p = photo(y, x);
            green(y, x) = p[1];
            deep(y, x) = cv::Vec3w(p[0] * 257, p[1] * 257, p[2] * 257);
            withAlpha(y, x) = cv::Vec4b(p[0], p[1], p[2], static_cast<uchar>(x * 16));
        }
    }
    cv::Mat_<cv::Vec3b> grey;
    cv::cvtColor(green, grey, cv::COLOR_GRAY2BGR);
    const cv::Mat_<int> ones(photo.rows, photo.cols, 1);
    const std::string colourLabels = expectedLabelFile(photo, ones, 500);
    const cv::Mat_<cv::Vec3b> pixel(1, 1, cv::Vec3b(9, 8, 7));
    struct Case {
        std::string name;
        cv::Mat picture;
        std::string labels;
    };
    const std::vector<Case> cases = {
        {"grey.png", green, expectedLabelFile(grey, ones, 500)},
        {"deep.png", deep, colourLabels},
        {"alpha.png", withAlpha, colourLabels},
        {"photo.bmp", photo, colourLabels},
        {"photo.tiff", photo, colourLabels},
        {"pixel.png", pixel, expectedLabelFile(pixel, cv::Mat_<int>(1, 1, 1), 500)},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, encode(path.substr(path.rfind('.')), c.picture));
        expectLabels({"-i", path, "-o", output}, c.labels, c.name);
    }
}

std::string regionText(const std::string& lineEnd) {
    return regionFileText(leftRightRegions(), lineEnd);
}

TEST_F(BadInputs, MalformedRegionFilesFailCleanly) {
    const std::string good = regionText("\n");
    struct Case {
        std::string name, contents, culprit;
    };
    const std::vector<Case> cases = {
        {"empty", "", "holds 0 numbers"},
        {"short", "1 2 3 4 5", "holds 5 numbers, but the image has 192 pixels"},
        {"word", "4 4 four" + good, "number 3 (row 0, column 2) is not a whole number"},
        {"fraction", "7.5 " + good, "'7.5'"},
        {"exponent", "4 1e3 " + good, "'1e3'"},
        {"too large", "2147483648 " + good, "'2147483648'"},
        {"too small", "4 -2147483649 " + good, "'-2147483649'"},
        {"many digits", "99999999999999999999999999999999 " + good,
         "'999999999999999999999999...'"},
        {"binary", std::string("\x00\x01\xff\xfe\x89PNG", 8) + good, "number 1 (row 0, column 0)"},
        {"partial mark", "\xEF\xBB" + good, "'??4'"},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/regions.txt";
        writeFile(path, c.contents);
        expectCleanFailure({"-i", image, "-r", path, "-o", output}, c.culprit, c.name);
    }
    expectCleanFailure({"-i", image, "-r", dir, "-o", output}, "it is a directory", "directory");
}

TEST_F(BadInputs, CrlfLineEndsAndByteOrderMarkReadLikePlainText) {
    const std::string expected = expectedLabelFile(photo, leftRightRegions(), 3000);
    const std::string mark = "\xEF\xBB\xBF";
    for (const std::string& text : {regionText("\n"), regionText("\r\n"), mark + regionText("\n"),
                                    mark + regionText("\r\n") + "1 2 extra\r\n"}) {
        writeFile(dir + "/regions.txt", text);
        expectLabels({"-i", image, "-r", dir + "/regions.txt", "-o", output}, expected,
                     text.substr(0, 12));
    }
}

}  // namespace
