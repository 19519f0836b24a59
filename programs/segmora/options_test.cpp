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
        {{"-i", "a", "--bit-depth", "7"}, "--bit-depth wants a whole number from 8 to 16, not '7'"},
        {{"-i", "a", "--bit-depth", "17"},
         "--bit-depth wants a whole number from 8 to 16, not '17'"},
        {{"-i", "a", "--format", "jpg"}, "--format wants csv, png, npy or tiff, not 'jpg'"},
        {{"-i", "a", "--mean-picture"}, "option --mean-picture wants a value"},
        {{"-i", "a", "--boundary-mode", "inner"},
         "--boundary-mode wants thin or thick, not 'inner'"},
    };
    // Colours: exactly three whole numbers from 0 to 255, nothing around them.
    for (const char* bad : {"", "1,2", "1,2,3,4", "1,2,256", "-1,2,3", "1, 2,3", "1.0,2,3",
                            "+1,2,3", "1,,3", "1,2,3,", "a,b,c", "1e2,0,0", "99999999999,0,0"}) {
        for (const char* option : {"--boundary-colour", "--region-colour"}) {
            Parsed p = parse({"-i", "a", option, bad});
            EXPECT_FALSE(p.options) << option << " " << bad;
            EXPECT_EQ(p.error, std::string(option) +
                                   " wants red,green,blue, three whole numbers from 0 to 255, "
                                   "not '" +
                                   bad + "'");
        }
    }
    for (const Case& c : cases) {
        Parsed p = parse(c.words);
        EXPECT_FALSE(p.options) << c.error;
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.echo, "") << "nothing echoed before an error: " << c.error;
    }
}

TEST(ParseOptions, HelpInAnOptionWordsPlace) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"-h"},
             {"--help"},
             {"-i", "a.png", "--help"},
             {"-x", "y", "-h", "z"},
             {"-ia.png", "x", "-h"},  // at an even position, as before values could be joined
             {"--threshold=1", "--help"}}) {
        Parsed p = parse(words);
        ASSERT_TRUE(p.options) << words.size();
        EXPECT_TRUE(p.options->help);
        EXPECT_EQ(p.echo, "");
    }
    EXPECT_FALSE(parse({"-i", "--help"}).options->help) << "a value, not an option word";
    std::ostringstream help;
    printHelp(help);
    for (const char* option : {"-i IMAGE", "-o LABEL_FILE", "-r REGION_MAP", "-v PICTURE",
                               "-m, --mask MASK", "--threshold T", "--sigma S", "--cap-divisor N",
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
    EXPECT_EQ(p.options->job.maskPath, "mask.png");
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
    EXPECT_EQ(defaults.options->job.sampleBits, 16) << "the high byte of 16-bit samples";
    EXPECT_EQ(parse({"-i", "a", "--bit-depth", "12"}).options->job.sampleBits, 12);

    // The pictures: today's thin green and magenta lines unless asked otherwise.
    const BoundaryStyle& plain = defaults.options->job.pictureStyle;
    EXPECT_EQ(plain.segmentColour, kSegmentBoundaryColour);
    EXPECT_EQ(plain.regionColour, kRegionBoundaryColour);
    EXPECT_EQ(plain.mode, BoundaryMode::Thin);
    EXPECT_EQ(defaults.options->job.meanPicturePath, "");
    Parsed styled = parse({"-i", "a", "--boundary-colour", "255,0,10", "--region-colour", "0,0,0",
                           "--boundary-mode", "thick", "--mean-picture", "m.png"});
    ASSERT_TRUE(styled.options) << styled.error;
    const PhotoJob& job = styled.options->job;
    EXPECT_EQ(job.pictureStyle.segmentColour, cv::Vec3b(10, 0, 255)) << "stored blue, green, red";
    EXPECT_EQ(job.pictureStyle.regionColour, cv::Vec3b(0, 0, 0));
    EXPECT_EQ(job.pictureStyle.mode, BoundaryMode::Thick);
    EXPECT_EQ(job.meanPicturePath, "m.png");
    EXPECT_EQ(parse({"-i", "a", "--boundary-mode", "thick", "--boundary-mode", "thin"})
                  .options->job.pictureStyle.mode,
              BoundaryMode::Thin);
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
    EXPECT_EQ(parse({"-i", "a", "--ignore-orientation=yes"}).error,
              "--ignore-orientation takes no value, not '--ignore-orientation=yes'");
}

// What a parse sets, as one line of text.
std::string summary(const Options& o) {
    const PhotoJob& j = o.job;
    const Parameters& p = j.parameters;
    return j.imagePath + "|" + j.regionFilePath + "|" + j.outputPath + "|" + j.picturePath + "|" +
           j.graphPrefix + "|" + j.maskPath + "|" + std::to_string(p.threshold) + "|" +
           std::to_string(p.sigma) + "|" + std::to_string(p.capDivisor) + "|" +
           std::to_string(p.minSize) + "|" + std::to_string(j.sampleBits) + "|" +
           (j.labelFormat ? labelFileExtension(*j.labelFormat) : "");
}

// Each valued option as two words and as one (joined after '=' or after the letter), with
// the same echo.
TEST(ParseOptions, EveryValuedOptionTakesBothForms) {
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"-i", "b.png"},
                                                          {"-r", "r.csv"},
                                                          {"-o", "l.npy"},
                                                          {"-v", "v.png"},
                                                          {"-m", "m.png"},
                                                          {"--mask", "m.npy"},
                                                          {"--graph", "g"},
                                                          {"--threshold", "250"},
                                                          {"--sigma", "0.5"},
                                                          {"--cap-divisor", "40"},
                                                          {"--min-size", "0"},
                                                          {"--bit-depth", "12"},
                                                          {"--format", "tiff"}}) {
        const std::string joined = option + (option[1] == '-' ? "=" : "") + value;
        Parsed apart = parse({"-i", "a.png", option, value});
        Parsed together = parse({"-i", "a.png", joined});
        ASSERT_TRUE(apart.options) << apart.error;
        ASSERT_TRUE(together.options) << joined << ": " << together.error;
        EXPECT_EQ(summary(*apart.options), summary(*together.options)) << joined;
        EXPECT_NE(summary(*apart.options), summary(*parse({"-i", "a.png"}).options)) << joined;
        EXPECT_EQ(apart.echo, together.echo) << joined;
    }
    // Values are still taken blindly, even when they look like options.
    EXPECT_EQ(parse({"-i", "--threshold=1", "-o", "-v"}).echo,
              "image_path: --threshold=1\noutput_path: -v\n");
    EXPECT_EQ(parse({"-i", "a", "--sigma=x"}).error,
              "--sigma wants a number from 0 to 100, not 'x'");
    EXPECT_EQ(parse({"-i", "a", "--output=o.csv"}).error, "unknown option '--output=o.csv'");
    EXPECT_EQ(parse({"-i", "a", "-hx"}).error, "unknown option '-hx'");
}

TEST(ParseOptions, VersionInAnOptionWordsPlace) {
    for (const auto& words :
         std::vector<std::vector<std::string>>{{"--version"},
                                               {"-i", "a.png", "--version"},
                                               {"--version", "-x"},
                                               {"-x", "--version"},
                                               {"--bogus", "--version", "-i", "a.png"}}) {
        Parsed p = parse(words);
        ASSERT_TRUE(p.options) << p.error;
        EXPECT_TRUE(p.options->version);
        EXPECT_FALSE(p.options->help);
        EXPECT_EQ(p.echo, "");
    }
    EXPECT_TRUE(parse({"--version", "--help"}).options->help) << "help first";
    EXPECT_TRUE(parse({"--bogus", "--help"}).options->help) << "an unknown word takes no value";
    EXPECT_FALSE(parse({"-i", "--version"}).options->version) << "a value, not an option word";
    std::ostringstream help;
    printHelp(help);
    EXPECT_NE(help.str().find("--version"), std::string::npos);
    EXPECT_NE(help.str().find("(default: by extension, else csv)"), std::string::npos);
}

}  // namespace
}  // namespace segmora

namespace segmora {
namespace {

TEST(ParseOptions, CountTakesOneOrSeveralWholeNumbersAndNamesBadOnes) {
    Parsed one = parse({"-i", "a.png", "--count", "100"});
    ASSERT_TRUE(one.options) << one.error;
    EXPECT_EQ(one.options->job.parameters.count, 100);
    Parsed several = parse({"-i", "a.png", "--count=100,500,2000", "-o", "a.csv"});
    ASSERT_TRUE(several.options) << several.error;
    EXPECT_EQ(several.options->job.counts, (std::vector<int>{100, 500, 2000}));
    EXPECT_EQ(several.options->job.parameters.count, 0);  // cut from one hierarchy instead
    for (const std::string bad : {"0", "-5", "ten", "1.5", "100,", ",100", "1,,2", ""}) {
        const Parsed p = parse({"-i", "a.png", "--count", bad});
        EXPECT_FALSE(p.options) << bad;
        EXPECT_EQ(p.error, "--count wants whole numbers from 1 up, separated by commas, not '" +
                               bad + "'");
    }
}

TEST(CountedPath, CountGoesBeforeTheExtensionOfTheLastName) {
    EXPECT_EQ(countedPath("out/a.png", 100), "out/a.100.png");
    EXPECT_EQ(countedPath("a.b/labels", 7), "a.b/labels.7");
    EXPECT_EQ(countedPath("dir/.hidden", 3), "dir/.hidden.3");
    EXPECT_EQ(countedPath("x.tar.csv", 2000), "x.tar.2000.csv");
}

}  // namespace
}  // namespace segmora
