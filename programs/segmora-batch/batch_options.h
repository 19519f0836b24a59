#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace segmora {

// One share of a photo list split among `count` runs: the photos at the positions that
// leave `index` when divided by `count`.
struct Shard {
    int index = 0;
    int count = 1;
};

// The command line of segmora-batch.
struct BatchOptions {
    std::string outputDir;
    std::string regionDir;   // empty: no region files
    std::string pictureDir;  // empty: no boundary pictures
    int jobs = 0;            // photos at once; 0: one per processor
    Shard shard;
    bool resume = false;
    bool durable = true;  // false after --no-sync: files are not flushed to the disk
    bool help = false;
    std::vector<std::string> inputs;  // photos, folders, or "-" for a list on standard input
};

// A command line that cannot be run; the message names the option or word at fault.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the words after the program name. Throws UsageError.
BatchOptions parseBatchOptions(const std::vector<std::string>& words);

// "K/N" with 0 <= K < N, both plain decimal numbers; nothing otherwise.
std::optional<Shard> parseShard(const std::string& text);

// The usage text, ending in a line feed.
const char* batchUsage();

}  // namespace segmora
