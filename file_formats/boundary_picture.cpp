#include "boundary_picture.h"

#include <new>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "opencv_codecs.h"
#include "output_file.h"
#include "quiet_standard_error.h"

namespace segmora {

namespace {

// True where the right or lower neighbour of (y, x) holds another value.
bool changesAt(const cv::Mat_<int>& ids, int y, int x) {
    const int id = ids(y, x);
    return (x + 1 < ids.cols && ids(y, x + 1) != id) || (y + 1 < ids.rows && ids(y + 1, x) != id);
}

// A rows x cols picture in a buffer one (zeroed) row longer: OpenCV's Sun raster encoder
// reads a byte past the last pixel, which must stay inside the buffer and be defined.
cv::Mat_<cv::Vec3b> withSpareRow(int rows, int cols) {
    cv::Mat_<cv::Vec3b> buffer(rows + 1, cols);
    buffer.row(rows).setTo(cv::Scalar::all(0));
    return buffer.rowRange(0, rows);
}

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("cannot write boundary picture '" + path + "': " + why);
}

// The extension of the file name, dot included ("" when it has none).
std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

// The encoded picture; throws naming `path` when OpenCV cannot encode it.
std::vector<uchar> encode(const std::string& path, const cv::Mat& picture) {
    const std::string extension = extensionOf(path);
    if (extension.size() < 2) fail(path, "its name has no extension naming a picture format");
    std::vector<uchar> bytes;
    bool encoded = false, known = false;
    try {
        QuietStandardError quiet;
        known = opencv_codecs::haveImageWriter(path);
        encoded = known && opencv_codecs::imencode(extension, picture, bytes);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) throw std::bad_alloc();
        encoded = false;
    }
    if (!known) fail(path, "no picture format goes by its extension (try .png or .jpg)");
    if (!encoded) fail(path, "OpenCV cannot encode an 8-bit colour picture as '" + extension + "'");
    return bytes;
}

}  // namespace

cv::Mat_<cv::Vec3b> drawBoundaries(const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                                   const cv::Mat_<int>* regions) {
    if (labels.size() != photo.size() || (regions != nullptr && regions->size() != photo.size())) {
        throw std::invalid_argument("drawBoundaries: photo, labels and regions differ in size");
    }
    cv::Mat_<cv::Vec3b> picture = withSpareRow(photo.rows, photo.cols);
    photo.copyTo(picture);
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

void checkPictureFormat(const std::string& path) {
    cv::Mat_<cv::Vec3b> pixel = withSpareRow(1, 1);
    pixel.setTo(cv::Scalar::all(0));
    encode(path, pixel);
}

void writeBoundaryPicture(OutputFile& file, const std::string& path,
                          const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                          const cv::Mat_<int>* regions) {
    const std::vector<uchar> bytes = encode(path, drawBoundaries(photo, labels, regions));
    file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    file.commit();
}

}  // namespace segmora
