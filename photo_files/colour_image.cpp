#include "colour_image.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "image_header.h"
#include "quiet_standard_error.h"
#include "segmora/segmora.h"

namespace segmora {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("cannot read image '" + path + "': " + why);
}

bool isTooLarge(uint64_t width, uint64_t height) {
    const auto limit = static_cast<uint64_t>(kMaxPixelCount);
    return width >= limit || height >= limit || width * height >= limit;
}

[[noreturn]] void failTooLarge(const std::string& path, uint64_t width, uint64_t height) {
    fail(path, std::to_string(width) + " x " + std::to_string(height) +
                   " pixels is too large (the limit is 2^29 pixels)");
}

}  // namespace

cv::Mat_<cv::Vec3b> readColourImage(const std::string& path) {
    if (path.empty()) throw std::runtime_error("no input image: give one with -i");
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) fail(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) fail(path, "it is a directory");
    if (const std::optional<DeclaredSize> size = declaredImageSize(path)) {
        if (isTooLarge(size->width, size->height)) failTooLarge(path, size->width, size->height);
    }
    cv::Mat decoded;
    try {
        QuietStandardError quiet;
        decoded = cv::imread(path, cv::IMREAD_COLOR);
    } catch (const cv::Exception& e) {
        // The decoder's own size limit (OPENCV_IO_MAX_IMAGE_PIXELS); it names no size.
        if (e.err.find("CV_IO_MAX_IMAGE") != std::string::npos) {
            fail(path, "it is too large for the image decoder's limit");
        }
        fail(path, "the decoder rejected it");
    }
    if (decoded.empty()) fail(path, "not a readable image format");
    if (isTooLarge(decoded.cols, decoded.rows)) failTooLarge(path, decoded.cols, decoded.rows);
    return decoded;
}

}  // namespace segmora
