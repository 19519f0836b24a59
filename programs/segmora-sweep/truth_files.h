// The ground truths of a photo: the files of the truth folder named for it, read with the
// programs' region-map readers.
#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace segmora {

// The names of the regular files (links followed) in `folder`, in byte order. Throws
// std::runtime_error naming a folder that cannot be listed.
std::vector<std::string> listTruthFolder(const std::string& folder);

// The ground truths of the photo named `name` among `files` (in byte order): NAME.EXT or
// NAME followed by '_', '-' or '.' and more before .EXT, EXT being png, npy or csv in any
// case. "cat_2.png" is a truth of cat, "cat2.png" is not (it is cat2's).
std::vector<std::string> truthFilesOf(const std::vector<std::string>& files,
                                      const std::string& name);

// The truth at `path` with the photo's size: PNG and NumPy files as region_map.h reads them,
// .csv files as the programs' label files are (whole numbers separated by commas and white
// space). Throws std::runtime_error naming the file.
cv::Mat_<int> readTruth(const std::string& path, cv::Size size);

}  // namespace segmora
