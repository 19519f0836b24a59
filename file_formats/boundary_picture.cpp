#include "boundary_picture.h"

#include <cmath>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "opencv_codecs.h"
#include "output_file.h"
#include "quiet_standard_error.h"

namespace segmora {

namespace {

// True where the right or lower neighbour of (y, x) holds another value; with `bothSides`
// also the left or upper one.
bool changesAt(const cv::Mat_<int>& ids, int y, int x, bool bothSides) {
    const int id = ids(y, x);
    return (x + 1 < ids.cols && ids(y, x + 1) != id) || (y + 1 < ids.rows && ids(y + 1, x) != id) ||
           (bothSides && ((x > 0 && ids(y, x - 1) != id) || (y > 0 && ids(y - 1, x) != id)));
}

// A rows x cols picture in a buffer one (zeroed) row longer: OpenCV's Sun raster encoder
// reads a byte past the last pixel, which must stay inside the buffer and be defined.
cv::Mat_<cv::Vec3b> withSpareRow(int rows, int cols) {
    cv::Mat_<cv::Vec3b> buffer(rows + 1, cols);
    buffer.row(rows).setTo(cv::Scalar::all(0));
    return buffer.rowRange(0, rows);
}

[[noreturn]] void fail(const std::string& description, const std::string& path,
                       const std::string& why) {
    throw std::runtime_error("cannot write " + description + " '" + path + "': " + why);
}

// The extension of the file name, dot included ("" when it has none).
std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

// The encoded picture; throws naming `path` when OpenCV cannot encode it.
std::vector<uchar> encode(const std::string& path, const cv::Mat& picture,
                          const std::string& description = "boundary picture") {
    const std::string extension = extensionOf(path);
    if (extension.size() < 2) {
        fail(description, path, "its name has no extension naming a picture format");
    }
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
    if (!known)
        fail(description, path, "no picture format goes by its extension (try .png or .jpg)");
    if (!encoded) {
        fail(description, path,
             "OpenCV cannot encode an 8-bit colour picture as '" + extension + "'");
    }
    return bytes;
}

}  // namespace

cv::Mat_<cv::Vec3b> drawBoundaries(const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                                   const cv::Mat_<int>* regions, const BoundaryStyle& style) {
    if (labels.size() != photo.size() || (regions != nullptr && regions->size() != photo.size())) {
        throw std::invalid_argument("drawBoundaries: photo, labels and regions differ in size");
    }
    cv::Mat_<cv::Vec3b> picture = withSpareRow(photo.rows, photo.cols);
    photo.copyTo(picture);
    const bool thick = style.mode == BoundaryMode::Thick;
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            if (regions != nullptr && changesAt(*regions, y, x, thick)) {
                picture(y, x) = style.regionColour;
            } else if (changesAt(labels, y, x, thick)) {
                picture(y, x) = style.segmentColour;
            }
        }
    }
    return picture;
}

cv::Mat_<cv::Vec3b> meanColourPicture(const cv::Mat_<int>& labels, const SuperpixelGraph& graph) {
    const auto count = static_cast<size_t>(graph.count);
    for (const auto& channel : graph.meanBgr) {
        if (channel.size() != count) {
            throw std::invalid_argument("meanColourPicture: the graph has no mean colours");
        }
    }
    std::vector<cv::Vec3b> colour(count);
    for (size_t k = 0; k < count; ++k) {
        for (int c = 0; c < 3; ++c) {
            const double mean = graph.meanBgr[c][k];  // NaN: a label no pixel carries
            colour[k][c] = std::isnan(mean) ? 0 : static_cast<uint8_t>(mean + 0.5);
        }
    }
    cv::Mat_<cv::Vec3b> picture = withSpareRow(labels.rows, labels.cols);
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels[y];
        cv::Vec3b* out = picture[y];
        for (int x = 0; x < labels.cols; ++x) {
            if (row[x] < 1 || static_cast<size_t>(row[x]) > count) {
                throw std::invalid_argument("meanColourPicture: label " + std::to_string(row[x]) +
                                            " is outside the graph");
            }
            out[x] = colour[static_cast<size_t>(row[x]) - 1];
        }
    }
    return picture;
}

void checkPictureFormat(const std::string& path, const std::string& description) {
    cv::Mat_<cv::Vec3b> pixel = withSpareRow(1, 1);
    pixel.setTo(cv::Scalar::all(0));
    encode(path, pixel, description);
}

void writeBoundaryPicture(OutputFile& file, const std::string& path,
                          const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                          const cv::Mat_<int>* regions, const BoundaryStyle& style) {
    writePicture(file, path, drawBoundaries(photo, labels, regions, style), "boundary picture");
}

void writePicture(OutputFile& file, const std::string& path, const cv::Mat_<cv::Vec3b>& picture,
                  const std::string& description) {
    const std::vector<uchar> bytes = encode(path, picture, description);
    file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    file.commit();
}

}  // namespace segmora
