// The option parser on arbitrary command lines (words separated by NUL
// bytes). Checks the pairing rules: -h or --help in an option word's place asks for
// help; otherwise fewer than two words give no options; an unknown option word or a
// dangling one is an error; the last pair of each option wins, -i, -r and -o pairs are
// echoed in order (-m, -v, --graph and the photo options are not), and nothing is echoed unless
// the whole line is good.
#include <sstream>
#include <vector>

#include "fuzz_data.h"
#include "job_options.h"
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
    std::string image, regions, mask, output, picture, graph, echo;
    bool help = false;
    bool badWord = false;       // unknown or dangling option word
    bool photoOptions = false;  // a value the fuzzer does not judge
};

Expected expectedFor(const std::vector<std::string>& words) {
    Expected e;
    for (size_t i = 0; i < words.size(); i += 2) {
        const std::string& word = words[i];
        if (word == "-h" || word == "--help") e.help = true;
        const bool known = word == "-i" || word == "-r" || word == "-o" || word == "-m" ||
                           word == "-v" || word == "--graph" || segmora::isJobOption(word);
        if (!known || i + 1 == words.size()) {
            e.badWord = true;
            continue;
        }
        const std::string& value = words[i + 1];
        if (segmora::isJobOption(word)) e.photoOptions = true;
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
        } else if (word == "--graph") {
            e.graph = value;
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
    const Expected e = expectedFor(words);
    std::optional<segmora::Options> options;
    try {
        options = segmora::parseOptions(words, echo);
    } catch (const segmora::UsageError&) {
        check(!e.help && words.size() >= 2, "error instead of help or usage");
        check(e.badWord || e.photoOptions, "good command line refused");
        check(echo.str().empty(), "echo before a refused command line");
        return 0;
    }
    if (e.help) {
        check(options && options->help && echo.str().empty(), "help not given");
        return 0;
    }
    if (words.size() < 2) {
        check(!options && echo.str().empty(), "too few words accepted");
        return 0;
    }
    check(options && !options->help && !e.badWord, "bad option word accepted");
    check(options->job.imagePath == e.image, "image path");
    check(options->job.regionFilePath == e.regions, "region file path");
    check(options->maskPath == e.mask, "mask path");
    check(options->job.outputPath == e.output, "output path");
    check(options->job.picturePath == e.picture, "picture path");
    check(options->job.graphPrefix == e.graph, "graph prefix");
    check(echo.str() == e.echo, "echo lines");
    return 0;
}
