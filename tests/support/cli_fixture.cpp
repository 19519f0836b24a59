#include "cli_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "photo_channels.h"
#include "scratch_files.h"
#include "segment_image_reference.h"

cv::Mat_<cv::Vec3b> gradientPhoto() {
    cv::Mat_<cv::Vec3b> photo(12, 16);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) photo(y, x) = cv::Vec3b(x * 15, y * 20, (x / 5) * 90);
    }
    return photo;
}

cv::Mat_<int> leftRightRegions() {
    cv::Mat_<int> regions(12, 16);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) regions(y, x) = x < 10 ? 4 : -9;
    }
    return regions;
}

std::string regionFileText(const cv::Mat_<int>& regions, const std::string& lineEnd) {
    std::string text;
    for (int y = 0; y < regions.rows; ++y) {
        for (int x = 0; x < regions.cols; ++x) {
            text += std::to_string(regions(y, x)) + (x + 1 == regions.cols ? lineEnd : " ");
        }
    }
    return text;
}

std::string expectedLabelFile(const cv::Mat_<cv::Vec3b>& colour, const cv::Mat_<int>& regions,
                              int capDivisor, int* count) {
    cv::Mat_<int> labels;
    int segments = 0;
    segmora::segmentImageReference(segmora::toEngineImage(segmora::toLab(colour)), 0.0f, 500.0f,
                                   segments, labels, capDivisor, regions);
    if (count != nullptr) *count = segments;
    std::ostringstream text;
    text << cv::format(labels, cv::Formatter::FMT_CSV) << "\n";
    return text.str();
}

CliTest::CliTest(const std::string& name, const cv::Mat_<cv::Vec3b>& photo)
    : name(name), photo(photo) {}

void CliTest::SetUp() {
    dir = makeScratchDir(name);
    image = dir + "/photo.png";
    ASSERT_TRUE(cv::imwrite(image, photo));
    output = dir + "/labels.csv";
}

void CliTest::TearDown() {
    removeScratchDir(dir);
}

ProgramRun CliTest::run(const std::vector<std::string>& words) const {
    return runProgram(SEGMORA_PROGRAM, words, dir);
}

std::string CliTest::program() {
    return SEGMORA_PROGRAM;
}

ProgramRun CliTest::runUnder(const std::string& setUp, const std::vector<std::string>& words,
                             const std::string& redirect) const {
    std::vector<std::string> arguments = {"-c", setUp + "; exec \"$@\" " + redirect, "sh",
                                          SEGMORA_PROGRAM};
    arguments.insert(arguments.end(), words.begin(), words.end());
    return runProgram("/bin/sh", arguments, dir);
}

std::vector<std::string> CliTest::labelFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string entryName = entry.path().filename().string();
        if (entryName.find("labels.csv") != std::string::npos) names.push_back(entryName);
    }
    return names;
}

void CliTest::expectCleanFailure(const std::vector<std::string>& words, const std::string& culprit,
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

void CliTest::expectLabels(const std::vector<std::string>& words, const std::string& labels,
                           const std::string& what) {
    SCOPED_TRACE(what);
    writeFile(output, "earlier result\n");
    const ProgramRun r = run(words);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(output), labels);
}
