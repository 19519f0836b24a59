#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "segmora/segmora.h"

namespace segmora {

class OutputFolder;

// The files a tiled run leaves in its work folder between its steps: one per tile (what
// segmentTile gave it) and one for the join. Each starts with a header that names the run
// (TileRun::key) and the lengths of what follows, so that a file cut short, or one left
// by another run or other knobs, is told from a complete one. Each is written under a
// temporary name, flushed to the disk and only then renamed to its name: a run killed
// halfway leaves nothing under a final name.

// "tile-00000042.state"
std::string tileStateName(int64_t tile);
constexpr const char* kJoinFileName = "join.state";
constexpr const char* kSweepFileName = "sweep.state";

// The sweep's bytes (FlatSweep::finish), which every tile of the run reads.
void writeSweep(const OutputFolder& work, const std::string& runKey,
                const std::vector<uint8_t>& sweep);
// Reads them back; throws std::runtime_error naming the file, saying to run the sweep step,
// when it is missing, cut short or of another run.
std::vector<uint8_t> readSweep(const std::string& workFolder, const std::string& runKey);

void writeTileState(const OutputFolder& work, const std::string& runKey, int64_t tile,
                    const TileState& state);

// What is found at a tile's state file.
enum class StateCheck { Missing, Complete, Damaged, OtherRun };

// Checks the header and the length of the tile's state file (not its contents).
// `why` says what is wrong for Damaged and OtherRun.
StateCheck checkTileState(const std::string& workFolder, const std::string& runKey, int64_t tile,
                          std::string* why = nullptr);

// The tile's join bytes as a stream, read front to back; throws std::runtime_error naming
// the file unless checkTileState finds it complete.
std::unique_ptr<std::istream> openTileJoin(const std::string& workFolder, const std::string& runKey,
                                           int64_t tile);
// The tile's label bytes; throws as openTileJoin. The second form reads them into `labels`,
// whose memory is reused.
void readTileLabels(const std::string& workFolder, const std::string& runKey, int64_t tile,
                    std::vector<uint8_t>& labels);
std::vector<uint8_t> readTileLabels(const std::string& workFolder, const std::string& runKey,
                                    int64_t tile);

void writeJoin(const OutputFolder& work, const std::string& runKey, const TiledJoin& join);

// The join file, read back one tile's table at a time.
class JoinFile {
  public:
    // Throws std::runtime_error naming the file when it is missing, cut short, of another
    // run, or holds another number of tiles than `tiles`.
    JoinFile(const std::string& workFolder, const std::string& runKey, int64_t tiles);
    int64_t count() const { return superpixels; }
    std::vector<uint8_t> table(int64_t tile);

  private:
    std::string path;
    std::unique_ptr<std::istream> in;
    int64_t superpixels = 0;
    std::vector<uint64_t> offsets;  // of each table's bytes, and the end
};

}  // namespace segmora
