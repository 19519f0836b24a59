#include "options.h"

#include <algorithm>
#include <sstream>

#include "job_options.h"

namespace segmora {

namespace {

bool isHelp(const std::string& word) {
    return word == "-h" || word == "--help";
}

// Options of Segmora's own (the photo options come from job_options.h).
bool isProgramOption(const std::string& word) {
    return word == "-i" || word == "-r" || word == "-m" || word == "-o" || word == "-v" ||
           word == "--graph";
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
    } else if (word == "-m") {
        options.maskPath = value;
    } else if (word == "-o") {
        job.outputPath = value;
        echo << "output_path: " << value << std::endl;
    } else if (word == "-v") {
        job.picturePath = value;
    } else if (word == "--graph") {
        job.graphPrefix = value;
    } else {
        setJobOption(job, word, value);
    }
}

// Words an option word takes: 1 for a flag, else 2 (the option and its value).
size_t wordsOf(const std::string& word) {
    return isJobFlag(word) ? 1 : 2;
}

bool asksForHelp(const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); i += wordsOf(words[i])) {
        if (isHelp(words[i])) return true;
    }
    return false;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& words, std::ostream& echo) {
    Options options;
    if (asksForHelp(words)) {
        options.help = true;
        return options;
    }
    if (words.size() < 2) return std::nullopt;
    std::ostringstream echoed;
    for (size_t i = 0; i < words.size(); i += wordsOf(words[i])) {
        const std::string& word = words[i];
        if (isJobFlag(word)) {
            setJobFlag(options.job, word);
            continue;
        }
        if (!isProgramOption(word) && !isJobOption(word)) {
            throw UsageError("unknown option '" + word + "'");
        }
        if (i + 1 == words.size()) throw UsageError("option " + word + " wants a value");
        try {
            setOption(options, word, words[i + 1], echoed);
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
           "  -r REGION_MAP     region ids (text, .png, .npy or .tif): no superpixel crosses two\n"
           "  -v PICTURE        boundary picture of the superpixels (.png, .jpg, ...)\n"
           "  --graph PREFIX    superpixel graph files PREFIX.nodes.csv and PREFIX.edges.csv\n"
           "  -m MASK           reserved: accepted and ignored\n"
        << jobOptionsUsage(2, 20)
        << "  -h, --help        this help\n"
           "Options come in pairs of words (--ignore-orientation stands alone); a later one\n"
           "replaces an earlier one.\n"
           "SEGMORA_THREADS=N in the environment runs on N threads (default: one per core,\n"
           "at most 8); the labels never depend on it.\n"
        << std::flush;
}

}  // namespace segmora
