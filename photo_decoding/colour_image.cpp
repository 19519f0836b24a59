#include "colour_image.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "image_header.h"
#include "jpeg_decoding.h"
#include "opencv_codecs.h"
#include "png_decoding.h"
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
    fail(path, std::to_string(width) + " x " + std::to_string(height) + " pixels is too large (" +
                   pixelLimitText() + " pixels)");
}

// The photo decoded by the project's own JPEG or PNG reader, or an empty
// matrix when the file is neither, is one that those leave to OpenCV, or the
// user set limits of OpenCV's reader (which then judges every photo).
cv::Mat decodeCommonFormats(const std::string& path) {
    if (opencv_codecs::readerLimitsSet()) return cv::Mat();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    unsigned char start[8] = {};
    if (!file || std::fread(start, 1, sizeof start, file.get()) != sizeof start) return cv::Mat();
    std::rewind(file.get());
    cv::Mat bgr;
    bool decoded = false;
    if (start[0] == 0xff && start[1] == 0xd8 && start[2] == 0xff) {
        decoded = decodeJpeg(file.get(), bgr);
    } else if (std::memcmp(start, "\x89PNG\r\n\x1a\n", 8) == 0) {
        decoded = decodePng(file.get(), bgr);
    }
    return decoded ? bgr : cv::Mat();
}

}  // namespace

cv::Mat_<cv::Vec3b> readColourImage(const std::string& path) {
    if (path.empty()) throw std::invalid_argument("readColourImage: the photo path is empty");
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) fail(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) fail(path, "it is a directory");
    if (const std::optional<DeclaredSize> size = declaredImageSize(path)) {
        if (isTooLarge(size->width, size->height)) failTooLarge(path, size->width, size->height);
    }
    cv::Mat decoded = decodeCommonFormats(path);
    if (!decoded.empty()) return decoded;
    try {
        QuietStandardError quiet;
        decoded = opencv_codecs::imread(path, cv::IMREAD_COLOR);
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
