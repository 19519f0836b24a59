#include "image_header.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <sstream>

namespace segmora {

namespace {

// Reads bytes at any offset of a file; bytes past its end read as missing.
class HeaderBytes {
  public:
    explicit HeaderBytes(const std::string& path)
        : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~HeaderBytes() {
        if (fd >= 0) ::close(fd);
    }
    HeaderBytes(const HeaderBytes&) = delete;
    HeaderBytes& operator=(const HeaderBytes&) = delete;

    // The `count` bytes at `offset`, or an empty string when the file is shorter.
    std::string at(uint64_t offset, size_t count) const {
        std::string bytes(count, '\0');
        if (fd < 0 || count == 0) return "";
        const ssize_t n = ::pread(fd, bytes.data(), count, static_cast<off_t>(offset));
        return n == static_cast<ssize_t>(count) ? bytes : "";
    }
    // Up to `count` bytes from the start of the file.
    std::string prefix(size_t count) const {
        std::string bytes(count, '\0');
        const ssize_t n = fd < 0 ? -1 : ::pread(fd, bytes.data(), count, 0);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }
    bool startsWith(const char* magic, size_t length) const {
        return at(0, length) == std::string(magic, length);
    }

  private:
    int fd;
};

uint64_t bigEndian(const std::string& bytes, size_t at, size_t count) {
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

uint64_t littleEndian(const std::string& bytes, size_t at, size_t count) {
    uint64_t value = 0;
    for (size_t i = count; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::optional<DeclaredSize> pngSize(const HeaderBytes& file) {
    const std::string header = file.at(0, 24);
    if (header.empty() || header.compare(12, 4, "IHDR") != 0) return std::nullopt;
    return DeclaredSize{bigEndian(header, 16, 4), bigEndian(header, 20, 4)};
}

bool isStartOfFrame(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the JPEG segments up to the first start-of-frame marker.
std::optional<DeclaredSize> jpegSize(const HeaderBytes& file) {
    uint64_t at = 2;
    for (int segment = 0; segment < 10000; ++segment) {
        const std::string marker = file.at(at, 4);
        if (marker.empty() || static_cast<unsigned char>(marker[0]) != 0xFF) return std::nullopt;
        const int kind = static_cast<unsigned char>(marker[1]);
        if (kind == 0xFF) {  // fill byte
            at += 1;
        } else if (kind == 0x01 || (kind >= 0xD0 && kind <= 0xD8)) {  // no length
            at += 2;
        } else if (isStartOfFrame(kind)) {
            const std::string frame = file.at(at + 5, 4);
            if (frame.empty()) return std::nullopt;
            return DeclaredSize{bigEndian(frame, 2, 2), bigEndian(frame, 0, 2)};
        } else if (kind == 0xDA || kind == 0xD9) {  // scan or end without a frame
            return std::nullopt;
        } else {
            at += 2 + bigEndian(marker, 2, 2);
        }
    }
    return std::nullopt;
}

std::optional<DeclaredSize> bmpSize(const HeaderBytes& file) {
    const std::string header = file.at(14, 12);
    if (header.empty()) return std::nullopt;
    if (littleEndian(header, 0, 4) == 12) {  // OS/2 core header: 16-bit sizes
        return DeclaredSize{littleEndian(header, 4, 2), littleEndian(header, 6, 2)};
    }
    const auto width = static_cast<int32_t>(littleEndian(header, 4, 4));
    const auto height = static_cast<int32_t>(littleEndian(header, 8, 4));  // < 0: top-down
    const auto magnitude = [](int32_t v) { return v < 0 ? 0 - uint64_t(int64_t{v}) : uint64_t(v); };
    return DeclaredSize{magnitude(width), magnitude(height)};
}

std::optional<DeclaredSize> webpSize(const HeaderBytes& file) {
    const std::string header = file.prefix(30);
    if (header.size() < 25 || header.compare(8, 4, "WEBP") != 0) return std::nullopt;
    const std::string chunk = header.substr(12, 4);
    if (chunk != "VP8L" && header.size() < 30) return std::nullopt;
    if (chunk == "VP8X") {
        return DeclaredSize{littleEndian(header, 24, 3) + 1, littleEndian(header, 27, 3) + 1};
    }
    if (chunk == "VP8L") {
        const uint64_t bits = littleEndian(header, 21, 4);
        return DeclaredSize{(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1};
    }
    if (chunk == "VP8 ") {
        return DeclaredSize{littleEndian(header, 26, 2) & 0x3FFF,
                            littleEndian(header, 28, 2) & 0x3FFF};
    }
    return std::nullopt;
}

// The first image file directory of a classic TIFF file: tags 256 (width) and 257 (height).
std::optional<DeclaredSize> tiffSize(const HeaderBytes& file) {
    const std::string header = file.at(0, 8);
    if (header.empty()) return std::nullopt;
    const bool little = header[0] == 'I';
    const auto number = [little](const std::string& b, size_t at, size_t count) {
        return little ? littleEndian(b, at, count) : bigEndian(b, at, count);
    };
    const uint64_t directory = number(header, 4, 4);
    const std::string countBytes = file.at(directory, 2);
    if (countBytes.empty()) return std::nullopt;
    const uint64_t entries = number(countBytes, 0, 2);
    const std::string table = file.at(directory + 2, entries * 12);
    DeclaredSize size;
    for (uint64_t i = 0; i < entries && !table.empty(); ++i) {
        const size_t at = i * 12;
        const uint64_t tag = number(table, at, 2), type = number(table, at + 2, 2);
        const uint64_t value = type == 3 ? number(table, at + 8, 2) : number(table, at + 8, 4);
        if (tag == 256) size.width = value;
        if (tag == 257) size.height = value;
    }
    if (size.width == 0 || size.height == 0) return std::nullopt;
    return size;
}

// PBM, PGM, PPM and PFM: the magic, then width and height as decimal text, with
// comments from '#' to the line end (not in PFM, where they never occur).
std::optional<DeclaredSize> portableMapSize(const HeaderBytes& file) {
    const std::string header = file.prefix(4096);
    size_t at = 2;
    uint64_t numbers[2] = {0, 0};
    for (uint64_t& number : numbers) {
        while (at < header.size() &&
               (std::isspace(static_cast<unsigned char>(header[at])) || header[at] == '#')) {
            if (header[at] == '#') at = header.find('\n', at);
            if (at == std::string::npos) return std::nullopt;
            ++at;
        }
        const size_t start = at;
        while (at < header.size() && std::isdigit(static_cast<unsigned char>(header[at])) &&
               at - start < 19) {
            number = number * 10 + static_cast<uint64_t>(header[at++] - '0');
        }
        if (at == start || at == header.size()) return std::nullopt;
    }
    return DeclaredSize{numbers[0], numbers[1]};
}

std::optional<DeclaredSize> sunRasterSize(const HeaderBytes& file) {
    const std::string header = file.at(0, 12);
    if (header.empty()) return std::nullopt;
    return DeclaredSize{bigEndian(header, 4, 4), bigEndian(header, 8, 4)};
}

// PAM: "P7", then lines of "KEYWORD value" up to ENDHDR, comments from '#'.
std::optional<DeclaredSize> pamSize(const HeaderBytes& file) {
    std::istringstream lines(file.prefix(4096));
    DeclaredSize size;
    for (std::string line; std::getline(lines, line) && line != "ENDHDR";) {
        std::istringstream words(line);
        std::string key;
        uint64_t value = 0;
        if (!(words >> key >> value)) continue;
        if (key == "WIDTH") size.width = value;
        if (key == "HEIGHT") size.height = value;
    }
    if (size.width == 0 || size.height == 0) return std::nullopt;
    return size;
}

// Radiance HDR: header lines up to an empty one, then e.g. "-Y 480 +X 640".
std::optional<DeclaredSize> radianceSize(const HeaderBytes& file) {
    std::istringstream lines(file.prefix(16384));
    std::string line;
    while (std::getline(lines, line) && !line.empty()) {
    }
    std::string firstAxis, secondAxis;
    uint64_t first = 0, second = 0;
    if (!(lines >> firstAxis >> first >> secondAxis >> second)) return std::nullopt;
    const bool yFirst = firstAxis.size() == 2 && firstAxis[1] == 'Y';
    return yFirst ? DeclaredSize{second, first} : DeclaredSize{first, second};
}

// JPEG 2000: the image header box inside the header box of a JP2 file, or the SIZ
// marker segment of a bare codestream.
std::optional<DeclaredSize> jpeg2000Size(const HeaderBytes& file) {
    if (file.startsWith("\xFF\x4F\xFF\x51", 4)) {
        const std::string siz = file.at(8, 16);
        if (siz.empty()) return std::nullopt;
        const uint64_t right = bigEndian(siz, 0, 4), bottom = bigEndian(siz, 4, 4);
        const uint64_t left = bigEndian(siz, 8, 4), top = bigEndian(siz, 12, 4);
        if (left > right || top > bottom) return std::nullopt;
        return DeclaredSize{right - left, bottom - top};
    }
    uint64_t at = 0;
    for (int box = 0; box < 64; ++box) {
        const std::string header = file.at(at, 8);
        if (header.empty()) return std::nullopt;
        const uint64_t length = bigEndian(header, 0, 4);
        if (header.compare(4, 4, "jp2h") == 0) {
            const std::string image = file.at(at + 8, 16);
            if (image.empty() || image.compare(4, 4, "ihdr") != 0) return std::nullopt;
            return DeclaredSize{bigEndian(image, 12, 4), bigEndian(image, 8, 4)};
        }
        if (length < 8) return std::nullopt;  // 0 (to the end) or 1 (64-bit length)
        at += length;
    }
    return std::nullopt;
}

// OpenEXR: the header's attributes (name, type, byte count, value) up to an empty
// name; the data window holds the first and last pixel's x and y.
std::optional<DeclaredSize> exrSize(const HeaderBytes& file) {
    const std::string header = file.prefix(65536);
    size_t at = 8;
    while (at < header.size()) {
        const size_t nameEnd = header.find('\0', at);
        if (nameEnd == std::string::npos || nameEnd == at) return std::nullopt;
        const size_t typeEnd = header.find('\0', nameEnd + 1);
        if (typeEnd == std::string::npos || typeEnd + 5 > header.size()) return std::nullopt;
        const uint64_t length = littleEndian(header, typeEnd + 1, 4);
        const size_t value = typeEnd + 5;
        if (header.compare(at, nameEnd - at, "dataWindow") == 0 && length == 16 &&
            value + 16 <= header.size()) {
            const auto coordinate = [&](size_t i) {
                return int64_t{static_cast<int32_t>(littleEndian(header, value + 4 * i, 4))};
            };
            const int64_t width = coordinate(2) - coordinate(0) + 1;
            const int64_t height = coordinate(3) - coordinate(1) + 1;
            if (width <= 0 || height <= 0) return std::nullopt;
            return DeclaredSize{static_cast<uint64_t>(width), static_cast<uint64_t>(height)};
        }
        at = value + length;
    }
    return std::nullopt;
}

bool isPortableMapMagic(const std::string& magic) {
    return magic.size() == 2 && magic[0] == 'P' &&
           ((magic[1] >= '1' && magic[1] <= '6') || magic[1] == 'F' || magic[1] == 'f');
}

}  // namespace

std::optional<DeclaredSize> declaredImageSize(const std::string& path) {
    const HeaderBytes file(path);
    if (file.startsWith("\x89PNG\r\n\x1a\n", 8)) return pngSize(file);
    if (file.startsWith("\xFF\xD8", 2)) return jpegSize(file);
    if (file.startsWith("BM", 2)) return bmpSize(file);
    if (file.startsWith("RIFF", 4)) return webpSize(file);
    if (file.startsWith("II*\0", 4) || file.startsWith("MM\0*", 4)) return tiffSize(file);
    if (file.startsWith("\x59\xA6\x6A\x95", 4)) return sunRasterSize(file);
    if (isPortableMapMagic(file.at(0, 2))) return portableMapSize(file);
    if (file.startsWith("P7\n", 3)) return pamSize(file);
    if (file.startsWith("#?", 2)) return radianceSize(file);
    if (file.startsWith("\0\0\0\x0CjP  \r\n\x87\n", 12) || file.startsWith("\xFF\x4F\xFF\x51", 4)) {
        return jpeg2000Size(file);
    }
    if (file.startsWith("\x76\x2F\x31\x01", 4)) return exrSize(file);
    return std::nullopt;
}

}  // namespace segmora
