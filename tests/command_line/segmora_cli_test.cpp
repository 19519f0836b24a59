#include <gtest/gtest.h>

#include <cstdio>
#include <opencv2/imgcodecs.hpp>

#include "cli_fixture.h"
#include "scratch_files.h"

namespace {

const std::string kUsage = "Usage: \nSegmora.exe [-i input_image_path] [-o output_path]\n";

class SegmoraCli : public CliTest {
  protected:
    SegmoraCli() : CliTest("segmora_cli", gradientPhoto()) {}
};

TEST_F(SegmoraCli, UsageForTooFewWords) {
    for (const auto& words : std::vector<std::vector<std::string>>{{}, {"-i"}}) {
        ProgramRun r = run(words);
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(SegmoraCli, UnknownOrDanglingOptionsAreErrorsNamingThemAndNothingIsWritten) {
    struct Case {
        std::vector<std::string> words;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-i", image, "-o"}, "option -o wants a value"},
        {{"-i", image, "--output", output}, "unknown option '--output'"},
        {{"-x", "y", "-o", output, "-i", image}, "unknown option '-x'"},
        {{"-i", image, "-k", "100", "-o", output}, "unknown option '-k'"},
        {{"-o", output, "-i", image, "stray"}, "unknown option 'stray'"},
    };
    for (const Case& c : cases) {
        ProgramRun r = run(c.words);
        EXPECT_EQ(r.exitStatus, 255) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(r.err, "Segmora: " + c.message + "; see Segmora --help\n");
        EXPECT_EQ(entryCount(dir), 1) << c.message;
    }
}

TEST_F(SegmoraCli, HelpListsEveryOptionOnStandardOutput) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"-h"}, {"--help"}, {"-i", image, "-o", output, "--help"}}) {
        ProgramRun r = run(words);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: Segmora -i IMAGE", 0), 0u) << r.out;
        for (const char* option : {"\n  -i ", "\n  -o ", "\n  -r ", "\n  -v ", "\n  -m, --mask ",
                                   "\n  --threshold ", "\n  --sigma ", "\n  --cap-divisor ",
                                   "\n  --min-size ", "\n  --format ", "\n  -h, --help "}) {
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
        }
        EXPECT_EQ(entryCount(dir), 1);
    }
}

TEST_F(SegmoraCli, WritesLabelFileAndExactConsoleLines) {
    // A white mask keeps every pixel: the labels are those without a mask.
    ASSERT_TRUE(cv::imwrite(dir + "/mask.png", cv::Mat(12, 16, CV_8UC3, cv::Scalar::all(255))));
    ProgramRun r = run({"-m", dir + "/mask.png", "-o", output, "-i", image});
    int count = 0;
    const std::string expected = expectedLabelFile(photo, cv::Mat_<int>(12, 16, 1), 500, &count);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "output_path: " + output + "\nimage_path: " + image +
                         "\nSegment the image...\nSuper-pixel num: " + std::to_string(count) +
                         "\n");
    EXPECT_EQ(readFile(output), expected);
}

// SEGMORA_THREADS is a whole number of at least 1, or unset or empty; anything else is one
// error line, not taken silently as the default.
TEST_F(SegmoraCli, ThreadsFromTheEnvironmentAreCheckedAndNeverChangeTheLabels) {
    const std::string expected = expectedLabelFile(photo, cv::Mat_<int>(12, 16, 1), 500);
    for (const char* setting : {"", "1", "3", "0064", "99999999999999999999"}) {
        const ProgramRun r = runUnder(std::string("export SEGMORA_THREADS='") + setting + "'",
                                      {"-o", output, "-i", image});
        EXPECT_EQ(r.exitStatus, 0) << setting << ": " << r.err;
        EXPECT_EQ(readFile(output), expected) << setting;
    }
    std::remove(output.c_str());
    for (const char* setting : {"abc", "0", "-1", "2x", " 4", "1e3"}) {
        const ProgramRun r = runUnder(std::string("export SEGMORA_THREADS='") + setting + "'",
                                      {"-o", output, "-i", image});
        EXPECT_EQ(r.exitStatus, 1) << setting;
        EXPECT_EQ(r.err, std::string("Segmora: SEGMORA_THREADS must be a whole number of at least "
                                     "1, not '") +
                             setting + "'\n");
        EXPECT_FALSE(fileExists(output)) << setting;
    }
}

TEST_F(SegmoraCli, WithoutOutputPathNoFileIsWritten) {
    ProgramRun r = run({"-i", image, "-r", ""});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("Segment")),
              "image_path: " + image + "\nregion_file_path: \n");
    EXPECT_EQ(entryCount(dir), 1);
}

TEST_F(SegmoraCli, RegionFileSetsIdsAndDivisor) {
    const cv::Mat_<int> regions = leftRightRegions();
    writeFile(dir + "/regions.txt", regionFileText(regions));
    ProgramRun r = run({"-i", image, "-r", dir + "/regions.txt", "-o", output});
    int count = 0;
    EXPECT_EQ(readFile(output), expectedLabelFile(photo, regions, 3000, &count));
    EXPECT_NE(r.out.find("Super-pixel num: " + std::to_string(count) + "\n"), std::string::npos);
}

TEST_F(SegmoraCli, BadInputsFailCleanly) {
    writeFile(dir + "/text.png", "not an image");
    writeFile(dir + "/short.txt", "1 2 3");
    writeFile(dir + "/word.txt", "1 2 three");
    struct Case {
        std::vector<std::string> words;
        std::string culprit;
    };
    const std::vector<Case> cases = {
        {{"-o", output, "-r", ""}, "-i"},
        {{"-i", dir + "/none.png", "-o", output}, dir + "/none.png"},
        {{"-i", dir + "/text.png", "-o", output}, dir + "/text.png"},
        {{"-i", dir, "-o", output}, dir},
        {{"-i", image, "-r", dir + "/none.txt", "-o", output}, dir + "/none.txt"},
        {{"-i", image, "-r", dir + "/short.txt", "-o", output}, "number 4 (row 0, column 3)"},
        {{"-i", image, "-r", dir + "/word.txt", "-o", output}, "'three'"},
        {{"-i", image, "-o", dir + "/no/such/dir.csv"}, dir + "/no/such/dir.csv"},
    };
    for (const Case& c : cases) expectCleanFailure(c.words, c.culprit, c.culprit);
    ProgramRun full = run({"-i", image, "-o", "/dev/full"});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_NE(full.err.find("Segmora: cannot write label file '/dev/full'"), std::string::npos);
}

}  // namespace
