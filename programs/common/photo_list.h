#pragma once

#include <istream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace segmora {

// One share of a photo list split among `count` runs: the photos at the positions that
// leave `index` when divided by `count`.
struct Shard {
    int index = 0;
    int count = 1;
};

// True for the picture extensions a folder is searched for (png, jpg, jpeg, jpe, bmp, tif,
// tiff, webp, ppm, pgm, pnm, jp2), in any case.
bool hasPhotoExtension(const std::string& fileName);

// NAME of .../NAME.EXT: the file name without its last extension. A name whose only dot
// is its first character keeps it (".png" stays ".png").
std::string photoName(const std::string& path);

// A photo of the list and the folder its results go to, relative to the output folders:
// "" for a photo named directly, listed on standard input or found at the top of a
// folder; "sub/deeper/" for one found below a folder by a recursive search.
struct ListedPhoto {
    std::string path;
    std::string folder;
    // Set for a folder below a searched one that could not be listed: why not. The batch
    // reports it as a failed photo.
    std::string unlisted = {};

    // The name its result files take below an output folder: folder + photoName(path).
    std::string resultName() const { return folder + photoName(path); }
    bool operator==(const ListedPhoto& other) const {
        return path == other.path && folder == other.folder;
    }
};

// The photos the inputs name, in byte order of their paths: a folder gives the regular
// files directly in it (symbolic links followed) that have a picture extension, and with
// `recursive` those in the folders below it too (each opened without following a link;
// symbolic links to folders are not followed but added to `linkedFolders`; one that cannot be
// listed is an entry with `unlisted` set, the rest of the tree is searched); "-" gives the
// non-empty lines of `pathList` (a carriage return before the line feed dropped), or with
// `nullSeparated` its non-empty NUL-ended paths; anything else is taken as a photo, whether it
// exists or not. A recursive search does not enter `resultFolders` (the output and picture folders,
// told by device and inode), whose label files and pictures are no photos. Throws
// std::runtime_error naming a folder given as an input that cannot be listed, or a line of the list
// that holds a NUL byte.
std::vector<ListedPhoto> collectPhotos(const std::vector<std::string>& inputs,
                                       std::istream& pathList, bool recursive = false,
                                       const std::vector<std::string>& resultFolders = {},
                                       bool nullSeparated = false,
                                       std::vector<std::string>* linkedFolders = nullptr);

// The first two photos (in list order) whose results would take the same name, if any.
std::optional<std::pair<std::string, std::string>> clashingPhotos(
    const std::vector<ListedPhoto>& photos);

// The photos at the positions of `shard`, in their order.
std::vector<ListedPhoto> shardOf(const std::vector<ListedPhoto>& photos, const Shard& shard);

}  // namespace segmora
