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
#include "jpeg_scans.h"
#include "opencv_codecs.h"
#include "photo_pixels.h"
#include "png_decoding.h"
#include "quiet_standard_error.h"
#include "segmora/segmora.h"

namespace segmora {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("cannot read image '" + path + "': " + why);
}

bool isTooLarge(uint64_t width, uint64_t height) {
    const auto limit = static_cast<uint64_t>(kMaxPixelCount);
    return width >= limit || height >= limit || width * height >= limit;
}

std::string sizeText(uint64_t width, uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

[[noreturn]] void failTooLarge(const std::string& path, uint64_t width, uint64_t height) {
    fail(path, sizeText(width, height) + " is too large (" + pixelLimitText() + " pixels)");
}

bool isJpeg(const unsigned char* start) {
    return start[0] == 0xff && start[1] == 0xd8 && start[2] == 0xff;
}

bool isPng(const unsigned char* start) {
    return std::memcmp(start, "\x89PNG\r\n\x1a\n", 8) == 0;
}

// Refuses, before any pixel is decoded, what no reader could finish soon or at all: a
// JPEG of more scans than kMaxJpegScans, a PNG wider or taller than the PNG library reads.
void checkDecodable(const std::string& path, std::FILE* file, const unsigned char* start,
                    const std::optional<DeclaredSize>& size) {
    if (isJpeg(start) && countJpegScans(file, kMaxJpegScans) > kMaxJpegScans) {
        fail(path, "it has more than " + std::to_string(kMaxJpegScans) +
                       " scans (a progressive JPEG has about 10), each of which is decoded "
                       "over the whole picture");
    }
    if (isPng(start) && size) {
        const uint32_t side = pngLibrarySideLimit();
        if (size->width > side || size->height > side) {
            fail(path, sizeText(size->width, size->height) +
                           " is more than the PNG library reads (at most " + std::to_string(side) +
                           " pixels a side)");
        }
    }
}

// The photo decoded by the project's own JPEG or PNG reader, or an empty matrix when the
// file is neither, is one that those leave to OpenCV, or the user set limits of OpenCV's
// reader (which then judges every photo).
cv::Mat decodeCommonFormats(std::FILE* file, const unsigned char* start, Orientation orientation) {
    if (opencv_codecs::readerLimitsSet()) return cv::Mat();
    std::rewind(file);
    cv::Mat bgr;
    bool decoded = false;
    if (isJpeg(start)) {
        decoded = decodeJpeg(file, bgr, orientation);
    } else if (isPng(start)) {
        decoded = decodePng(file, bgr, orientation);
    }
    return decoded ? bgr : cv::Mat();
}

cv::Mat decodeWithOpenCv(const std::string& path, Orientation orientation) {
    const int flags =
        cv::IMREAD_COLOR | (orientation == Orientation::Ignore ? cv::IMREAD_IGNORE_ORIENTATION : 0);
    try {
        QuietStandardError quiet;
        return opencv_codecs::imread(path, flags);
    } catch (const cv::Exception& e) {
        // The decoder's own size limit (OPENCV_IO_MAX_IMAGE_PIXELS); it names no size.
        if (e.err.find("CV_IO_MAX_IMAGE") != std::string::npos) {
            fail(path, "it is too large for the image decoder's limit");
        }
        if (e.code == cv::Error::StsNoMem) throw;
        fail(path, "the decoder rejected it");
    }
}

// Refuses, before decoding, an empty path, a file that is missing or a directory, and a
// photo whose header declares too many pixels; returns the declared size.
std::optional<DeclaredSize> checkPhotoFile(const std::string& path) {
    if (path.empty()) throw std::invalid_argument("readColourImage: the photo path is empty");
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) fail(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) fail(path, "it is a directory");
    const std::optional<DeclaredSize> size = declaredImageSize(path);
    if (size && isTooLarge(size->width, size->height))
        failTooLarge(path, size->width, size->height);
    return size;
}

}  // namespace

cv::Mat_<cv::Vec3b> readColourImage(const std::string& path, Orientation orientation) {
    const std::optional<DeclaredSize> size = checkPhotoFile(path);
    cv::Mat decoded;
    if (const File file{std::fopen(path.c_str(), "rb"), &std::fclose}) {
        unsigned char start[8] = {};
        if (std::fread(start, 1, sizeof start, file.get()) == sizeof start) {
            checkDecodable(path, file.get(), start, size);
            decoded = decodeCommonFormats(file.get(), start, orientation);
        }
    }
    if (!decoded.empty()) return decoded;
    decoded = decodeWithOpenCv(path, orientation);
    if (decoded.empty()) fail(path, "not a readable image format");
    if (isTooLarge(decoded.cols, decoded.rows)) failTooLarge(path, decoded.cols, decoded.rows);
    return decoded;
}

cv::Mat_<cv::Vec3b> readColourImage(const std::string& path, Orientation orientation,
                                    int sampleBits) {
    if (sampleBits < 8 || sampleBits > 16)
        throw std::invalid_argument("readColourImage: sample bits must be 8 to 16");
    if (sampleBits == 16) return readColourImage(path, orientation);
    checkPhotoFile(path);
    const int flags = cv::IMREAD_COLOR | cv::IMREAD_ANYDEPTH |
                      (orientation == Orientation::Ignore ? cv::IMREAD_IGNORE_ORIENTATION : 0);
    cv::Mat decoded;
    try {
        QuietStandardError quiet;
        decoded = opencv_codecs::imread(path, flags);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) throw;
        fail(path, "the decoder rejected it");
    }
    if (decoded.empty()) fail(path, "not a readable image format");
    if (isTooLarge(decoded.cols, decoded.rows)) failTooLarge(path, decoded.cols, decoded.rows);
    if (decoded.depth() == CV_8U) return decoded;
    if (decoded.depth() != CV_16U) fail(path, "its samples are neither 8 nor 16 bits");
    cv::Mat_<cv::Vec3b> bgr(decoded.rows, decoded.cols);
    for (int r = 0; r < decoded.rows; ++r) {
        const auto* in = decoded.ptr<uint16_t>(r);
        auto* out = bgr.ptr<uint8_t>(r);
        for (int i = 0; i < decoded.cols * 3; ++i) out[i] = byteOfSample(in[i], sampleBits);
    }
    return bgr;
}

}  // namespace segmora
