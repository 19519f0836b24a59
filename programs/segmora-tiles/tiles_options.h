#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

// What a command line of segmora-tiles asks for: the whole run on this machine, or one of
// its steps for a cluster (plan, the sweep over the rows, the tiles, the join, the labels),
// each through the files of a work folder.
enum class TilesStep { Whole, Plan, Sweep, Tiles, Join, Labels };

// A share of the tiles: those at positions part, part + parts, ... (from 0).
struct TileShare {
    int64_t part = 0;
    int64_t parts = 1;
};

struct TilesOptions {
    TilesStep step = TilesStep::Whole;
    std::string photoPath;
    std::string outputPath;
    std::string regionsPath;   // empty: no region map
    std::string workFolder;    // empty for a whole run: a fresh one beside the output
    Parameters parameters{};   // the photo knobs (count stays 0)
    int64_t tileWidth = 4096;  // clamped to the photo's size when larger
    int64_t tileHeight = 4096;
    int threads = 0;  // tiles at once; 0: one per processor
    TileShare share;
    bool help = false;
    bool version = false;
};

// A command line that cannot be run; the message names the option or word at fault.
class TilesUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the words after the program name: an optional step word first (plan, sweep, tile,
// join, labels), then options (a value as the next word or joined: -oOUT, --tile=512) and the
// photo. Checks that the step has what it needs and nothing it would not read. Throws
// TilesUsageError.
TilesOptions parseTilesOptions(const std::vector<std::string>& words);

// "N" (square) or "WxH", whole numbers from 1 up; throws TilesUsageError naming --tile.
void parseTileSize(const std::string& text, int64_t& width, int64_t& height);

// The usage text, ending in a line feed.
std::string tilesUsage();

}  // namespace segmora
