#include "tiff_photo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

namespace segmora {

namespace {

// A strip or tile larger than this once decoded is refused rather than decoded whole.
constexpr uint64_t kLargestBlock = uint64_t(256) << 20;

// libtiff's errors and warnings go to the photo's own message, never to stderr.
// libtiff reports a failure after the complaints that led to it (some of them over several
// lines): the error keeps the last message, on one line, without the file's name.
int keepError(TIFF* tif, void* user, const char*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string message;
    for (const char* c = text; *c != '\0'; ++c) {
        const bool space = std::isspace(static_cast<unsigned char>(*c)) != 0;
        if (!space || (!message.empty() && message.back() != ' ')) message += space ? ' ' : *c;
    }
    const std::string name = tif != nullptr ? std::string(TIFFFileName(tif)) + ": " : "";
    if (!name.empty() && message.rfind(name, 0) == 0) message.erase(0, name.size());
    *static_cast<std::string*>(user) = message;
    return 1;  // handled: libtiff's process-wide handler is not called
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// The first four bytes of a classic TIFF or a BigTIFF, either byte order.
bool startsLikeTiff(int fd) {
    unsigned char head[4] = {};
    if (::pread(fd, head, 4, 0) != 4) return false;
    const bool little = head[0] == 'I' && head[1] == 'I' && head[3] == 0;
    const bool big = head[0] == 'M' && head[1] == 'M' && head[2] == 0;
    return (little && (head[2] == 42 || head[2] == 43)) ||
           (big && (head[3] == 42 || head[3] == 43));
}

template <typename T>
T field(TIFF* tif, uint32_t tag, T fallback) {
    T value = fallback;
    if (!TIFFGetFieldDefaulted(tif, tag, &value)) value = fallback;
    return value;
}

}  // namespace

TiffPhoto::TiffPhoto(const std::string& path) : path(path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(std::strerror(errno));
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !startsLikeTiff(fd)) {
        ::close(fd);
        fail(S_ISDIR(info.st_mode) ? "it is a folder" : "not a TIFF file");
    }
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, dropWarning, nullptr);
    handle = TIFFFdOpenExt(fd, path.c_str(), "rm", options);  // "m": read, never map
    TIFFOpenOptionsFree(options);
    if (handle == nullptr) {
        ::close(fd);
        fail(errors.empty() ? "not a readable TIFF file" : errors);
    }
    try {
        checkPixels();
    } catch (...) {
        TIFFClose(handle);
        throw;
    }
}

TiffPhoto::~TiffPhoto() {
    TIFFClose(handle);
}

void TiffPhoto::fail(const std::string& what) const {
    throw std::runtime_error("cannot read photo '" + path + "': " + what);
}

void TiffPhoto::checkHeader() const {
    const auto bits = field<uint16_t>(handle, TIFFTAG_BITSPERSAMPLE, 1);
    const auto format = field<uint16_t>(handle, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    if (format == SAMPLEFORMAT_IEEEFP || format == SAMPLEFORMAT_COMPLEXIEEEFP) {
        fail(std::to_string(bits) +
             "-bit floating-point samples (only 8-bit unsigned ones are read)");
    }
    if (format != SAMPLEFORMAT_UINT) fail("signed samples (only 8-bit unsigned ones are read)");
    if (bits != 8) fail(std::to_string(bits) + "-bit samples (only 8-bit ones are read)");
    if (field<uint16_t>(handle, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != PLANARCONFIG_CONTIG) {
        fail("colour planes stored separately (only interleaved samples are read)");
    }
    const auto compression = field<uint16_t>(handle, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    if (!TIFFIsCODECConfigured(compression)) {
        fail("compression " + std::to_string(compression) + ", which this libtiff cannot decode");
    }
    const auto orientation = field<uint16_t>(handle, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (orientation != ORIENTATION_TOPLEFT) {
        fail("orientation " + std::to_string(orientation) +
             " (only rows from the top-left are read)");
    }
}

void TiffPhoto::checkPixels() {
    checkHeader();
    const auto photometric = field<uint16_t>(handle, TIFFTAG_PHOTOMETRIC, UINT16_MAX);
    const auto compression = field<uint16_t>(handle, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    if (photometric == PHOTOMETRIC_PALETTE) fail("palette colours (only RGB or grey are read)");
    const bool ycbcrJpeg = photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG;
    if (ycbcrJpeg && !TIFFSetField(handle, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
        fail(errors.empty() ? "its JPEG pixels cannot be decoded to RGB" : errors);
    }
    grey = photometric == PHOTOMETRIC_MINISBLACK;
    if (photometric == UINT16_MAX) fail("no photometric interpretation (RGB or grey)");
    if (photometric != PHOTOMETRIC_RGB && !grey && !ycbcrJpeg) {
        fail("photometric interpretation " + std::to_string(photometric) +
             " (only RGB or grey are read)");
    }
    samples = field<uint16_t>(handle, TIFFTAG_SAMPLESPERPIXEL, 1);
    const int colours = grey ? 1 : 3;
    if (samples != colours && samples != colours + 1) {
        fail(std::to_string(samples) + " samples per pixel (only " + std::to_string(colours) +
             ", or " + std::to_string(colours + 1) + " with alpha, are read)");
    }
    photoWidth = field<uint32_t>(handle, TIFFTAG_IMAGEWIDTH, 0);
    photoHeight = field<uint32_t>(handle, TIFFTAG_IMAGELENGTH, 0);
    if (photoWidth < 1 || photoHeight < 1) fail("no pixels");
    isTiled = TIFFIsTiled(handle) != 0;
    blockWidth = isTiled ? field<uint32_t>(handle, TIFFTAG_TILEWIDTH, 0) : photoWidth;
    blockHeight = isTiled
                      ? field<uint32_t>(handle, TIFFTAG_TILELENGTH, 0)
                      : std::min<int64_t>(
                            photoHeight, field<uint32_t>(handle, TIFFTAG_ROWSPERSTRIP, UINT32_MAX));
    const uint64_t blockBytes = isTiled ? TIFFTileSize64(handle) : TIFFStripSize64(handle);
    if (blockWidth < 1 || blockHeight < 1 || blockBytes == 0) {
        fail("no valid strips or tiles" + (errors.empty() ? "" : ": " + errors));
    }
    if (blockBytes > kLargestBlock) {
        fail(std::string(isTiled ? "tiles" : "strips") + " of " + std::to_string(blockBytes) +
             " bytes (at most 256 MiB each: store it in smaller tiles)");
    }
    if (double(blockBytes) < double(blockWidth) * double(blockHeight) * samples) {
        fail("strips or tiles smaller than their pixels");
    }
    block.resize(blockBytes);
}

cv::Mat TiffPhoto::readRect(int64_t x, int64_t y, int64_t w, int64_t h) {
    if (x < 0 || y < 0 || w < 1 || h < 1 || w > INT_MAX / 4 || h > INT_MAX || x > photoWidth - w ||
        y > photoHeight - h) {
        throw std::invalid_argument("the rectangle of " + std::to_string(w) + " x " +
                                    std::to_string(h) + " pixels at (" + std::to_string(x) + ", " +
                                    std::to_string(y) + ") lies outside photo '" + path + "'");
    }
    cv::Mat out(static_cast<int>(h), static_cast<int>(w), CV_8UC3);
    errors.clear();
    if (isTiled) {
        readTiles(out, x, y);
    } else {
        readStrips(out, x, y);
    }
    return out;
}

void TiffPhoto::readTiles(cv::Mat& out, int64_t x, int64_t y) {
    for (int64_t ty = y / blockHeight * blockHeight; ty < y + out.rows; ty += blockHeight) {
        for (int64_t tx = x / blockWidth * blockWidth; tx < x + out.cols; tx += blockWidth) {
            const uint32_t tile =
                TIFFComputeTile(handle, static_cast<uint32_t>(tx), static_cast<uint32_t>(ty), 0, 0);
            if (TIFFReadEncodedTile(handle, tile, block.data(),
                                    static_cast<tmsize_t>(block.size())) < 0) {
                fail("tile " + std::to_string(tile) + ": " +
                     (errors.empty() ? "unreadable" : errors));
            }
            copyBlock(out, x, y, tx, ty, blockWidth, blockHeight);
        }
    }
}

void TiffPhoto::readStrips(cv::Mat& out, int64_t x, int64_t y) {
    for (int64_t sy = y / blockHeight * blockHeight; sy < y + out.rows; sy += blockHeight) {
        const auto strip = static_cast<uint32_t>(sy / blockHeight);
        const int64_t rows = std::min(blockHeight, photoHeight - sy);
        const tmsize_t got =
            TIFFReadEncodedStrip(handle, strip, block.data(), static_cast<tmsize_t>(block.size()));
        if (got < rows * photoWidth * samples) {
            fail("strip " + std::to_string(strip) + ": " +
                 (errors.empty() ? "data cut short" : errors));
        }
        copyBlock(out, x, y, 0, sy, photoWidth, rows);
    }
}

void TiffPhoto::copyBlock(cv::Mat& out, int64_t x, int64_t y, int64_t bx, int64_t by, int64_t bw,
                          int64_t bh) const {
    const int64_t x0 = std::max(x, bx), x1 = std::min<int64_t>(x + out.cols, bx + bw);
    const int64_t y0 = std::max(y, by), y1 = std::min<int64_t>(y + out.rows, by + bh);
    const cv::Mat from(static_cast<int>(y1 - y0), static_cast<int>(x1 - x0), CV_8UC(samples),
                       const_cast<uint8_t*>(block.data()) + ((y0 - by) * bw + (x0 - bx)) * samples,
                       static_cast<size_t>(bw * samples));
    cv::Mat to =
        out(cv::Rect(static_cast<int>(x0 - x), static_cast<int>(y0 - y), from.cols, from.rows));
    static const int kConversions[] = {0, cv::COLOR_GRAY2BGR, cv::COLOR_GRAY2BGR, cv::COLOR_RGB2BGR,
                                       cv::COLOR_RGBA2BGR};
    // `to` has the size and type cvtColor makes: it writes into `out` in place.
    if (grey && samples == 2) {  // grey and alpha: the grey samples alone
        cv::Mat alone(from.size(), CV_8UC1);
        cv::extractChannel(from, alone, 0);
        cv::cvtColor(alone, to, cv::COLOR_GRAY2BGR);
    } else {
        cv::cvtColor(from, to, kConversions[samples]);
    }
}

}  // namespace segmora
