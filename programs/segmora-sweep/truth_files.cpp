#include "truth_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "region_map.h"
#include "text_case.h"

namespace segmora {

namespace {

std::string extensionOf(const std::string& file) {
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : lowerCase(file.substr(dot + 1));
}

bool isTruthExtension(const std::string& extension) {
    return extension == "png" || extension == "npy" || extension == "csv";
}

[[noreturn]] void failTruth(const std::string& path, const std::string& why) {
    throw std::runtime_error("ground truth '" + path + "' " + why);
}

// Whole numbers separated by commas and white space, one line per row of the photo: the
// programs' label files. Read a number at a time (region_text.h), so no more of the file
// is held than the photo needs.
cv::Mat_<int> readCommaSeparated(const std::string& path, cv::Size size) {
    cv::Mat_<int> ids(size);
    const TextLayout layout = readRegionFile(path, ids, "ground truth");
    const std::string shape =
        std::to_string(size.height) + " lines of " + std::to_string(size.width) + " numbers";
    if (layout.after == 0) {
        failTruth(path,
                  "holds a NUL byte after the photo's " + std::to_string(size.area()) + " numbers");
    }
    if (layout.after != EOF) failTruth(path, "holds more numbers than the photo's pixels");
    if (looksTransposed(layout, size.height, size.width)) {
        failTruth(path, "has " + std::to_string(layout.lines) + " lines of " +
                            std::to_string(layout.numbersPerLine) +
                            " numbers: it is transposed; the photo needs " + shape);
    }
    if (layout.lines != size.height || layout.numbersPerLine != size.width) {
        failTruth(path, "does not have the photo's rows and columns: it needs " + shape);
    }
    return ids;
}

}  // namespace

std::vector<std::string> listTruthFolder(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        throw std::runtime_error("cannot list ground-truth folder '" + folder +
                                 "': " + std::strerror(errno));
    }
    std::vector<std::string> files;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        struct stat info;
        if (!isTruthExtension(extensionOf(name))) continue;
        if (::stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> truthFilesOf(const std::vector<std::string>& files,
                                      const std::string& name) {
    std::vector<std::string> found;
    for (auto it = std::lower_bound(files.begin(), files.end(), name);
         it != files.end() && it->compare(0, name.size(), name) == 0; ++it) {
        const std::string rest = it->substr(name.size());
        const size_t dot = rest.rfind('.');
        if (dot == std::string::npos || !isTruthExtension(extensionOf(rest))) continue;
        if (dot == 0 || rest[0] == '_' || rest[0] == '-' || rest[0] == '.') found.push_back(*it);
    }
    return found;
}

cv::Mat_<int> readTruth(const std::string& path, cv::Size size) {
    if (extensionOf(path) == "csv") return readCommaSeparated(path, size);
    cv::Mat_<int> ids(size);
    readRegionMap(path, ids);
    return ids;
}

}  // namespace segmora
