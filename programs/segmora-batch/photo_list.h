#pragma once

#include <istream>
#include <string>
#include <vector>

#include "batch_options.h"

namespace segmora {

// True for the picture extensions a folder is searched for (png, jpg, jpeg, jpe, bmp, tif,
// tiff, webp, ppm, pgm, pnm, jp2), in any case.
bool hasPhotoExtension(const std::string& fileName);

// NAME of .../NAME.EXT: the file name without its last extension. A name whose only dot
// is its first character keeps it (".png" stays ".png").
std::string photoName(const std::string& path);

// The photos the inputs name, in byte order of their paths: a folder gives the regular
// files directly in it (symbolic links followed) that have a picture extension; "-" gives
// the non-empty lines of `pathList` (a carriage return before the line feed dropped);
// anything else is taken as a photo, whether it exists or not. Throws std::runtime_error
// naming a folder that cannot be listed.
std::vector<std::string> collectPhotos(const std::vector<std::string>& inputs,
                                       std::istream& pathList);

// The names (see photoName) that more than one photo of the list has, in byte order.
std::vector<std::string> sharedNames(const std::vector<std::string>& photos);

// The photos at the positions of `shard`, in their order.
std::vector<std::string> shardOf(const std::vector<std::string>& photos, const Shard& shard);

}  // namespace segmora
