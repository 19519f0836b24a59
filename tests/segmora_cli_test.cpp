#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "colour_image.h"
#include "program_runner.h"
#include "scratch_files.h"
#include "segment_image.h"

namespace {

const std::string kUsage = "Usage: \nSegmora.exe [-i input_image_path] [-o output_path]\n";

class SegmoraCli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = makeScratchDir("segmora_cli");
        image = dir + "/photo.png";
        cv::Mat_<cv::Vec3b> pixels(12, 16);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) pixels(y, x) = cv::Vec3b(x * 15, y * 20, (x / 5) * 90);
        }
        cv::imwrite(image, pixels);
        output = dir + "/labels.csv";
    }
    void TearDown() override { removeScratchDir(dir); }

    ProgramRun run(const std::vector<std::string>& words) {
        return runProgram(SEGMORA_PROGRAM, words, dir);
    }

    // The label file the program should write for `image`.
    std::string expectedLabels(const cv::Mat_<int>& regions, int capDivisor, int& count) {
        auto engineImage = segmora::toEngineImage(segmora::toLab(segmora::readColourImage(image)));
        cv::Mat_<int> labels;
        segmora::segmentImage(engineImage, 0, 500, count, labels, capDivisor, regions);
        std::ostringstream text;
        text << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
        return text.str();
    }

    // Runs with arguments that must fail: status 1, one message naming
    // `culprit`, no output file and an earlier one left as it was.
    void expectFailure(const std::vector<std::string>& words, const std::string& culprit) {
        writeFile(output, "earlier result\n");
        ProgramRun r = run(words);
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_EQ(r.err.rfind("Segmora: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(culprit), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(readFile(output), "earlier result\n");
    }

    std::string dir, image, output;
};

TEST_F(SegmoraCli, UsageForTooFewWordsOrADanglingOption) {
    for (const auto& words :
         std::vector<std::vector<std::string>>{{}, {"-i"}, {"-i", image, "-o"}}) {
        ProgramRun r = run(words);
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(SegmoraCli, WritesLabelFileAndExactConsoleLines) {
    ProgramRun r = run({"-m", "mask.png", "-x", "y", "-o", output, "-i", image});
    int count = 0;
    const std::string expected = expectedLabels(cv::Mat_<int>(12, 16, 1), 500, count);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "output_path: " + output + "\nimage_path: " + image +
                         "\nSegment the image...\nSuper-pixel num: " + std::to_string(count) +
                         "\n");
    EXPECT_EQ(readFile(output), expected);
}

TEST_F(SegmoraCli, WithoutOutputPathNoFileIsWritten) {
    ProgramRun r = run({"-i", image, "-r", ""});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("Segment")),
              "image_path: " + image + "\nregion_file_path: \n");
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(SegmoraCli, RegionFileSetsIdsAndDivisor) {
    // Left ten columns region 4, the rest region -9, one line per row.
    std::string text;
    cv::Mat_<int> regions(12, 16);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            regions(y, x) = x < 10 ? 4 : -9;
            text += std::to_string(regions(y, x)) + (x == 15 ? "\n" : " ");
        }
    }
    writeFile(dir + "/regions.txt", text);
    ProgramRun r = run({"-i", image, "-r", dir + "/regions.txt", "-o", output});
    int count = 0;
    EXPECT_EQ(readFile(output), expectedLabels(regions, 3000, count));
    EXPECT_NE(r.out.find("Super-pixel num: " + std::to_string(count) + "\n"), std::string::npos);
}

TEST_F(SegmoraCli, BadInputsFailCleanly) {
    writeFile(dir + "/text.png", "not an image");
    writeFile(dir + "/short.txt", "1 2 3");
    writeFile(dir + "/word.txt", "1 2 three");
    expectFailure({"-o", output, "-r", ""}, "-i");
    expectFailure({"-i", dir + "/none.png", "-o", output}, dir + "/none.png");
    expectFailure({"-i", dir + "/text.png", "-o", output}, dir + "/text.png");
    expectFailure({"-i", dir, "-o", output}, dir);
    expectFailure({"-i", image, "-r", dir + "/none.txt", "-o", output}, dir + "/none.txt");
    expectFailure({"-i", image, "-r", dir + "/short.txt", "-o", output},
                  "number 4 (row 0, column 3)");
    expectFailure({"-i", image, "-r", dir + "/word.txt", "-o", output}, "'three'");
    expectFailure({"-i", image, "-o", dir + "/no/such/dir.csv"}, dir + "/no/such/dir.csv");
    ProgramRun full = run({"-i", image, "-o", "/dev/full"});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_NE(full.err.find("Segmora: cannot write label file '/dev/full'"), std::string::npos);
}

}  // namespace
