#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>

#include "tile_progress.h"
#include "tile_run.h"
#include "tiles_options.h"

namespace segmora {

class SweepFeed;

// The steps of a tiled run, each through the files of the work folder; each throws
// std::runtime_error naming the file or option at fault.

// Fixes the run from the command line: opens the photo for its size, clamps the tiles to
// it, checks the label file's name and folder, the tiles and the knobs.
TileRun planTileRun(const TilesOptions& options);

// Refuses a run that the free space of the work and label files' folders cannot hold,
// with one line that says how much each needs; `states`: the tiles' files still to come.
// Makes the work folder when it is missing.
void checkDiskSpace(const TileRun& run, const std::string& workFolder, bool states);

// Writes the run's description into the work folder (made when missing).
void saveTileRun(const TileRun& run, const std::string& workFolder);

// Reads the photo's rows (and the region map's) top to bottom in bands, each of about a
// tile's pixels and of whole strips or rows of the TIFF's tiles, through a FlatSweep, and
// writes its bytes into the work folder, which the tile step reads. Stops between bands
// once `stop` is set (writing nothing); returns false then.
// With a `feed`, its bytes so far go there after each band, and the finished ones too.
bool sweepFlatAreas(const std::string& workFolder, const std::atomic<bool>& stop,
                    TileProgress& progress, SweepFeed* feed = nullptr);

// Segments the tiles of `share` whose states are not complete on `threads` threads (each
// one tile at a time) and writes their states. Tiles already done are skipped (said on
// `progress`); a state of another run or cut short is redone. Refuses to start without
// the sweep's file. Stops taking new tiles once `stop` is set; returns false then.
// With a `feed`, the sweep's bytes come from it instead, each tile waiting until they
// cover it.
bool segmentTiles(const std::string& workFolder, const TileShare& share, int threads,
                  const std::atomic<bool>& stop, TileProgress& progress,
                  SweepFeed* feed = nullptr);

// The sweep and the tiles at once, for a run in one command: the sweep in a thread of its
// own, which the tiles follow down the photo, each starting once the sweep has passed it.
// Writes the sweep's file and the tiles' states as the two steps do.
bool sweepAndSegmentTiles(const std::string& workFolder, int threads,
                          const std::atomic<bool>& stop, TileProgress& progress);

// Joins the tiles' states into the join file; returns the superpixel count. Refuses a
// missing, cut-short or foreign tile state.
int64_t joinTileStates(const std::string& workFolder, TileProgress& progress);

// Writes the label file from the tiles' states and the join file; returns the count.
int64_t writeTileLabels(const std::string& workFolder, const std::atomic<bool>& stop,
                        TileProgress& progress);

// The line Segmora prints for the count: "Super-pixel num: N".
void printCount(std::ostream& out, int64_t count);

}  // namespace segmora
