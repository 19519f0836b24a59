#include "tile_bytes.h"

#include <algorithm>
#include <stdexcept>

namespace segmora {

namespace {

constexpr size_t kBufferBytes = size_t{1} << 15;

uint64_t mixed(uint64_t sum, uint64_t word) {
    sum ^= word;
    sum *= 0x9e3779b97f4a7c15ull;
    return sum ^ (sum >> 29);
}

}  // namespace

void Checksum::add(const uint8_t* bytes, size_t count) {
    size_t i = 0;
    for (; i + 8 <= count && words % 4 != 0; i += 8) addWord(bytes + i);
    uint64_t a = lanes[0], b = lanes[1], c = lanes[2], d = lanes[3];
    for (; i + 32 <= count; i += 32) {
        a = mixed(a, getBytes(bytes + i, 8));
        b = mixed(b, getBytes(bytes + i + 8, 8));
        c = mixed(c, getBytes(bytes + i + 16, 8));
        d = mixed(d, getBytes(bytes + i + 24, 8));
        words += 4;
    }
    lanes[0] = a, lanes[1] = b, lanes[2] = c, lanes[3] = d;
    for (; i + 8 <= count; i += 8) addWord(bytes + i);
    if (i < count) {
        tailBytes = static_cast<int>(count - i);
        tail = getBytes(bytes + i, tailBytes);
    }
}

void Checksum::addWord(const uint8_t* bytes) {
    lanes[words % 4] = mixed(lanes[words % 4], getBytes(bytes, 8));
    ++words;
}

uint64_t Checksum::value() const {
    uint64_t sum = mixed(lanes[0], words);
    for (int lane = 1; lane < 4; ++lane) sum = mixed(sum, lanes[lane]);
    return tailBytes > 0 ? mixed(mixed(sum, tail), static_cast<uint64_t>(tailBytes)) : sum;
}

namespace {

uint64_t checksumOf(const uint8_t* bytes, size_t count) {
    Checksum sum;
    sum.add(bytes, count);
    return sum.value();
}

}  // namespace

void sealBytes(std::vector<uint8_t>& out) {
    putU64(out, checksumOf(out.data(), out.size()));
}

void checkSealed(const std::vector<uint8_t>& bytes, const std::string& what) {
    if (bytes.size() < 8) throw std::invalid_argument(what + " are truncated");
    const size_t body = bytes.size() - 8;
    if (checksumOf(bytes.data(), body) != getBytes(bytes.data() + body, 8)) {
        throw std::invalid_argument(what + " are altered or truncated (their check sum differs)");
    }
}

SealedReader::SealedReader(std::istream& in, std::string what)
    : in(in), what(std::move(what)), buffer(kBufferBytes) {}

void SealedReader::refuse(const std::string& why) const {
    throw std::invalid_argument(what + " " + why);
}

std::vector<uint8_t> SealedReader::header(size_t count) {
    std::vector<uint8_t> bytes(count);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (static_cast<size_t>(in.gcount()) != count) refuse("are truncated (no whole header)");
    sum.add(bytes.data(), count);
    headerBytes = count;
    return bytes;
}

void SealedReader::expectLength(uint64_t length) {
    if (length < headerBytes + 8) refuse("are altered (their length is too short)");
    unread = length - headerBytes - 8;
}

void SealedReader::refill(size_t count) {
    // Keep what is left, then read whole buffers (multiples of 8) up to the check sum.
    std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(begin),
              buffer.begin() + static_cast<std::ptrdiff_t>(end), buffer.begin());
    end -= begin;
    begin = 0;
    while (end < count) {
        if (unread == 0) refuse("are truncated or altered (a section runs past their end)");
        const size_t room = (buffer.size() - end) / 8 * 8;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(room, unread));
        in.read(reinterpret_cast<char*>(buffer.data() + end), static_cast<std::streamsize>(want));
        const size_t got = static_cast<size_t>(in.gcount());
        sum.add(buffer.data() + end, got);
        end += got;
        unread -= got;
        if (got != want) refuse("are truncated");
    }
}

const uint8_t* SealedReader::next(size_t count) {
    if (end - begin < count) refill(count);
    const uint8_t* bytes = buffer.data() + begin;
    begin += count;
    return bytes;
}

void SealedReader::finish() {
    if (begin != end || unread != 0) refuse("hold more than their header says");
    uint8_t stored[8];
    in.read(reinterpret_cast<char*>(stored), 8);
    if (in.gcount() != 8) refuse("are truncated (no check sum)");
    if (getBytes(stored, 8) != sum.value())
        refuse("are altered or truncated (their check sum differs)");
    if (in.peek() != std::char_traits<char>::eof()) refuse("go on past their check sum");
}

}  // namespace segmora
