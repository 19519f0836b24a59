// The program on bad and odd input files: every run either writes the right
// label file or fails cleanly (status 1, one line starting "Segmora: ", no
// label file, an earlier one untouched).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

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

// `bytes` with the big-endian or little-endian number `value` of `count` bytes at `at`.
std::string patched(std::string bytes, size_t at, uint64_t value, int count, bool bigEndian) {
    for (int i = 0; i < count; ++i) {
        const int shift = 8 * (bigEndian ? count - 1 - i : i);
        bytes.at(at + i) = static_cast<char>(value >> shift);
    }
    return bytes;
}

// Headers of several formats claiming sizes of 2^29 pixels or more, followed by a few
// bytes of pixel data: each names the size the message must give.
struct ClaimedSize {
    std::string name, bytes, size;
};

std::vector<ClaimedSize> oversizedHeaders(const cv::Mat& photo) {
    std::string jpeg = encode(".jpg", photo);
    const size_t frame = jpeg.find("\xFF\xC0");
    jpeg = patched(patched(jpeg, frame + 5, 60000, 2, true), frame + 7, 50000, 2, true);
    const std::string bmp = encode(".bmp", photo);
    std::string tiff("II*\0\x08\0\0\0\x02\0", 10);  // two directory entries follow
    tiff += patched(std::string("\0\x01\x04\0\x01\0\0\0\0\0\0\0", 12), 8, 70000, 4, false);
    tiff += patched(std::string("\x01\x01\x03\0\x01\0\0\0\0\0\0\0", 12), 8, 9000, 2, false);
    const std::string pixels(64, '\x7f');
    return {
        {"wide.png", pngClaiming(30000, 30000), "30000 x 30000"},
        {"tall.png", pngClaiming(1, 1u << 29), "1 x 536870912"},
        {"huge.png", pngClaiming(100000, 100000), "100000 x 100000"},
        {"large.jpg", jpeg, "50000 x 60000"},
        {"large.bmp", patched(patched(bmp, 18, 40000, 4, false), 22, -20000, 4, false),
         "40000 x 20000"},
        {"large.tiff", tiff + pixels, "70000 x 9000"},
        {"large.ppm", "P6\n# made by hand\n25000 25000\n255\n" + pixels, "25000 x 25000"},
        {"large.pam", "P7\nWIDTH 30000\nHEIGHT 20000\nDEPTH 3\nMAXVAL 255\nENDHDR\n" + pixels,
         "30000 x 20000"},
        {"large.hdr", "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 20000 +X 30000\n" + pixels,
         "30000 x 20000"},
    };
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

// Only the order of a text map's numbers counts; lines that are exactly the transposed
// table's are still read in order, with a warning (the photo's shape differs).
TEST_F(BadInputs, TransposedTextMapIsReadInOrderWithAWarning) {
    const cv::Mat_<int> regions = leftRightRegions();
    const std::string expected = expectedLabelFile(photo, regions, 3000);
    std::string transposed, oneLine;
    for (int i = 0; i < regions.rows * regions.cols; ++i) {
        const std::string number = std::to_string(regions(i / regions.cols, i % regions.cols));
        transposed += number + ((i + 1) % regions.rows == 0 ? "\n" : " ");
        oneLine += number + " ";
    }
    const std::string path = dir + "/regions.txt";
    writeFile(path, transposed);
    ProgramRun result = run({"-i", image, "-r", path, "-o", output});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err,
              "Segmora: warning: region file '" + path + "' has " + std::to_string(regions.cols) +
                  " lines of " + std::to_string(regions.rows) + " numbers, the photo " +
                  std::to_string(regions.rows) + " rows of " + std::to_string(regions.cols) +
                  " pixels: its numbers are taken in order, row after row, not as a "
                  "transposed table\n");
    EXPECT_TRUE(readFile(output) == expected);
    writeFile(path, oneLine);  // reshaped otherwise: no warning
    expectLabels({"-i", image, "-r", path, "-o", output}, expected, "one line");
}

TEST_F(BadInputs, OversizedImagesAreRefusedFromTheirHeader) {
    // The headers claim sizes whose pixels would take gigabytes; the refusal must come from
    // the header alone, with the size named, before the decoder reads any pixel.
    for (const ClaimedSize& c : oversizedHeaders(photo)) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, c.bytes);
        expectCleanFailure({"-i", path, "-o", output},
                           "cannot read image '" + path + "': " + c.size +
                               " pixels is too large (the limit is 2^29 pixels)",
                           c.name);
    }
    // Just below the limit the header passes and the decoder judges the (cut) file.
    const std::string below = dir + "/below.png";
    writeFile(below, pngClaiming(1u << 14, (1u << 15) - 1));
    expectCleanFailure({"-i", below, "-o", output}, "not a readable image format", "below");
}

TEST_F(BadInputs, RegionTokensHaveABoundedLength) {
    const std::string good = regionText("\n");
    const std::string zeros63(63, '0'), zeros65(65, '0');
    // Leading zeros are fine while the token stays within 64 bytes.
    ASSERT_EQ(good[0], '4');
    writeFile(dir + "/regions.txt", zeros63 + good);
    expectLabels({"-i", image, "-r", dir + "/regions.txt", "-o", output},
                 expectedLabelFile(photo, leftRightRegions(), 3000), "64 bytes");
    struct Case {
        std::string name, path, culprit;
    };
    const std::string sparse = dir + "/sparse.txt";
    const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{3} << 30), 0);  // 3 GB of zero bytes, no disk space
    ::close(fd);
    writeFile(dir + "/long.txt", "4 " + zeros65 + "4 " + good);
    writeFile(dir + "/digits.txt", std::string(1 << 20, '7'));
    const std::vector<Case> cases = {
        {"endless zeros", "/dev/zero", "it is not a regular file but a device"},
        {"sparse file", sparse, "number 1 (row 0, column 0) is not a whole number"},
        {"65 bytes", dir + "/long.txt", "number 2 (row 0, column 1) is not a whole number"},
        {"a megabyte of digits", dir + "/digits.txt",
         "number 1 (row 0, column 0) is not a whole number in the 32-bit range: "
         "'777777777777777777777777...'"},
    };
    for (const Case& c : cases) {
        expectCleanFailure({"-i", image, "-r", c.path, "-o", output},
                           "region file '" + c.path + "': " + c.culprit, c.name);
    }
}

TEST_F(BadInputs, RunningOutOfMemoryNamesThePhoto) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    // 300 MB of address space: enough for the program and a small photo, too little to
    // segment 3000 x 3000 pixels.
    const std::string large = dir + "/large.png";
    cv::Mat_<cv::Vec3b> big;
    cv::resize(photo, big, cv::Size(3000, 3000), 0, 0, cv::INTER_LINEAR);
    ASSERT_TRUE(cv::imwrite(large, big));
    const ProgramRun small = runUnder("ulimit -v 300000", {"-i", image, "-o", output});
    EXPECT_EQ(small.exitStatus, 0) << small.err;
    std::remove(output.c_str());
    const ProgramRun r = runUnder("ulimit -v 300000", {"-i", large, "-o", output});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "Segmora: out of memory while segmenting '" + large + "'\n");
    EXPECT_FALSE(fileExists(output));
    EXPECT_EQ(entryCount(dir), 2);  // the two photos, no temporary file
#endif
}

}  // namespace
