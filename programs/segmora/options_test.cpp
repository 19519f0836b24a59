#include "options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace segmora {
namespace {

struct Parsed {
    std::optional<Options> options;
    std::string echo;
};

Parsed parse(const std::vector<std::string>& words) {
    std::ostringstream echo;
    Parsed parsed{parseOptions(words, echo), ""};
    parsed.echo = echo.str();
    return parsed;
}

TEST(ParseOptions, UsageWhenTooFewWordsOrAnOptionLacksItsValue) {
    const std::vector<std::vector<std::string>> unusable = {
        {}, {"-i"}, {"a.png"}, {"-i", "a.png", "-o"}, {"-i", "a.png", "-m"}, {"-i", "a.png", "-v"}};
    for (const auto& words : unusable) {
        Parsed p = parse(words);
        EXPECT_FALSE(p.options) << words.size() << " words";
        EXPECT_EQ(p.echo, "");
    }
    std::ostringstream usage;
    printUsage(usage);
    EXPECT_EQ(usage.str(), "Usage: \nSegmora.exe [-i input_image_path] [-o output_path]\n");
}

TEST(ParseOptions, EchoesInCommandLineOrderAndLastOccurrenceWins) {
    Parsed p = parse({"-v", "a.png", "-o", "out.csv", "-i", "a.png", "-r", "", "-m", "mask.png",
                      "-v", "b.jpg", "-i", "b.png"});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.echo,
              "output_path: out.csv\nimage_path: a.png\nregion_file_path: \nimage_path: b.png\n");
    EXPECT_EQ(p.options->imagePath, "b.png");
    EXPECT_EQ(p.options->regionFilePath, "");
    EXPECT_EQ(p.options->maskPath, "mask.png");
    EXPECT_EQ(p.options->outputPath, "out.csv");
    EXPECT_EQ(p.options->picturePath, "b.jpg");
}

TEST(ParseOptions, WordsArePairedBlindlyAndUnknownPairsSkipped) {
    struct Case {
        std::vector<std::string> words;
        std::string image, output, echo;
    };
    const std::vector<Case> cases = {
        {{"-i", "-o"}, "-o", "", "image_path: -o\n"},
        {{"-x", "-i", "-i", "a"}, "a", "", "image_path: a\n"},
        {{"-I", "a", "-in", "b", "-o", "c"}, "", "c", "output_path: c\n"},
        {{"-i", "a", "stray"}, "a", "", "image_path: a\n"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.words);
        ASSERT_TRUE(p.options);
        EXPECT_EQ(p.options->imagePath, c.image);
        EXPECT_EQ(p.options->outputPath, c.output);
        EXPECT_EQ(p.echo, c.echo);
    }
}

}  // namespace
}  // namespace segmora
