#include "options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace segmora {
namespace {

struct Parsed {
    std::optional<Options> options;
    std::string echo;
    std::string error;  // the UsageError's message
};

Parsed parse(const std::vector<std::string>& words) {
    std::ostringstream echo;
    Parsed parsed;
    try {
        parsed.options = parseOptions(words, echo);
    } catch (const UsageError& e) {
        parsed.error = e.what();
    }
    parsed.echo = echo.str();
    return parsed;
}

TEST(ParseOptions, UsageWhenTooFewWords) {
    for (const auto& words : std::vector<std::vector<std::string>>{{}, {"-i"}, {"a.png"}}) {
        Parsed p = parse(words);
        EXPECT_FALSE(p.options) << words.size() << " words";
        EXPECT_EQ(p.error, "");
        EXPECT_EQ(p.echo, "");
    }
    std::ostringstream usage;
    printUsage(usage);
    EXPECT_EQ(usage.str(), "Usage: \nSegmora.exe [-i input_image_path] [-o output_path]\n");
}

TEST(ParseOptions, UnknownWordsDanglingOptionsAndBadValuesAreErrorsNamingThem) {
    struct Case {
        std::vector<std::string> words;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"-i", "a.png", "-o"}, "option -o wants a value"},
        {{"-i", "a.png", "-m"}, "option -m wants a value"},
        {{"-i", "a.png", "-v"}, "option -v wants a value"},
        {{"-i", "a.png", "--sigma"}, "option --sigma wants a value"},
        {{"-i", "a.png", "--output", "o.csv"}, "unknown option '--output'"},
        {{"-x", "-i", "-i", "a"}, "unknown option '-x'"},
        {{"-I", "a", "-o", "c"}, "unknown option '-I'"},
        {{"-i", "a", "stray"}, "unknown option 'stray'"},
        {{"-i", "a", "-k", "100"}, "unknown option '-k'"},
        {{"-i", "a", "--threshold", "-1"}, "--threshold wants a number from 0 up, not '-1'"},
        {{"-i", "a", "--threshold", "nan"}, "--threshold wants a number from 0 up, not 'nan'"},
        {{"-i", "a", "--threshold", "1e39"},
         "--threshold wants a number from 0 to 3.4028235e38 (the largest single-precision "
         "float), not '1e39'"},
        {{"-i", "a", "--threshold", "1e400"}, "--threshold wants a number from 0 up, not '1e400'"},
        {{"-i", "a", "--sigma", "100.5"}, "--sigma wants a number from 0 to 100, not '100.5'"},
        {{"-i", "a", "--sigma", " 1"}, "--sigma wants a number from 0 to 100, not ' 1'"},
        {{"-i", "a", "--cap-divisor", "0"},
         "--cap-divisor wants a whole number from 1 up, not '0'"},
        {{"-i", "a", "--cap-divisor", "2.5"},
         "--cap-divisor wants a whole number from 1 up, not '2.5'"},
        {{"-i", "a", "--min-size", "2147483648"},
         "--min-size wants a whole number from 0 to 2147483647, not '2147483648'"},
        {{"-i", "a", "--cap-divisor", "2147483648"},
         "--cap-divisor wants a whole number from 1 to 2147483647, not '2147483648'"},
        {{"-i", "a", "--min-size", ""}, "--min-size wants a whole number from 0 up, not ''"},
        {{"-i", "a", "--format", "jpg"}, "--format wants csv, png, npy or tiff, not 'jpg'"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.words);
        EXPECT_FALSE(p.options) << c.error;
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.echo, "") << "nothing echoed before an error: " << c.error;
    }
}

TEST(ParseOptions, HelpInAnOptionWordsPlace) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"-h"}, {"--help"}, {"-i", "a.png", "--help"}, {"-x", "y", "-h", "z"}}) {
        Parsed p = parse(words);
        ASSERT_TRUE(p.options) << words.size();
        EXPECT_TRUE(p.options->help);
        EXPECT_EQ(p.echo, "");
    }
    EXPECT_FALSE(parse({"-i", "--help"}).options->help) << "a value, not an option word";
    std::ostringstream help;
    printHelp(help);
    for (const char* option : {"-i IMAGE", "-o LABEL_FILE", "-r REGION_MAP", "-v PICTURE",
                               "-m MASK", "--threshold T", "--sigma S", "--cap-divisor N",
                               "--min-size N", "--format F", "-h, --help", "SEGMORA_THREADS"}) {
        EXPECT_NE(help.str().find(option), std::string::npos) << option;
    }
}

TEST(ParseOptions, EchoesInCommandLineOrderAndLastOccurrenceWins) {
    Parsed p = parse({"-v", "a.png", "-o", "out.csv", "-i", "a.png", "-r", "", "-m", "mask.png",
                      "-v", "b.jpg", "-i", "b.png", "--sigma", "0.5", "--sigma", "2"});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.echo,
              "output_path: out.csv\nimage_path: a.png\nregion_file_path: \nimage_path: b.png\n");
    EXPECT_EQ(p.options->job.imagePath, "b.png");
    EXPECT_EQ(p.options->job.regionFilePath, "");
    EXPECT_EQ(p.options->maskPath, "mask.png");
    EXPECT_EQ(p.options->job.outputPath, "out.csv");
    EXPECT_EQ(p.options->job.picturePath, "b.jpg");
    EXPECT_EQ(p.options->job.parameters.sigma, 2.0f);
}

TEST(ParseOptions, WordsArePairedBlindlyAndKnobsSetTheJob) {
    Parsed blind = parse({"-i", "-o"});
    ASSERT_TRUE(blind.options);
    EXPECT_EQ(blind.options->job.imagePath, "-o");
    EXPECT_EQ(blind.echo, "image_path: -o\n");

    Parsed defaults = parse({"-i", "a"});
    const Parameters& d = defaults.options->job.parameters;
    EXPECT_EQ(d.threshold, 500.0f);
    EXPECT_EQ(d.sigma, 0.0f);
    EXPECT_EQ(d.capDivisor, 0) << "the photo default, 500 or 3000 with regions";
    EXPECT_EQ(d.minSize, 5);
    EXPECT_FALSE(defaults.options->job.labelFormat);

    Parsed knobs = parse({"--threshold", "1e3", "--sigma", "0.8", "--cap-divisor", "+40",
                          "--min-size", "0", "--format", "npy", "-i", "a"});
    ASSERT_TRUE(knobs.options) << knobs.error;
    const Parameters& k = knobs.options->job.parameters;
    EXPECT_EQ(k.threshold, 1000.0f);
    EXPECT_EQ(k.sigma, 0.8f);
    EXPECT_EQ(k.capDivisor, 40);
    EXPECT_EQ(k.minSize, 0);
    EXPECT_EQ(knobs.options->job.labelFormat, LabelFormat::Npy);
    EXPECT_EQ(knobs.echo, "image_path: a\n");
}

TEST(ParseOptions, IgnoreOrientationStandsAloneAmongThePairs) {
    EXPECT_EQ(parse({"-i", "a"}).options->job.orientation, Orientation::Apply);
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"--ignore-orientation", "-i", "a", "-o", "b.csv"},
             {"-i", "a", "--ignore-orientation", "-o", "b.csv"},
             {"-i", "a", "-o", "b.csv", "--ignore-orientation"}}) {
        Parsed p = parse(words);
        ASSERT_TRUE(p.options) << p.error;
        EXPECT_EQ(p.options->job.orientation, Orientation::Ignore);
        EXPECT_EQ(p.options->job.imagePath, "a");
        EXPECT_EQ(p.options->job.outputPath, "b.csv");
    }
    EXPECT_TRUE(parse({"--ignore-orientation", "--help"}).options->help);
    EXPECT_EQ(parse({"-i", "--ignore-orientation"}).options->job.imagePath, "--ignore-orientation")
        << "a value, not an option word";
    std::ostringstream help;
    printHelp(help);
    EXPECT_NE(help.str().find("--ignore-orientation"), std::string::npos);
}

}  // namespace
}  // namespace segmora
