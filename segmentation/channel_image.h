#pragma once

#include <cstdint>
#include <memory>

#include "large_buffer.h"

namespace segmora {

// One channel of float samples, row after row without gaps. Samples are
// addressed through the row table: rowTable[y][x] is column x of row y.
struct ChannelImage {
    ChannelImage(int32_t width, int32_t height, bool zeroFill);

    ChannelImage(const ChannelImage&) = delete;
    ChannelImage& operator=(const ChannelImage&) = delete;

    LargeBuffer storage;
    float* data;
    std::unique_ptr<float*[]> rowTable;
    int32_t width;
    int32_t height;
};

}  // namespace segmora
