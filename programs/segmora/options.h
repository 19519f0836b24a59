#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "photo_job.h"

namespace segmora {

struct Options {
    PhotoJob job;          // -i, -r, -m, -o, -v and the knobs
    bool help = false;     // -h or --help
    bool version = false;  // --version
};

// A command line that cannot be run: an unknown option word, an option without its value
// or a value out of range. The message names the option.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses the options that follow the program name: an option word, then its value as the
// next word (whatever it looks like) or joined to the word ("--threshold=300", "-ia.png").
// -h or --help in an option word's place (or at an even position, where the pairs of words
// put option words before values could be joined) asks for help, --version in an option
// word's place for the version (help first). Returns nothing when there are fewer than two words
// and neither is asked for: the caller then prints the usage lines. Once the whole line is read,
// -i, -r and -o are echoed to `echo` in command-line order ("image_path: ...", "region_file_path:
// ...", "output_path: ..."); the other options are not echoed. Throws UsageError.
std::optional<Options> parseOptions(const std::vector<std::string>& words, std::ostream& echo);

// The two lines printed when the command line is too short.
void printUsage(std::ostream& out);

// The full usage for --help: every option on a line of its own.
void printHelp(std::ostream& out);

}  // namespace segmora
