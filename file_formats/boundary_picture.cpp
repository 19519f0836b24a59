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
