#pragma once

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "program_runner.h"

// A 12 x 16 colour gradient with a few sharp steps: it segments into a
// handful of superpixels.
cv::Mat_<cv::Vec3b> gradientPhoto();

// Region ids for a 12 x 16 image: the left ten columns 4, the rest -9.
cv::Mat_<int> leftRightRegions();

// A region file holding `regions`, one line per row, numbers separated by
// single spaces, each line ended by `lineEnd`.
std::string regionFileText(const cv::Mat_<int>& regions, const std::string& lineEnd = "\n");

// The label file the program must write for this decoded colour image with
// threshold 500, no smoothing and minimum size 5, as the reference path
// computes it (never the engine), in OpenCV's CSV rendering; `count`
// receives the superpixel count when given.
std::string expectedLabelFile(const cv::Mat_<cv::Vec3b>& colour, const cv::Mat_<int>& regions,
                              int capDivisor, int* count = nullptr);

// A scratch directory holding `photo` as photo.png, and runs of the built
// program in it. `output` names the label file the runs may write.
class CliTest : public ::testing::Test {
  public:
    // The program's path, for runs a test starts itself.
    static std::string program();

  protected:
    CliTest(const std::string& name, const cv::Mat_<cv::Vec3b>& photo);
    void SetUp() override;
    void TearDown() override;

    ProgramRun run(const std::vector<std::string>& words) const;
    // Runs the program from /bin/sh after the shell commands `setUp` (limits, signal
    // dispositions); `redirect` (e.g. ">> log") applies to the program.
    ProgramRun runUnder(const std::string& setUp, const std::vector<std::string>& words,
                        const std::string& redirect = "") const;

    // Runs twice, without and then with an earlier label file; both runs
    // must fail cleanly: status 1, one line "Segmora: ..." containing
    // `culprit`, no count printed, no label file (not even a half-written
    // temporary one) and an earlier one untouched.
    void expectCleanFailure(const std::vector<std::string>& words, const std::string& culprit,
                            const std::string& what);
    // A run that must succeed silently and leave `labels` in the label file.
    void expectLabels(const std::vector<std::string>& words, const std::string& labels,
                      const std::string& what);

    const std::string name;
    std::string dir, image, output;
    const cv::Mat_<cv::Vec3b> photo;

  private:
    // Names in the scratch directory that belong to the label file,
    // including the hidden temporary files of an unfinished write.
    std::vector<std::string> labelFiles() const;
};
