// Which photo each ground truth of the truth folder belongs to, when names alone tell.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace segmora {

// The truths of the photos of a run, each file counted for one photo only.
struct TruthOwners {
    std::map<std::string, std::vector<std::string>> byPhoto;  // name -> files, in byte order
    // One line for each file whose name would fit two photos or more: which it counts for.
    std::vector<std::string> warnings;
};

// Assigns the files of the truth folder (`files`, in byte order) to photo names. A file
// fits the photo NAME when it is NAME.EXT, or NAME followed by '_', '-' or '.' and more
// before .EXT (EXT png, npy or csv in any case); "cat2.png" does not fit "cat". A file
// that fits several of `known` (the names of the run's photos and of the other photos
// beside them) belongs to the longest of them alone: "cat_1.png" is cat_1's when there is
// a photo cat_1, else it is cat's. Only the photos of `names` get entries.
TruthOwners assignTruths(const std::vector<std::string>& files,
                         const std::vector<std::string>& names, const std::set<std::string>& known);

// The names (file names without the extension) of the photo files in the folders that
// hold `paths`: photos a truth's name may be meant for although the run leaves them out.
std::set<std::string> photoNamesBeside(const std::vector<std::string>& paths);

}  // namespace segmora
