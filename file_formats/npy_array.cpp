#include "npy_array.h"

#include <cstring>
#include <stdexcept>

namespace segmora {

namespace {

[[noreturn]] void fail(const std::string& why) {
    throw std::runtime_error(why);
}

// The text after "'key':" (blanks skipped) in the header dictionary.
size_t valueOf(const std::string& dict, const std::string& key) {
    const size_t at = dict.find("'" + key + "'");
    if (at == std::string::npos) fail("its NumPy header has no '" + key + "'");
    size_t colon = dict.find(':', at);
    if (colon == std::string::npos) fail("its NumPy header is malformed");
    ++colon;
    while (colon < dict.size() && dict[colon] == ' ') ++colon;
    return colon;
}

void parseDescr(const std::string& dict, NpyHeader& header) {
    const size_t at = valueOf(dict, "descr");
    const size_t end = dict.find('\'', at + 1);
    if (dict[at] != '\'' || end == std::string::npos) fail("its NumPy type is not a plain type");
    const std::string descr = dict.substr(at + 1, end - at - 1);
    if (descr.size() < 3) fail("its NumPy type '" + descr + "' is not a plain type");
    header.bigEndian = descr[0] == '>';
    header.kind = descr[1];
    header.itemSize = std::atoi(descr.c_str() + 2);
}

void parseShape(const std::string& dict, NpyHeader& header) {
    size_t at = valueOf(dict, "shape");
    if (dict[at] != '(') fail("its NumPy shape is malformed");
    for (++at; at < dict.size() && dict[at] != ')';) {
        if (dict[at] == ' ' || dict[at] == ',') {
            ++at;
            continue;
        }
        uint64_t value = 0;
        const size_t first = at;
        for (; at < dict.size() && dict[at] >= '0' && dict[at] <= '9'; ++at) {
            if (value > (uint64_t{1} << 40)) fail("its NumPy shape is too large");
            value = value * 10 + static_cast<uint64_t>(dict[at] - '0');
        }
        if (at == first) fail("its NumPy shape is malformed");
        header.shape.push_back(value);
    }
    if (at >= dict.size()) fail("its NumPy shape is malformed");
}

}  // namespace

NpyHeader parseNpyHeader(const std::string& bytes) {
    if (bytes.size() < 10 || bytes.compare(0, 6, "\x93NUMPY") != 0) fail("not a NumPy file");
    const auto byte = [&](size_t i) {
        return static_cast<size_t>(static_cast<unsigned char>(bytes[i]));
    };
    const int major = static_cast<int>(byte(6));
    size_t length, start;
    if (major == 1) {
        length = byte(8) | byte(9) << 8;
        start = 10;
    } else if ((major == 2 || major == 3) && bytes.size() >= 12) {
        length = byte(8) | byte(9) << 8 | byte(10) << 16 | byte(11) << 24;
        start = 12;
    } else {
        fail("its NumPy format version " + std::to_string(major) + " is not known");
    }
    if (bytes.size() < start + length) fail("its NumPy header is cut short");
    const std::string dict = bytes.substr(start, length);
    NpyHeader header;
    parseDescr(dict, header);
    header.fortranOrder = dict.compare(valueOf(dict, "fortran_order"), 4, "True") == 0;
    parseShape(dict, header);
    header.dataOffset = start + length;
    return header;
}

bool npyElement(const NpyHeader& header, const unsigned char* data, size_t index, int64_t& value) {
    const unsigned char* at = data + index * static_cast<size_t>(header.itemSize);
    uint64_t bits = 0;
    for (int i = 0; i < header.itemSize; ++i) {
        const int shift = header.bigEndian ? 8 * (header.itemSize - 1 - i) : 8 * i;
        bits |= static_cast<uint64_t>(at[i]) << shift;
    }
    if (header.kind == 'i' && header.itemSize < 8) {
        const uint64_t sign = uint64_t{1} << (8 * header.itemSize - 1);
        if (bits & sign) bits |= ~((sign << 1) - 1);
    }
    if (header.kind == 'u' && header.itemSize == 8 && bits > uint64_t{INT64_MAX}) return false;
    if (header.kind == 'b') bits = bits != 0;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

std::string npyHeader(int64_t rows, int64_t cols, int itemSize) {
    constexpr size_t kAlignment = 64;
    std::string header = "{'descr': '<i" + std::to_string(itemSize) +
                         "', 'fortran_order': False, 'shape': (" +
                         std::to_string(rows) + ", " + std::to_string(cols) + "), }";
    const size_t fixed = 10;  // magic, version, header length
    header.append(kAlignment - (fixed + header.size() + 1) % kAlignment, ' ');
    header += '\n';
    const size_t length = header.size();
    std::string prefix = "\x93NUMPY\x01";
    prefix += '\0';
    prefix += static_cast<char>(length & 0xff);
    prefix += static_cast<char>(length >> 8);
    return prefix + header;
}

}  // namespace segmora
