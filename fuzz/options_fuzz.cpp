// The option parser on arbitrary command lines (words separated by NUL
// bytes). Checks the pairing rules: the last pair of each option wins, -i,
// -r and -o pairs are echoed in order (-m and -v are not), a dangling option
// word or fewer than two words give no options, and nothing is echoed then.
#include <sstream>
#include <vector>

#include "fuzz_data.h"
#include "options.h"

namespace {

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
        words.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) words.push_back(text.substr(start));
    return words;
}

struct Expected {
    std::string image, regions, mask, output, picture, echo;
};

Expected expectedFor(const std::vector<std::string>& words) {
    Expected e;
    for (size_t i = 0; i + 1 < words.size(); i += 2) {
        const std::string& word = words[i];
        const std::string& value = words[i + 1];
        if (word == "-i") {
            e.image = value;
            e.echo += "image_path: " + value + "\n";
        } else if (word == "-r") {
            e.regions = value;
            e.echo += "region_file_path: " + value + "\n";
        } else if (word == "-o") {
            e.output = value;
            e.echo += "output_path: " + value + "\n";
        } else if (word == "-m") {
            e.mask = value;
        } else if (word == "-v") {
            e.picture = value;
        }
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using segmora::fuzz::check;
    const std::vector<std::string> words =
        splitWords(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream echo;
    const std::optional<segmora::Options> options = segmora::parseOptions(words, echo);
    if (words.size() < 2) check(!options, "too few words accepted");
    const std::string& last = words.empty() ? "" : words.back();
    if (words.size() % 2 == 1 &&
        (last == "-i" || last == "-r" || last == "-m" || last == "-o" || last == "-v")) {
        check(!options, "dangling option word accepted");
    }
    if (!options) {
        check(words.size() < 2 || words.size() % 2 == 1, "usable command line rejected");
        check(echo.str().empty(), "echo before a rejected command line");
        return 0;
    }
    const Expected e = expectedFor(words);
    check(options->imagePath == e.image, "image path");
    check(options->regionFilePath == e.regions, "region file path");
    check(options->maskPath == e.mask, "mask path");
    check(options->outputPath == e.output, "output path");
    check(options->picturePath == e.picture, "picture path");
    check(echo.str() == e.echo, "echo lines");
    return 0;
}
