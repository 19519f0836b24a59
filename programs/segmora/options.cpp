#include "options.h"

namespace segmora {

namespace {

bool isOptionWord(const std::string& word) {
    return word == "-i" || word == "-r" || word == "-m" || word == "-o" || word == "-v" ||
           word == "--graph";
}

void setOption(Options& options, const std::string& word, const std::string& value,
               std::ostream& echo) {
    if (word == "-i") {
        options.imagePath = value;
        echo << "image_path: " << value << std::endl;
    } else if (word == "-r") {
        options.regionFilePath = value;
        echo << "region_file_path: " << value << std::endl;
    } else if (word == "-m") {
        options.maskPath = value;
    } else if (word == "-o") {
        options.outputPath = value;
        echo << "output_path: " << value << std::endl;
    } else if (word == "-v") {
        options.picturePath = value;
    } else if (word == "--graph") {
        options.graphPrefix = value;
    }
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& words, std::ostream& echo) {
    if (words.size() < 2) return std::nullopt;
    if (words.size() % 2 == 1 && isOptionWord(words.back())) return std::nullopt;
    Options options;
    for (size_t i = 0; i + 1 < words.size(); i += 2)
        setOption(options, words[i], words[i + 1], echo);
    return options;
}

void printUsage(std::ostream& out) {
    out << "Usage: " << std::endl;
    out << "Segmora.exe [-i input_image_path] [-o output_path]" << std::endl;
}

}  // namespace segmora
