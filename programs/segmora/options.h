#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace segmora {

struct Options {
    std::string imagePath;
    std::string regionFilePath;
    std::string maskPath;  // reserved: parsed and stored, not used
    std::string outputPath;
    std::string picturePath;  // -v: boundary picture, not echoed
    std::string graphPrefix;  // --graph: superpixel graph files PREFIX.*.csv, not echoed
};

// Parses the option pairs that follow the program name, echoing -i, -r and
// -o to `echo` as they are read (-m and -v are stored silently). Returns
// nothing when the command line is unusable (fewer than two words, or an
// option word without its value); the caller then prints the usage lines.
std::optional<Options> parseOptions(const std::vector<std::string>& words, std::ostream& echo);

void printUsage(std::ostream& out);

}  // namespace segmora
