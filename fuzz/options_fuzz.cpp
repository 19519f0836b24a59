// The option parser on arbitrary command lines (words separated by NUL
// bytes). Checks the grammar: an option word takes its value joined to it ("--name=value",
// "-xvalue") or as the next word, whatever that looks like; -h or --help in an option
// word's place (or at an even position) asks for help, --version in an option word's place
// for the version; otherwise fewer than two words give no options; an unknown option word
// or a dangling one is an error; the last value of each option wins, -i, -r and -o are
// echoed in order (-m, -v, --graph and the photo options are not), and nothing is echoed
// unless the whole line is good.
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
    bool version = false;
    bool badWord = false;       // unknown or dangling option word
    bool photoOptions = false;  // a value the fuzzer does not judge
};

bool isKnown(const std::string& name) {
    return name == "-i" || name == "-r" || name == "-o" || name == "-m" || name == "-v" ||
           name == "--mask" || name == "--graph" || name == "--mean-picture" ||
           segmora::isJobOption(name) || segmora::isJobFlag(name);
}

// The option word at words[i] as a name and a value (joined, or the next word), advancing i
// past what it takes; false for a dangling option word.
bool takeOption(const std::vector<std::string>& words, size_t& i, std::string& name,
                std::string& value) {
    const std::string& word = words[i];
    const size_t equals = word.find('=');
    if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
        name = word.substr(0, equals);
        value = word.substr(equals + 1);
    } else if (word.size() > 2 && word[0] == '-' && word[1] != '-') {
        name = word.substr(0, 2);
        value = word.substr(2);
    } else {
        name = word;
        // A word that is no option takes no value, so a later --help or --version counts.
        if (word == "-h" || word == "--help" || word == "--version" || segmora::isJobFlag(word) ||
            !isKnown(word))
            return true;
        if (i + 1 == words.size()) return false;
        value = words[++i];
    }
    return true;
}

Expected expectedFor(const std::vector<std::string>& words) {
    Expected e;
    for (size_t i = 0; i < words.size(); i += 2) {
        if (words[i] == "-h" || words[i] == "--help") e.help = true;
    }
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "-h" || word == "--help") e.help = true;
        if (word == "--version") e.version = true;
        std::string name, value;
        if (!takeOption(words, i, name, value) || !isKnown(name) ||
            (segmora::isJobFlag(name) && name != word)) {  // a flag takes no value
            e.badWord = true;
            continue;
        }
        if (segmora::isJobOption(name)) e.photoOptions = true;
        if (name == "-i") {
            e.image = value;
            e.echo += "image_path: " + value + "\n";
        } else if (name == "-r") {
            e.regions = value;
            e.echo += "region_file_path: " + value + "\n";
        } else if (name == "-o") {
            e.output = value;
            e.echo += "output_path: " + value + "\n";
        } else if (name == "-m" || name == "--mask") {
            e.mask = value;
        } else if (name == "-v") {
            e.picture = value;
        } else if (name == "--graph") {
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
        check(!e.help && !e.version && words.size() >= 2, "error instead of help or usage");
        check(e.badWord || e.photoOptions, "good command line refused");
        check(echo.str().empty(), "echo before a refused command line");
        return 0;
    }
    if (e.help) {
        check(options && options->help && echo.str().empty(), "help not given");
        return 0;
    }
    if (e.version) {
        check(options && options->version && echo.str().empty(), "version not given");
        return 0;
    }
    if (words.size() < 2) {
        check(!options && echo.str().empty(), "too few words accepted");
        return 0;
    }
    check(options && !options->help && !options->version && !e.badWord, "bad option word accepted");
    check(options->job.imagePath == e.image, "image path");
    check(options->job.regionFilePath == e.regions, "region file path");
    check(options->job.maskPath == e.mask, "mask path");
    check(options->job.outputPath == e.output, "output path");
    check(options->job.picturePath == e.picture, "picture path");
    check(options->job.graphPrefix == e.graph, "graph prefix");
    check(echo.str() == e.echo, "echo lines");
    return 0;
}
