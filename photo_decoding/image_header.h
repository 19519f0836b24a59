#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace segmora {

struct DeclaredSize {
    uint64_t width = 0;
    uint64_t height = 0;
};

// The size in pixels that the header of the picture at `path` declares, read without
// decoding any pixel, for the formats OpenCV reads: PNG, JPEG, BMP, WebP, TIFF, PNM
// (PBM, PGM, PPM), PAM, PFM, Sun raster, Radiance HDR, JPEG 2000 and OpenEXR. Nothing when the file
// is none of these, cannot be read or its header is cut short: the decoder then judges the file.
std::optional<DeclaredSize> declaredImageSize(const std::string& path);

}  // namespace segmora
