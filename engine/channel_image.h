#pragma once

#include <cstdint>
#include <memory>

#include "large_buffer.h"

namespace segmora {

// One channel of float samples, row after row without gaps. Samples are
// addressed through the row table: rowTable[y][x] is column x of row y.
// The samples live in a block of `pool`, which must outlive the image.
struct ChannelImage {
    ChannelImage(BlockPool& pool, int32_t width, int32_t height, bool zeroFill);

    ChannelImage(const ChannelImage&) = delete;
    ChannelImage& operator=(const ChannelImage&) = delete;

    LargeBuffer storage;
    float* data;
    std::unique_ptr<float*[]> rowTable;
    int32_t width;
    int32_t height;
};

}  // namespace segmora
