#include "options.h"

#include <algorithm>
#include <sstream>

#include "job_options.h"
#include "option_words.h"

namespace segmora {

namespace {

bool isHelp(const std::string& word) {
    return word == "-h" || word == "--help";
}

// An option as the command line gives it: the word it starts with, its name and its value
// (joined to the word, or the next word); no value when the line ends first or for the
// words that take none.
struct GivenOption {
    std::string word;
    OptionWord option;
    std::optional<std::string> value;
};

// Options of Segmora's own (the photo options come from job_options.h).
bool isProgramOption(const std::string& word) {
    return word == "-i" || word == "-r" || word == "-m" || word == "--mask" || word == "-o" ||
           word == "-v" || word == "--graph" || word == "--mean-picture";
}

// An unknown option word takes no value either: the word after it is read as what it
// is, so that --help and --version are found wherever they stand.
bool takesNoValue(const std::string& word, const std::string& name) {
    return isHelp(word) || word == "--version" || isJobFlag(word) ||
           (!isProgramOption(name) && !isJobOption(name));
}

std::vector<GivenOption> givenOptions(const std::vector<std::string>& words) {
    std::vector<GivenOption> given;
    for (size_t i = 0; i < words.size(); ++i) {
        GivenOption next{words[i], splitOptionWord(words[i]), std::nullopt};
        if (next.option.joined) {
            next.value = next.option.joined;
        } else if (!takesNoValue(next.word, next.option.name) && i + 1 < words.size()) {
            next.value = words[++i];
        }
        given.push_back(std::move(next));
    }
    return given;
}

bool asks(const std::vector<GivenOption>& given, bool (*test)(const std::string&)) {
    return std::any_of(given.begin(), given.end(),
                       [test](const GivenOption& g) { return test(g.word); });
}

void setOption(Options& options, const std::string& word, const std::string& value,
               std::ostream& echo) {
    PhotoJob& job = options.job;
    if (word == "-i") {
        job.imagePath = value;
        echo << "image_path: " << value << std::endl;
    } else if (word == "-r") {
        job.regionFilePath = value;
        echo << "region_file_path: " << value << std::endl;
    } else if (word == "-m" || word == "--mask") {
        job.maskPath = value;
    } else if (word == "-o") {
        job.outputPath = value;
        echo << "output_path: " << value << std::endl;
    } else if (word == "-v") {
        job.picturePath = value;
    } else if (word == "--graph") {
        job.graphPrefix = value;
    } else if (word == "--mean-picture") {
        job.meanPicturePath = value;
    } else {
        setJobOption(job, word, value);
    }
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& words, std::ostream& echo) {
    Options options;
    const std::vector<GivenOption> given = givenOptions(words);
    // Help also where the pairs of words of old put an option word: at every even position.
    bool helpAtEvenPosition = false;
    for (size_t i = 0; i < words.size(); i += 2) helpAtEvenPosition |= isHelp(words[i]);
    options.help = helpAtEvenPosition || asks(given, isHelp);
    options.version = asks(given, [](const std::string& word) { return word == "--version"; });
    if (options.help || options.version) return options;
    if (words.size() < 2) return std::nullopt;
    std::ostringstream echoed;
    for (const GivenOption& g : given) {
        const std::string& name = g.option.name;
        if (isJobFlag(name)) {
            if (g.value) throw UsageError(name + " takes no value, not '" + g.word + "'");
            setJobFlag(options.job, name);
            continue;
        }
        if (!isProgramOption(name) && !isJobOption(name)) {
            throw UsageError("unknown option '" + g.word + "'");
        }
        if (!g.value) throw UsageError("option " + name + " wants a value");
        try {
            setOption(options, name, *g.value, echoed);
        } catch (const std::invalid_argument& e) {
            throw UsageError(e.what());
        }
    }
    echo << echoed.str() << std::flush;
    return options;
}

void printUsage(std::ostream& out) {
    out << "Usage: " << std::endl;
    out << "Segmora.exe [-i input_image_path] [-o output_path]" << std::endl;
}

void printHelp(std::ostream& out) {
    out << "Usage: Segmora -i IMAGE [-o LABEL_FILE] [OPTION VALUE]...\n"
           "Segments a photo into superpixels; prints their number and writes their labels.\n"
           "  -i IMAGE          the photo (any format OpenCV reads)\n"
           "  -o LABEL_FILE     label file: .png, .npy, .tif or .tiff by name, else CSV text\n"
           "  -r REGION_MAP     region ids (text or CSV label file, .png, .npy or .tif): no\n"
           "                    superpixel crosses two\n"
           "  -v PICTURE        boundary picture of the superpixels (.png, .jpg, ...)\n"
           "  --graph PREFIX    superpixel graph files PREFIX.nodes.csv and PREFIX.edges.csv\n"
           "  --mean-picture PICTURE\n"
           "                    each superpixel painted in its mean colour\n"
           "  -m, --mask MASK   segment only the pixels inside the mask; outside, labels\n"
           "                    are 0. An 8-bit picture: inside where blue, green and red\n"
           "                    are all above 200; .npy, text, 16-bit PNG or TIFF: inside\n"
           "                    where not 0 (a float mask holds only 0 and 1)\n"
        << jobOptionsUsage(2, 20, "by extension, else csv")
        << "  -h, --help        this help\n"
           "  --version         the version\n"
           "Values follow their option as the next word or joined: -ia.png, --threshold=300.\n"
           "A later option replaces an earlier one.\n"
           "SEGMORA_THREADS=N in the environment runs on N threads (default: one per core,\n"
           "at most 8); the labels never depend on it.\n"
        << std::flush;
}

}  // namespace segmora
