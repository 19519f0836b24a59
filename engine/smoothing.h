#pragma once

#include <memory>
#include <vector>

#include "float_channels.h"

namespace segmora {

// Gaussian taps: element 0 weighs the centre sample, element k each of the
// two samples at distance k.
using GaussianMask = std::vector<float>;

GaussianMask buildGaussianMask(float sigma);

// Scales the taps so that mask[0] + 2 * (mask[1] + ... + mask[n-1]) is 1.
void normalizeMask(GaussianMask& mask);

// True when the mask is [1, 0], which leaves every finite sample unchanged.
bool isIdentityMask(const GaussianMask& mask);

// Filters every row of `source` with the symmetric mask (clamping at the
// row ends) and writes the result transposed: destination[x][y].
void convolveEven(const ChannelImage& source, ChannelImage& destination, const GaussianMask& mask);

// Separable Gaussian smoothing; returns a new image of the source's shape,
// made from `pool` like its scratch image.
std::unique_ptr<ChannelImage> smoothChannel(const ChannelImage& source, float sigma,
                                            BlockPool& pool);

}  // namespace segmora
