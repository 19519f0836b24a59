#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "photo_job.h"
#include "photo_list.h"

namespace segmora {

// The command line of segmora-batch.
struct BatchOptions {
    std::string outputDir;
    std::string regionDir;       // empty: no region files
    std::string maskDir;         // empty: no masks
    std::string pictureDir;      // empty: no boundary pictures
    std::string meanPictureDir;  // empty: no mean-colour pictures
    int jobs = 0;                // photos at once; 0: one per processor
    Shard shard;
    bool graph = false;  // superpixel graph files OUT_DIR/NAME.nodes.csv, NAME.edges.csv
    bool resume = false;
    bool recursive = false;      // -R: folders are searched below their top level too
    bool nullSeparated = false;  // -0: the list on "-" holds paths ended by NUL bytes
    bool noSync = false;         // --no-sync
    bool durable = true;         // false after --no-sync: files are not flushed to the disk
    bool help = false;
    bool version = false;  // --version
    // The job of every photo: its knobs, label format, picture style and orientation (the
    // paths are filled in for each photo).
    PhotoJob photoJob;
    std::vector<std::string> inputs;  // photos, folders, or "-" for a list on standard input
};

// A command line that cannot be run; the message names the option or word at fault.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the words after the program name. Short options take their value as the next
// word or joined to them (-j4, -oOUT); long ones as the next word or after '='
// (--jobs=4). Throws UsageError.
BatchOptions parseBatchOptions(const std::vector<std::string>& words);

// "K/N" with 0 <= K < N, both plain decimal numbers; nothing otherwise.
std::optional<Shard> parseShard(const std::string& text);

// The usage text, ending in a line feed.
std::string batchUsage();

}  // namespace segmora
