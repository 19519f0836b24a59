#include "channel_image.h"

#include <algorithm>
#include <new>

namespace segmora {

ChannelImage::ChannelImage(BlockPool& pool, int32_t width, int32_t height, bool zeroFill)
    : width(width), height(height) {
    if (width < 0 || height < 0) throw std::bad_array_new_length();
    const int64_t count = int64_t{width} * height;
    storage = LargeBuffer(pool, static_cast<size_t>(count) * sizeof(float));
    data = storage.as<float>();
    rowTable.reset(new float*[static_cast<size_t>(height)]);
    for (int32_t y = 0; y < height; ++y) rowTable[y] = data + int64_t{y} * width;
    if (zeroFill) std::fill_n(data, count, 0.0f);
}

}  // namespace segmora
