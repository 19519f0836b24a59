#include "batch_options.h"

#include <gtest/gtest.h>

#include <functional>

namespace segmora {
namespace {

TEST(ShardText, AcceptsEveryIndexBelowTheCount) {
    for (const auto& [text, index, count] :
         {std::tuple{"0/1", 0, 1}, std::tuple{"3/4", 3, 4}, std::tuple{"0/1000", 0, 1000},
          std::tuple{"007/10", 7, 10}}) {
        const std::optional<Shard> shard = parseShard(text);
        ASSERT_TRUE(shard) << text;
        EXPECT_EQ(shard->index, index) << text;
        EXPECT_EQ(shard->count, count) << text;
    }
}

TEST(ShardText, RefusesAnythingElse) {
    for (const char* text :
         {"4/4", "5/4", "1/0", "0/0", "-1/4", "+1/4", "1/-4", " 1/4", "1/4 ", "1/", "/4", "1",
          "1/2/3", "a/b", "1.0/2", "99999999999/1", "0/99999999999", ""}) {
        EXPECT_FALSE(parseShard(text)) << "'" << text << "'";
    }
}

TEST(BatchCommandLine, ReadsEveryOption) {
    const BatchOptions options =
        parseBatchOptions({"-j", "3", "-o", "out", "a.png", "-r", "regions", "-v", "pictures",
                           "--shard", "1/5", "--resume", "photos", "--mean-pictures=means",
                           "--boundary-mode", "thick", "--region-colour=1,2,3", "-"});
    EXPECT_EQ(options.outputDir, "out");
    EXPECT_EQ(options.regionDir, "regions");
    EXPECT_EQ(options.pictureDir, "pictures");
    EXPECT_EQ(options.meanPictureDir, "means");
    EXPECT_EQ(options.photoJob.pictureStyle.mode, BoundaryMode::Thick);
    EXPECT_EQ(options.photoJob.pictureStyle.regionColour, cv::Vec3b(3, 2, 1));
    EXPECT_EQ(options.jobs, 3);
    EXPECT_EQ(options.shard.index, 1);
    EXPECT_EQ(options.shard.count, 5);
    EXPECT_TRUE(options.resume);
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.png", "photos", "-"}));
}

TEST(BatchCommandLine, IgnoreOrientationIsAFlag) {
    EXPECT_EQ(parseBatchOptions({"-o", "out", "a.png"}).photoJob.orientation, Orientation::Apply);
    const BatchOptions options = parseBatchOptions({"--ignore-orientation", "-o", "out", "a.png"});
    EXPECT_EQ(options.photoJob.orientation, Orientation::Ignore);
    EXPECT_EQ(options.inputs, std::vector<std::string>{"a.png"});
    try {
        parseBatchOptions({"--ignore-orientation=yes", "-o", "out", "a.png"});
        ADD_FAILURE() << "a value was taken";
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(),
                     "--ignore-orientation takes no value, not '--ignore-orientation=yes'");
    }
}

TEST(BatchCommandLine, DefaultsAndInputsAfterDoubleDash) {
    const BatchOptions options = parseBatchOptions({"-o", "out", "--", "-o", "--resume"});
    EXPECT_EQ(options.jobs, 0);
    EXPECT_EQ(options.shard.count, 1);
    EXPECT_FALSE(options.resume);
    EXPECT_FALSE(options.recursive);
    EXPECT_EQ(options.photoJob.parameters.capDivisor, 0) << "the photo default";
    EXPECT_TRUE(options.regionDir.empty());
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"-o", "--resume"}));
}

TEST(BatchCommandLine, RefusesIncompleteOrWrongLines) {
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"photos"},                     // no output folder
        {"-o", "out"},                  // no inputs
        {"-o"},                         // value missing
        {"photos", "-o", ""},           // empty value
        {"-o", "out", "photos", "-j"},  // value missing at the end
        {"-o", "out", "-j", "0", "a"},  // no workers
        {"-o", "out", "--mean-pictures", "", "a"},
        {"-o", "out", "--boundary-colour", "0,0", "a"},
        {"-o", "out", "-j", "-2", "a"},     // negative
        {"-o", "out", "-j", "2x", "a"},     // not a number
        {"-o", "out", "-j", "99999", "a"},  // absurd
        {"-o", "out", "--shard", "2/2", "a"},
        {"-o", "out", "--shard=2/2", "a"},
        {"-o", "out", "-x", "a"},
        {"-o", "out", ""},
        {"-o", "out", "-j", "a"},       // the input taken as the value
        {"-o", "out", "--jobs=", "a"},  // empty joined value
        {"-o", "out", "--resume=yes", "a"},
        {"-o", "out", "-Rx", "a"},
        {"-o", "out", "--sigma", "-1", "a"},
        {"-o", "out", "--format=bmp", "a"},
        {"-o", "out", "--threshold", "a"},  // value missing at the end, after the input
    };
    for (const std::vector<std::string>& words : lines) {
        std::string line;
        for (const std::string& word : words) line += "'" + word + "' ";
        EXPECT_THROW(parseBatchOptions(words), UsageError) << line;
    }
}

TEST(BatchCommandLine, MessagesNameTheOptionAtFault) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-o", "out", "--fast", "a"}, "unknown option '--fast'"},
        {{"-o", "out", "-j4x", "a"}, "-j wants a job count from 1 to 4096, not '4x'"},
        {{"-o", "out", "--jobs=0", "a"}, "--jobs wants a job count from 1 to 4096, not '0'"},
        {{"-o", "out", "--shard=3/3", "a"}, "--shard wants K/N with 0 <= K < N, not '3/3'"},
        {{"-o", "out", "--recursive=1", "a"}, "--recursive takes no value, not '--recursive=1'"},
        {{"-o", "out", "--min-size=-1", "a"},
         "--min-size wants a whole number from 0 up, not '-1'"},
        {{"-o", "out", "a", "--cap-divisor"}, "--cap-divisor wants a value"},
    };
    for (const auto& [words, message] : cases) {
        try {
            parseBatchOptions(words);
            ADD_FAILURE() << message;
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(BatchCommandLine, EveryValueSpellingGivesTheSameOptions) {
    const std::vector<std::vector<std::string>> spellings = {
        {"-o", "out", "-j", "4", "--shard", "1/3", "-R", "--threshold", "800", "a"},
        {"-oout", "-j4", "--shard=1/3", "--recursive", "--threshold=800", "a"},
        {"-o", "out", "--jobs", "4", "--shard", "1/3", "-R", "--threshold", "8e2", "a"},
        {"--jobs=4", "-o", "out", "a", "-R", "--shard=1/3", "--threshold=800"},
    };
    for (const std::vector<std::string>& words : spellings) {
        const BatchOptions options = parseBatchOptions(words);
        EXPECT_EQ(options.outputDir, "out");
        EXPECT_EQ(options.jobs, 4);
        EXPECT_EQ(options.shard.index, 1);
        EXPECT_EQ(options.shard.count, 3);
        EXPECT_TRUE(options.recursive);
        EXPECT_EQ(options.photoJob.parameters.threshold, 800.0f);
        EXPECT_EQ(options.inputs, std::vector<std::string>{"a"});
    }
    const BatchOptions knobs = parseBatchOptions({"-o", "out", "--sigma", "1.5", "--cap-divisor",
                                                  "900", "--min-size=20", "--format", "tiff", "a"});
    EXPECT_EQ(knobs.photoJob.parameters.sigma, 1.5f);
    EXPECT_EQ(knobs.photoJob.parameters.capDivisor, 900);
    EXPECT_EQ(knobs.photoJob.parameters.minSize, 20);
    EXPECT_EQ(knobs.photoJob.labelFormat, LabelFormat::Tiff);
    EXPECT_FALSE(parseBatchOptions({"-o", "out", "a"}).photoJob.labelFormat);
}

// Each valued option as two words and as one (joined after '=' or after the letter).
TEST(BatchCommandLine, EveryValuedOptionTakesBothForms) {
    struct Case {
        std::string option, value;
        std::function<std::string(const BatchOptions&)> read;
    };
    const auto knobs = [](const BatchOptions& o) {
        const Parameters& p = o.photoJob.parameters;
        const std::optional<LabelFormat> format = o.photoJob.labelFormat;
        return std::to_string(p.threshold) + " " + std::to_string(p.sigma) + " " +
               std::to_string(p.capDivisor) + " " + std::to_string(p.minSize) + " " +
               (format ? labelFileExtension(*format) : "");
    };
    const std::vector<Case> cases = {
        {"-o", "labels", [](const BatchOptions& o) { return o.outputDir; }},
        {"-r", "regions", [](const BatchOptions& o) { return o.regionDir; }},
        {"-v", "pictures", [](const BatchOptions& o) { return o.pictureDir; }},
        {"-j", "3", [](const BatchOptions& o) { return std::to_string(o.jobs); }},
        {"--jobs", "3", [](const BatchOptions& o) { return std::to_string(o.jobs); }},
        {"--shard", "2/7",
         [](const BatchOptions& o) {
             return std::to_string(o.shard.index) + "/" + std::to_string(o.shard.count);
         }},
        {"--threshold", "250", knobs},
        {"--sigma", "0.5", knobs},
        {"--cap-divisor", "40", knobs},
        {"--min-size", "0", knobs},
        {"--format", "npy", knobs},
    };
    for (const Case& c : cases) {
        const bool isLong = c.option[1] == '-';
        const std::string joined = c.option + (isLong ? "=" : "") + c.value;
        const BatchOptions apart = parseBatchOptions({"-o", "out", c.option, c.value, "a"});
        const BatchOptions together = parseBatchOptions({"-o", "out", joined, "a"});
        const BatchOptions neither = parseBatchOptions({"-o", "out", "a"});
        EXPECT_EQ(c.read(apart), c.read(together)) << joined;
        EXPECT_NE(c.read(apart), c.read(neither)) << joined << " sets nothing";
        EXPECT_EQ(together.inputs, std::vector<std::string>{"a"}) << joined;
    }
}

TEST(BatchCommandLine, HelpAndVersionNeedNothingElse) {
    EXPECT_TRUE(parseBatchOptions({"--help"}).help);
    EXPECT_TRUE(parseBatchOptions({"-h", "-o", "out"}).help);
    EXPECT_TRUE(parseBatchOptions({"--version"}).version);
    EXPECT_FALSE(parseBatchOptions({"-o", "out", "a"}).version);
    EXPECT_THROW(parseBatchOptions({"--version=2"}), UsageError);
    // Batch label files are named NAME.csv, .png, ... by --format alone.
    const std::string usage = batchUsage();
    EXPECT_EQ(usage.find("by extension"), std::string::npos);
    EXPECT_NE(usage.find("--format F"), std::string::npos);
    EXPECT_NE(usage.find("(default: csv)"), std::string::npos);
    EXPECT_NE(usage.find("--version"), std::string::npos);
}

TEST(BatchCommandLine, NoSyncTurnsDurabilityOff) {
    EXPECT_TRUE(parseBatchOptions({"-o", "out", "a.png"}).durable);
    EXPECT_FALSE(parseBatchOptions({"--no-sync", "-o", "out", "a.png"}).durable);
}

}  // namespace
}  // namespace segmora
