// The program on bad and odd input files: every run either writes the right
// label file or fails cleanly (status 1, one line starting "Segmora: ", no
// label file, an earlier one untouched).
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "colour_image.h"
#include "program_runner.h"
#include "scratch_files.h"
#include "segment_image.h"

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

class BadInputs : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("segmora_bad_inputs");
        photo.create(12, 16);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) photo(y, x) = cv::Vec3b(x * 15, y * 20, (x / 5) * 90);
        }
        image = dir + "/photo.png";
        writeFile(image, encode(".png", photo));
        output = dir + "/labels.csv";
    }
    void TearDown() override { removeScratchDir(dir); }

    ProgramRun run(const std::vector<std::string>& words) {
        return runProgram(SEGMORA_PROGRAM, words, dir);
    }

    // The label file a run on this (decoded) colour image should write.
    static std::string labelsOf(const cv::Mat_<cv::Vec3b>& colour, const cv::Mat_<int>& regions,
                                int capDivisor) {
        int count = 0;
        cv::Mat_<int> labels;
        segmora::segmentImage(segmora::toEngineImage(segmora::toLab(colour)), 0, 500, count, labels,
                              capDivisor, regions);
        std::ostringstream text;
        text << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
        return text.str();
    }

    // Names in the scratch directory that belong to the label file,
    // including the hidden temporary files of an unfinished write.
    std::vector<std::string> labelFiles() {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        for (dirent* e = readdir(d); e != nullptr; e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.find("labels.csv") != std::string::npos) names.push_back(name);
        }
        closedir(d);
        return names;
    }

    // Runs twice, without and then with an earlier label file; both runs
    // must fail cleanly with a message that contains `culprit`.
    void expectCleanFailure(const std::vector<std::string>& words, const std::string& culprit,
                            const std::string& what) {
        SCOPED_TRACE(what);
        for (bool earlier : {false, true}) {
            std::remove(output.c_str());
            if (earlier) writeFile(output, "earlier result\n");
            const ProgramRun r = run(words);
            EXPECT_EQ(r.exitStatus, 1) << r.err;
            EXPECT_EQ(r.err.rfind("Segmora: ", 0), 0u) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_NE(r.err.find(culprit), std::string::npos) << r.err;
            EXPECT_EQ(r.out.find("Super-pixel num"), std::string::npos);
            if (earlier) {
                EXPECT_EQ(readFile(output), "earlier result\n");
                EXPECT_EQ(labelFiles(), std::vector<std::string>{"labels.csv"});
            } else {
                EXPECT_TRUE(labelFiles().empty());
            }
        }
        std::remove(output.c_str());
    }

    void expectLabels(const std::vector<std::string>& words, const std::string& labels,
                      const std::string& what) {
        SCOPED_TRACE(what);
        writeFile(output, "earlier result\n");
        const ProgramRun r = run(words);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(readFile(output), labels);
    }

    std::string dir, image, output;
    cv::Mat_<cv::Vec3b> photo;
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
    const std::string colourLabels = labelsOf(photo, ones, 500);
    const cv::Mat_<cv::Vec3b> pixel(1, 1, cv::Vec3b(9, 8, 7));
    struct Case {
        std::string name;
        cv::Mat picture;
        std::string labels;
    };
    const std::vector<Case> cases = {
        {"grey.png", green, labelsOf(grey, ones, 500)},
        {"deep.png", deep, colourLabels},
        {"alpha.png", withAlpha, colourLabels},
        {"photo.bmp", photo, colourLabels},
        {"photo.tiff", photo, colourLabels},
        {"pixel.png", pixel, labelsOf(pixel, cv::Mat_<int>(1, 1, 1), 500)},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeFile(path, encode(path.substr(path.rfind('.')), c.picture));
        expectLabels({"-i", path, "-o", output}, c.labels, c.name);
    }
}

// Region ids: left ten columns 4, the rest -9, one line per row.
std::string regionText(const std::string& lineEnd) {
    std::string text;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x)
            text += (x < 10 ? "4" : "-9") + std::string(x == 15 ? "" : " ");
        text += lineEnd;
    }
    return text;
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
    cv::Mat_<int> regions(12, 16);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) regions(y, x) = x < 10 ? 4 : -9;
    }
    const std::string expected = labelsOf(photo, regions, 3000);
    const std::string mark = "\xEF\xBB\xBF";
    for (const std::string& text : {regionText("\n"), regionText("\r\n"), mark + regionText("\n"),
                                    mark + regionText("\r\n") + "1 2 extra\r\n"}) {
        writeFile(dir + "/regions.txt", text);
        expectLabels({"-i", image, "-r", dir + "/regions.txt", "-o", output}, expected,
                     text.substr(0, 12));
    }
}

}  // namespace
