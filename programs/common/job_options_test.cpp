// The knobs' ranges and messages and the option grammar every program shares: each program's
// own option tests only check that these words reach this code.
#include "job_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "option_words.h"

namespace segmora {
namespace {

// The message setJobOption throws for `value`, "" when it takes it.
std::string refusal(const std::string& option, const std::string& value) {
    PhotoJob job;
    try {
        setJobOption(job, option, value);
    } catch (const BadOptionValue& e) {
        return e.what();
    }
    return "";
}

TEST(JobOptions, EachKnobTakesItsRangeAndNothingElse) {
    struct Case {
        std::string option;
        std::vector<std::string> taken, refused;
        std::string wants;
    };
    const std::vector<Case> cases = {
        {"--threshold",
         {"0", "500", "8e2", "1.5", "3.4e38"},
         {"-1", "x", "", "inf", "1,5"},
         "a number from 0 up"},
        {"--sigma", {"0", "0.5", "100"}, {"100.01", "-0.5", "nan"}, "a number from 0 to 100"},
        {"--cap-divisor",
         {"1", "500", "2147483647"},
         {"0", "1.5", "1e3", "-3"},
         "a whole number from 1 up"},
        {"--min-size", {"0", "5"}, {"-1", "0.5", " 5"}, "a whole number from 0 up"},
        {"--format", {"csv", "png", "npy", "tiff"}, {"jpg", "CSV", ""}, "csv, png, npy or tiff"},
        {"--boundary-mode", {"thin", "thick"}, {"Thin", ""}, "thin or thick"},
        {"--boundary-colour",
         {"0,0,0", "255,128,1"},
         {"256,0,0", "1,2", "1,2,3,4", "+1,2,3"},
         "red,green,blue, three whole numbers from 0 to 255"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(isJobOption(c.option)) << c.option;
        for (const std::string& value : c.taken) EXPECT_EQ(refusal(c.option, value), "") << value;
        for (const std::string& value : c.refused) {
            EXPECT_EQ(refusal(c.option, value),
                      c.option + " wants " + c.wants + ", not '" + value + "'");
        }
    }
    // Numbers beyond the largest the knob's type holds say that largest.
    EXPECT_EQ(refusal("--threshold", "1e39"),
              "--threshold wants a number from 0 to 3.4028235e38 (the largest single-precision "
              "float), not '1e39'");
    EXPECT_EQ(refusal("--min-size", "3000000000"),
              "--min-size wants a whole number from 0 to 2147483647, not '3000000000'");
}

TEST(JobOptions, ValuesLandInTheJob) {
    PhotoJob job;
    setJobOption(job, "--threshold", "250");
    setJobOption(job, "--sigma", "0.5");
    setJobOption(job, "--cap-divisor", "40");
    setJobOption(job, "--min-size", "0");
    setJobOption(job, "--format", "npy");
    setJobOption(job, "--region-colour", "1,2,3");
    setJobOption(job, "--boundary-mode", "thick");
    setJobFlag(job, "--ignore-orientation");
    EXPECT_EQ(job.parameters.threshold, 250.0f);
    EXPECT_EQ(job.parameters.sigma, 0.5f);
    EXPECT_EQ(job.parameters.capDivisor, 40);
    EXPECT_EQ(job.parameters.minSize, 0);
    EXPECT_EQ(job.labelFormat, LabelFormat::Npy);
    EXPECT_EQ(job.pictureStyle.regionColour, cv::Vec3b(3, 2, 1)) << "stored blue, green, red";
    EXPECT_EQ(job.pictureStyle.mode, BoundaryMode::Thick);
    EXPECT_EQ(job.orientation, Orientation::Ignore);
    EXPECT_FALSE(isJobOption("--ignore-orientation"));
    EXPECT_TRUE(isJobFlag("--ignore-orientation"));
    EXPECT_THROW(setJobOption(job, "--jobs", "2"), std::logic_error) << "not a photo option";
}

TEST(JobOptions, UsageLinesKeepTheirColumn) {
    const std::string usage = jobOptionsUsage(2, 20, "by extension");
    EXPECT_EQ(
        usage.find("  --threshold T     merges within the size cap: lower splits more (default "
                   "500)\n"),
        0u);
    // A description of two lines goes on at the column; a name reaching it, on the next line.
    EXPECT_NE(usage.find("\n                    so about N or more of them (default 500, 3000 with "
                         "regions)\n"),
              std::string::npos);
    EXPECT_NE(usage.find("  --boundary-colour R,G,B\n                    -v's superpixel"),
              std::string::npos);
    EXPECT_NE(usage.find("csv, png, npy or tiff (default: by extension)\n"), std::string::npos);
}

TEST(OptionWords, SplitsJoinedValuesAndReadsCounts) {
    EXPECT_EQ(splitOptionWord("--threshold=300").joined, "300");
    EXPECT_EQ(splitOptionWord("--threshold=").joined, "");
    EXPECT_EQ(splitOptionWord("--threshold").joined, std::nullopt);
    EXPECT_EQ(splitOptionWord("-j4").name, "-j");
    EXPECT_EQ(splitOptionWord("-j4").joined, "4");
    EXPECT_EQ(splitOptionWord("-j").joined, std::nullopt);
    EXPECT_EQ(splitOptionWord("-").name, "-");
    EXPECT_EQ(parseCount("12"), 12);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1.0", "99999999999"}) {
        EXPECT_EQ(parseCount(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace segmora
