#pragma once

#include <cstdint>
#include <string>

#include "segmora/segmora.h"

namespace segmora {

// One tiled run as plan fixes it and every later step reads it from the work folder: the
// photo (by absolute path, with its size in bytes and time of change, so that a photo
// replaced between the steps is noticed), the label file, the tiles and the knobs.
struct TileRun {
    std::string photoPath;
    int64_t photoBytes = 0;
    int64_t photoChanged = 0;  // nanoseconds since 1970
    std::string outputPath;
    std::string regionsPath;  // empty: no region map
    int64_t regionsBytes = 0;
    int64_t regionsChanged = 0;
    TiledImage image;

    // The description as the file holds it: "key value" lines, the knobs exact.
    std::string text() const;
    // A fingerprint of the description, carried by every file of the run.
    std::string key() const;
};

// The run's file in a work folder.
constexpr const char* kRunFileName = "run.txt";

// Reads the description back; throws std::runtime_error naming the file when it is
// missing, damaged or of another version.
TileRun loadTileRun(const std::string& workFolder);

// Parses a description; throws std::runtime_error saying what is wrong.
TileRun parseTileRun(const std::string& text);

// Throws std::runtime_error when the photo or the region map is not the one planned (size or
// time of change).
void checkPhotoUnchanged(const TileRun& run);

// The size in bytes and time of change of the photo and the region map; throws naming the
// file.
void stampPhoto(TileRun& run);

}  // namespace segmora
