#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <string>
#include <vector>

namespace segmora {

// The bytes the phases of a tiled run hand each other: little-endian numbers whatever the
// machine, a fixed header, and an 8-byte check sum of everything before it at the end, so
// that a truncated or altered file is refused instead of read.

// The check sum of bytes that may come in pieces, all but the last a multiple of 8 bytes
// long. Their 8-byte words are mixed into four sums in turn (word i into sum i % 4), which
// a processor works on side by side, and the four into one at the end.
class Checksum {
  public:
    void add(const uint8_t* bytes, size_t count);
    uint64_t value() const;

  private:
    void addWord(const uint8_t* bytes);

    uint64_t lanes[4] = {0x5345474d4f524131ull, 0x5345474d4f524132ull, 0x5345474d4f524133ull,
                         0x5345474d4f524134ull};
    uint64_t words = 0;
    uint64_t tail = 0;  // the last bytes after the whole words, and how many
    int tailBytes = 0;
};

inline void storeBytes(uint8_t* out, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void putBytes(std::vector<uint8_t>& out, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline void putU32(std::vector<uint8_t>& out, uint32_t value) {
    putBytes(out, value, 4);
}
inline void putU64(std::vector<uint8_t>& out, uint64_t value) {
    putBytes(out, value, 8);
}
inline void putMagic(std::vector<uint8_t>& out, const char (&magic)[8]) {
    for (const char c : magic) out.push_back(static_cast<uint8_t>(c));
}
inline uint64_t getBytes(const uint8_t* in, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint64_t{in[i]} << (8 * i);
    return value;
}
// getBytes for a count of 2, 3, 4 or 8 known only at run time, each width read in one go.
inline uint64_t getFixedBytes(const uint8_t* in, int count) {
    if (count == 2) return getBytes(in, 2);
    if (count == 3) return getBytes(in, 3);
    if (count == 4) return getBytes(in, 4);
    return getBytes(in, 8);
}
// The bytes of a number below `count` (a local segment's id): 2, 3 or 4, the widest
// value of that width left unused.
inline int idBytesFor(uint64_t count) {
    return count < (uint64_t{1} << 16) ? 2 : count < (uint64_t{1} << 24) ? 3 : 4;
}
inline uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float bitsFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Appends the check sum of all of `out` to it.
void sealBytes(std::vector<uint8_t>& out);
// Throws std::invalid_argument("<what> ...") unless `bytes` ends in the check sum of the rest.
void checkSealed(const std::vector<uint8_t>& bytes, const std::string& what);

// Reads sealed bytes from a stream front to back, a buffer at a time, summing them on the
// way. Every refusal (std::invalid_argument) starts with `what`.
class SealedReader {
  public:
    SealedReader(std::istream& in, std::string what);

    // The first `count` bytes (the header; a multiple of 8).
    std::vector<uint8_t> header(size_t count);
    // Once the header is read: the whole length, check sum included.
    void expectLength(uint64_t length);
    // The next `count` bytes (at most the buffer's size) before the check sum.
    const uint8_t* next(size_t count);
    // Reads the check sum, compares it and makes sure nothing follows.
    void finish();

    [[noreturn]] void refuse(const std::string& why) const;
    const std::string& name() const { return what; }

  private:
    void refill(size_t count);

    std::istream& in;
    std::string what;
    std::vector<uint8_t> buffer;
    size_t begin = 0, end = 0;  // bytes of the buffer not yet handed out
    Checksum sum;
    uint64_t unread = 0;  // bytes before the check sum not yet in the buffer
    uint64_t headerBytes = 0;
};

}  // namespace segmora
