#include "jpeg_scans.h"

#include <cstdint>

namespace segmora {

namespace {

constexpr int kStartOfScan = 0xDA;
constexpr int kEndOfImage = 0xD9;

// Reads the bytes of a segment's length field and skips the rest of the segment.
bool skipSegment(std::FILE* file) {
    const int high = getc_unlocked(file), low = getc_unlocked(file);
    if (high == EOF || low == EOF) return false;
    const long length = high << 8 | low;
    return length >= 2 && std::fseek(file, length - 2, SEEK_CUR) == 0;
}

// Skips coded data up to the next marker that is not a restart marker or a stuffed zero;
// returns that marker, or EOF at the end of the file.
int nextMarkerAfterData(std::FILE* file) {
    for (int byte = getc_unlocked(file); byte != EOF; byte = getc_unlocked(file)) {
        if (byte != 0xFF) continue;
        int marker = getc_unlocked(file);
        while (marker == 0xFF) marker = getc_unlocked(file);  // fill bytes
        if (marker == EOF) return EOF;
        if (marker != 0x00 && (marker < 0xD0 || marker > 0xD7)) return marker;
    }
    return EOF;
}

// The next marker at a segment boundary (fill bytes skipped), or EOF.
int nextMarker(std::FILE* file) {
    if (getc_unlocked(file) != 0xFF) return EOF;
    int marker = getc_unlocked(file);
    while (marker == 0xFF) marker = getc_unlocked(file);
    return marker;
}

}  // namespace

int countJpegScans(std::FILE* file, int limit) {
    std::rewind(file);
    if (getc_unlocked(file) != 0xFF || getc_unlocked(file) != 0xD8) return 0;
    int scans = 0;
    int marker = nextMarker(file);
    while (marker != EOF && marker != kEndOfImage && scans <= limit) {
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
        if (!standalone && !skipSegment(file)) break;
        if (marker == kStartOfScan) {
            ++scans;
            marker = nextMarkerAfterData(file);
        } else {
            marker = nextMarker(file);
        }
    }
    return scans;
}

}  // namespace segmora
