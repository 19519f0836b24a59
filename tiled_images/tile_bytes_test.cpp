// Sealed bytes: summed in pieces as in one, read back through a stream in pieces of any
// size, refused when cut anywhere, altered anywhere, or followed by more.
#include "tile_bytes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace segmora {
namespace {

std::vector<uint8_t> sealedOf(size_t length) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
    sealBytes(bytes);
    return bytes;
}

// Reads `bytes` with an 8-byte header saying nothing, then pieces of 20 bytes and the rest.
void readBack(const std::vector<uint8_t>& bytes, uint64_t length) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    SealedReader reader(in, "test bytes");
    reader.header(8);
    reader.expectLength(length);
    uint64_t left = length - 16;
    for (; left >= 20; left -= 20) reader.next(20);
    if (left > 0) reader.next(static_cast<size_t>(left));
    reader.finish();
}

// A fixed sum, so that bytes sealed by one build are read by another.
TEST(TileBytes, SumsInPiecesAsInOneAndReadsBackWhole) {
    const std::vector<uint8_t> bytes = sealedOf(100003);
    Checksum whole;
    whole.add(bytes.data(), 100003);
    for (const size_t first : {0u, 8u, 40u, 48u, 99960u}) {  // words in any of the four sums
        Checksum pieces;
        pieces.add(bytes.data(), first);
        pieces.add(bytes.data() + first, 24);
        pieces.add(bytes.data() + first + 24, 100003 - first - 24);
        EXPECT_EQ(pieces.value(), whole.value()) << first;
    }
    EXPECT_EQ(whole.value(), getBytes(bytes.data() + 100003, 8));
    EXPECT_EQ(whole.value(), 0xc5f8b17f4e89fe16ull);
    EXPECT_NO_THROW(readBack(bytes, bytes.size()));
    EXPECT_NO_THROW(checkSealed(bytes, "test bytes"));
}

TEST(TileBytes, CutAlteredOrLongerBytesAreRefused) {
    const std::vector<uint8_t> bytes = sealedOf(333);
    for (size_t cut = 0; cut < bytes.size(); cut += 5) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_THROW(readBack(part, bytes.size()), std::invalid_argument) << cut;
        EXPECT_THROW(checkSealed(part, "test bytes"), std::invalid_argument) << cut;
    }
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::vector<uint8_t> altered = bytes;
        altered[at] ^= 0x40;
        EXPECT_THROW(readBack(altered, bytes.size()), std::invalid_argument) << at;
    }
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_THROW(readBack(longer, bytes.size()), std::invalid_argument);
}

}  // namespace
}  // namespace segmora
