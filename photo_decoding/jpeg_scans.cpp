#include "jpeg_scans.h"

#include <cstring>
#include <vector>

namespace segmora {

namespace {

constexpr int kStartOfScan = 0xDA;
constexpr int kEndOfImage = 0xD9;

// The file's bytes in order, read a block at a time.
class ByteReader {
  public:
    explicit ByteReader(std::FILE* file) : file(file), block(1 << 16) {}

    int get() {
        if (at == size && !refill()) return EOF;
        return block[at++];
    }
    // Skips to the next 0xFF byte and returns it, or EOF.
    int skipToMarkerByte() {
        for (;;) {
            const void* found = std::memchr(block.data() + at, 0xFF, size - at);
            if (found != nullptr) {
                at = static_cast<size_t>(static_cast<const unsigned char*>(found) - block.data());
                return block[at++];
            }
            if (!refill()) return EOF;
        }
    }
    // Skips `count` bytes; false when the file ends first.
    bool skip(size_t count) {
        while (count > size - at) {
            count -= size - at;
            if (!refill()) return false;
        }
        at += count;
        return true;
    }

  private:
    bool refill() {
        size = std::fread(block.data(), 1, block.size(), file);
        at = 0;
        return size > 0;
    }

    std::FILE* file;
    std::vector<unsigned char> block;
    size_t at = 0, size = 0;
};

// Reads a segment's length field and skips the rest of the segment.
bool skipSegment(ByteReader& bytes) {
    const int high = bytes.get(), low = bytes.get();
    if (high == EOF || low == EOF) return false;
    const size_t length = static_cast<size_t>(high << 8 | low);
    return length >= 2 && bytes.skip(length - 2);
}

// The marker after 0xFF (fill bytes skipped), or EOF.
int markerAfterFf(ByteReader& bytes) {
    int marker = bytes.get();
    while (marker == 0xFF) marker = bytes.get();
    return marker;
}

// The next marker, found as the JPEG library finds it, in coded data and between segments
// alike: bytes up to a 0xFF are skipped (junk between segments, which the library skips
// with a warning, or coded data), then fill bytes (more 0xFF), stuffed zeros and restart
// markers. Returns that marker, or EOF at the end of the file.
int nextMarker(ByteReader& bytes) {
    while (bytes.skipToMarkerByte() != EOF) {
        const int marker = markerAfterFf(bytes);
        if (marker == EOF) return EOF;
        if (marker != 0x00 && (marker < 0xD0 || marker > 0xD7)) return marker;
    }
    return EOF;
}

}  // namespace

int countJpegScans(std::FILE* file, int limit) {
    std::rewind(file);
    ByteReader bytes(file);
    if (bytes.get() != 0xFF || bytes.get() != 0xD8) return 0;
    int scans = 0;
    int marker = nextMarker(bytes);
    while (marker != EOF && marker != kEndOfImage && scans <= limit) {
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
        if (!standalone && !skipSegment(bytes)) break;
        if (marker == kStartOfScan) ++scans;
        marker = nextMarker(bytes);
    }
    return scans;
}

}  // namespace segmora
