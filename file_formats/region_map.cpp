#include "region_map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <stdexcept>
#include <vector>

#include "image_header.h"
#include "npy_array.h"
#include "opencv_codecs.h"
#include "quiet_standard_error.h"
#include "region_text.h"

namespace segmora {

namespace {

enum class MapKind { Text, Png, Tiff, Npy };

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw std::runtime_error("region file '" + path + "' " + why);
}

[[noreturn]] void failReading(const std::string& path, int error) {
    throw std::runtime_error("cannot read region file '" + path + "': " + std::strerror(error));
}

// A file opened for reading, closed when it goes out of scope.
struct OpenFile {
    explicit OpenFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd < 0) failReading(path, errno);
    }
    ~OpenFile() { ::close(fd); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Up to `count` bytes from `offset`; fewer only at the end of the file.
    std::string read(const std::string& path, size_t offset, size_t count) const {
        std::string bytes(count, '\0');
        size_t done = 0;
        while (done < count) {
            const ssize_t n =
                ::pread(fd, &bytes[done], count - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failReading(path, errno);
            if (n == 0) break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
        return bytes;
    }

    const int fd;
};

MapKind kindOf(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return MapKind::Text;
    const std::string start = OpenFile(path).read(path, 0, 8);
    if (start.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return MapKind::Png;
    if (start.compare(0, 4, std::string("II*\0", 4)) == 0 ||
        start.compare(0, 4, std::string("MM\0*", 4)) == 0) {
        return MapKind::Tiff;
    }
    if (start.compare(0, 6, "\x93NUMPY") == 0) return MapKind::Npy;
    return MapKind::Text;
}

std::string sizeText(uint64_t width, uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

void checkSize(const std::string& path, uint64_t width, uint64_t height,
               const cv::Mat_<int>& regions) {
    if (width != static_cast<uint64_t>(regions.cols) ||
        height != static_cast<uint64_t>(regions.rows)) {
        fail(path, "is " + sizeText(width, height) + " pixels, but the image is " +
                       sizeText(regions.cols, regions.rows));
    }
}

std::string position(size_t index, int columns) {
    return "number " + std::to_string(index + 1) + " (row " + std::to_string(index / columns) +
           ", column " + std::to_string(index % columns) + ")";
}

const char* oneChannelWords(MapKind kind) {
    return kind == MapKind::Png ? "a region map must be one channel of 8 or 16 bits"
                                : "a region map must be one channel of 8, 16 or 32-bit integers";
}

void readPicture(const std::string& path, MapKind kind, cv::Mat_<int>& regions) {
    if (const std::optional<DeclaredSize> size = declaredImageSize(path)) {
        checkSize(path, size->width, size->height, regions);
    }
    // OpenCV's reader may take one sample of several for the only one, or none at all.
    const std::optional<uint64_t> samples =
        kind == MapKind::Tiff ? tiffSamplesPerPixel(path) : std::nullopt;
    if (samples && *samples != 1) {
        fail(path, "is not one channel: it has " + std::to_string(*samples) +
                       " samples per pixel; " + oneChannelWords(kind));
    }
    cv::Mat map;
    try {
        QuietStandardError quiet;
        map = opencv_codecs::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception&) {
        map.release();
    }
    if (map.empty()) fail(path, "cannot be decoded");
    checkSize(path, map.cols, map.rows, regions);
    const int depth = map.depth();
    const bool integers =
        depth == CV_8U || depth == CV_16U ||
        (kind == MapKind::Tiff && (depth == CV_8S || depth == CV_16S || depth == CV_32S));
    if (map.channels() != 1 || !integers) {
        fail(path, std::string("is not a grey picture of whole numbers: a region map must be one "
                               "channel of ") +
                       (kind == MapKind::Png ? "8 or 16 bits" : "8, 16 or 32-bit integers"));
    }
    map.convertTo(regions, CV_32S);
}

void readNpy(const std::string& path, cv::Mat_<int>& regions) {
    const OpenFile file(path);
    const std::string start = file.read(path, 0, 1 << 16);
    NpyHeader header;
    try {
        header = parseNpyHeader(start);
    } catch (const std::runtime_error& e) {
        fail(path, std::string("cannot be read: ") + e.what());
    }
    const bool integers = (header.kind == 'i' || header.kind == 'u') &&
                          (header.itemSize == 1 || header.itemSize == 2 || header.itemSize == 4 ||
                           header.itemSize == 8);
    if (!integers && !(header.kind == 'b' && header.itemSize == 1)) {
        fail(path, "is not an array of integers: its NumPy type is kind '" +
                       std::string(1, header.kind) + "', " + std::to_string(header.itemSize) +
                       " bytes");
    }
    if (header.shape.size() != 2) {
        fail(path, "is not a two-dimensional array: it has " + std::to_string(header.shape.size()) +
                       " dimensions");
    }
    checkSize(path, header.shape[1], header.shape[0], regions);
    const size_t cells = static_cast<size_t>(regions.rows) * regions.cols;
    const size_t bytes = cells * static_cast<size_t>(header.itemSize);
    const std::string data = file.read(path, header.dataOffset, bytes);
    if (data.size() < bytes) {
        fail(path, "holds " + std::to_string(data.size() / header.itemSize) +
                       " numbers, but the image has " + std::to_string(cells) + " pixels");
    }
    const auto* elements = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t index = 0; index < cells; ++index) {
        const int y = static_cast<int>(index / regions.cols),
                  x = static_cast<int>(index % regions.cols);
        const size_t stored =
            header.fortranOrder ? static_cast<size_t>(x) * regions.rows + y : index;
        int64_t value = 0;
        const bool known = npyElement(header, elements, stored, value);
        if (!known || value < std::numeric_limits<int>::min() ||
            value > std::numeric_limits<int>::max()) {
            throw std::runtime_error("region file '" + path +
                                     "': " + position(index, regions.cols) +
                                     " is not a whole number in the 32-bit range: " +
                                     (known ? std::to_string(value) : "above 2^63"));
        }
        regions(y, x) = static_cast<int>(value);
    }
}

}  // namespace

std::optional<TextLayout> readRegionMap(const std::string& path, cv::Mat_<int>& regions) {
    const MapKind kind = kindOf(path);
    if (kind == MapKind::Text) {
        return readRegionFile(path, regions);
    } else if (kind == MapKind::Npy) {
        readNpy(path, regions);
    } else {
        readPicture(path, kind, regions);
    }
    return std::nullopt;
}

bool looksTransposed(const TextLayout& layout, int rows, int cols) {
    return rows != cols && layout.lines == cols && layout.numbersPerLine == rows;
}

}  // namespace segmora
