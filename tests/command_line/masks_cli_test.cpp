// Segmora -m / --mask: both reading rules, masked labels as the plain model gives them, the
// console line and the warning, and every bad mask refused with nothing written.
#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "cli_fixture.h"
#include "npy_array.h"
#include "photo_channels.h"
#include "scratch_files.h"
#include "segment_image_reference.h"

namespace {

class MaskCli : public CliTest {
  protected:
    MaskCli() : CliTest("masks_cli", gradientPhoto()) {}

    // A ring with a hole, a line one pixel thin and a lone pixel: 1 inside.
    static cv::Mat_<uint8_t> shape() {
        cv::Mat_<uint8_t> mask(12, 16, uint8_t{0});
        mask(cv::Rect(2, 2, 8, 8)).setTo(1);
        mask(cv::Rect(4, 4, 3, 3)).setTo(0);
        mask.row(11).setTo(1);
        mask(0, 15) = 1;
        return mask;
    }

    // The label file of the plain model: the reference on the graph without the mask's edges.
    std::string expected(const cv::Mat_<uint8_t>& mask, const cv::Mat_<int>& regions,
                         int capDivisor) const {
        cv::Mat_<int> labels;
        int count = 0;
        segmora::segmentImageReference(segmora::toEngineImage(segmora::toLab(photo)), 0.0f, 500.0f,
                                       count, labels, capDivisor, regions, 5, mask);
        std::ostringstream text;
        text << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
        return text.str();
    }

    std::string write(const std::string& file, const std::string& contents) const {
        writeFile(dir + "/" + file, contents);
        return dir + "/" + file;
    }

    std::string npy(const std::string& file, const std::string& descr, int rows, int cols,
                    const std::string& elements) const {
        std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" +
                             std::to_string(rows) + ", " + std::to_string(cols) + "), }";
        header.resize(117, ' ');
        header += '\n';
        return write(file, std::string("\x93NUMPY\x01\x00", 8) + std::string("\x76\x00", 2) +
                               header + elements);
    }
};

TEST_F(MaskCli, EveryFormGivesThePlainModelsLabels) {
    const cv::Mat_<uint8_t> mask = shape();
    const std::string labels = expected(mask, cv::Mat_<int>(), 500);
    const std::string text = write("mask.txt", regionFileText(cv::Mat_<int>(mask)));
    cv::Mat_<uint16_t> sixteen;
    mask.convertTo(sixteen, CV_16U, 300);
    ASSERT_TRUE(cv::imwrite(dir + "/mask16.png", sixteen));
    cv::Mat picture;
    cv::cvtColor(mask * 255, picture, cv::COLOR_GRAY2BGR);
    picture.at<cv::Vec3b>(3, 3) = cv::Vec3b(255, 255, 200);  // one byte not above 200: outside
    ASSERT_TRUE(cv::imwrite(dir + "/mask.png", picture));
    cv::Mat_<uint8_t> pictureMask = mask.clone();
    pictureMask(3, 3) = 0;
    std::string floats;
    for (uint8_t v : mask) {
        const float f = v;
        floats.append(reinterpret_cast<const char*>(&f), 4);
    }
    const std::string floatNpy = npy("mask.npy", "<f4", 12, 16, floats);
    for (const std::string& file : {text, dir + "/mask16.png", floatNpy}) {
        expectLabels({"-i", image, "-m", file, "-o", output}, labels, file);
        expectLabels({"-i", image, "--mask", file, "-o", output}, labels, file);
    }
    expectLabels({"-i", image, "-m", dir + "/mask.png", "-o", output},
                 expected(pictureMask, cv::Mat_<int>(), 500), "picture mask");
    expectLabels({"-i", image, "-r", write("regions.txt", regionFileText(leftRightRegions())), "-m",
                  text, "-o", output},
                 expected(mask, leftRightRegions(), 3000), "mask and regions");
}

TEST_F(MaskCli, AllOutsideSaysSoAndAPictureMaskOfZeroesAndOnesIsWarnedOf) {
    const cv::Mat_<uint8_t> mask = shape();
    ASSERT_TRUE(cv::imwrite(dir + "/zero-one.png", mask));  // 0/1 saved as an 8-bit picture
    ProgramRun r = run({"-i", image, "-m", dir + "/zero-one.png", "-o", output});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("Super-pixel num: 0\nThe mask keeps no pixel: every label is 0\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err.rfind("Segmora: warning: mask '" + dir +
                              "/zero-one.png' keeps 0 of 192 pixels: "
                              "a pixel of an 8-bit picture mask is inside when its blue, green and "
                              "red are all above 200",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(readFile(output), expected(cv::Mat_<uint8_t>(12, 16, uint8_t{0}), {}, 500));
    r = run({"-i", image, "-m", write("none.txt", regionFileText(cv::Mat_<int>(12, 16, 0)))});
    EXPECT_EQ(r.err, "");  // a mask of numbers says what it means: no warning
    EXPECT_NE(r.out.find("The mask keeps no pixel"), std::string::npos);
}

TEST_F(MaskCli, BadMasksAreOneErrorAndNothingIsWritten) {
    const std::string small = write("small.txt", "1 1\n1 1\n");
    const std::string empty = write("empty.png", "");
    std::string halves(12 * 16 * 8, '\0');
    const double value = 0.5;
    std::memcpy(&halves[8 * 17], &value, 8);
    const std::string bad = npy("bad.npy", "<f8", 12, 16, halves);
    std::string cube(12 * 16 * 3 * 4, '\0');
    std::string header = "{'descr': '<i4', 'fortran_order': False, 'shape': (12, 16, 3), }";
    header.resize(117, ' ');
    const std::string channels =
        write("channels.npy", std::string("\x93NUMPY\x01\x00\x76\x00", 10) + header + "\n" + cube);
    ASSERT_TRUE(cv::imwrite(dir + "/small16.png", cv::Mat(4, 5, CV_16UC1, cv::Scalar(1))));
    cv::Mat colour16(12, 16, CV_16UC3, cv::Scalar::all(1));
    ASSERT_TRUE(cv::imwrite(dir + "/colour16.png", colour16));
    struct Case {
        std::string mask, words;
    };
    for (const Case& c : std::vector<Case>{
             {small, "mask file '" + small + "' holds 4 numbers, but the image has 192 pixels"},
             {dir + "/small16.png",
              "mask file '" + dir + "/small16.png' is 5 x 4 pixels, but the image is 16 x 12"},
             {empty, "mask file '" + empty + "' is empty"},
             {bad, "mask file '" + bad +
                       "' holds 0.5 at row 1, column 1: a mask of "
                       "floating-point numbers holds only 0 and 1"},
             {channels, "mask file '" + channels + "' is not a two-dimensional array"},
             {dir + "/colour16.png", "mask file '" + dir + "/colour16.png'"},
             {dir + "/missing.png", "cannot read mask file '" + dir + "/missing.png'"},
             {dir, "mask file '" + dir + "' is a folder"}}) {
        expectCleanFailure({"-i", image, "-m", c.mask, "-o", output}, c.words, c.mask);
    }
}

}  // namespace
