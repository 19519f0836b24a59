#pragma once

namespace segmora {

// The three channel planes of an image, each row-major and contiguous.
struct PixelChannels {
    const float* planes[3] = {nullptr, nullptr, nullptr};
};

}  // namespace segmora
