#include "boundary_picture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "quiet_standard_error.h"

namespace segmora {

namespace {

// True where the right or lower neighbour of (y, x) holds another value.
bool changesAt(const cv::Mat_<int>& ids, int y, int x) {
    const int id = ids(y, x);
    return (x + 1 < ids.cols && ids(y, x + 1) != id) || (y + 1 < ids.rows && ids(y + 1, x) != id);
}

// Why the encoder may have refused `path`: the folder it names, when that is
// missing or not writable; otherwise a generic reason.
std::string whyNotWritten(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (::access(dir.c_str(), W_OK) != 0) return std::strerror(errno);
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "it is a directory";
    return "the encoder could not write it";
}

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("cannot write boundary picture '" + path + "': " + why);
}

}  // namespace

cv::Mat_<cv::Vec3b> drawBoundaries(const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                                   const cv::Mat_<int>* regions) {
    if (labels.size() != photo.size() || (regions != nullptr && regions->size() != photo.size())) {
        throw std::invalid_argument("drawBoundaries: photo, labels and regions differ in size");
    }
    cv::Mat_<cv::Vec3b> picture = photo.clone();
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            if (regions != nullptr && changesAt(*regions, y, x)) {
                picture(y, x) = kRegionBoundaryColour;
            } else if (changesAt(labels, y, x)) {
                picture(y, x) = kSegmentBoundaryColour;
            }
        }
    }
    return picture;
}

void writeBoundaryPicture(const std::string& path, const cv::Mat_<cv::Vec3b>& photo,
                          const cv::Mat_<int>& labels, const cv::Mat_<int>* regions) {
    const cv::Mat_<cv::Vec3b> picture = drawBoundaries(photo, labels, regions);
    bool written = false;
    try {
        QuietStandardError quiet;
        written = cv::imwrite(path, picture);
    } catch (const cv::Exception& e) {
        if (e.err.find("could not find a writer") == std::string::npos) fail(path, e.err);
        fail(path, "no picture format goes by its extension (try .png or .jpg)");
    }
    if (!written) fail(path, whyNotWritten(path));
}

}  // namespace segmora
