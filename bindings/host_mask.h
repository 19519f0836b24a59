// The mask of a call, from a host array: which pixels are segmented. The same rules and
// messages for every host.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "host_array.h"
#include "host_photo.h"

namespace segmora::bindings {

// Checks the mask's kind and shape (H x W like the photo); throws ArgumentError.
void checkMask(const HostArray& mask, PhotoSize size, const HostStyle& style);

// The mask as one byte per pixel, 1 inside (true or 1: segment this pixel), 0 outside.
// The mask holds bool, or numbers of any kind that are each 0 or 1; throws ArgumentError
// naming the first other value.
cv::Mat_<std::uint8_t> maskFrom(const HostArray& mask, PhotoSize size, const HostStyle& style);

}  // namespace segmora::bindings
