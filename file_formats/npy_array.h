#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace segmora {

// What the header of a NumPy .npy file says about its array.
struct NpyHeader {
    char kind = 0;     // 'i' signed, 'u' unsigned integer, 'b' bool, 'f' float, ...
    int itemSize = 0;  // bytes per element
    bool bigEndian = false;
    bool fortranOrder = false;
    std::vector<uint64_t> shape;
    size_t dataOffset = 0;  // where the elements begin
};

// Parses the header at the start of `bytes` (at least its first dataOffset bytes; version
// 1, 2 or 3). Throws std::runtime_error saying what is wrong with it.
NpyHeader parseNpyHeader(const std::string& bytes);

// Element `index` (in the file's order) of an integer or bool array as a 64-bit value;
// false for an unsigned value above the int64 range.
bool npyElement(const NpyHeader& header, const unsigned char* data, size_t index, int64_t& value);

// The version 1.0 NumPy header of a little-endian array of rows x cols signed integers of
// `itemSize` bytes (4: '<i4', 8: '<i8') in C order, padded with spaces to a multiple of 64
// bytes and ended by a line feed.
std::string npyHeader(int64_t rows, int64_t cols, int itemSize = 4);

}  // namespace segmora
