#pragma once

#include <cstddef>
#include <opencv2/core.hpp>

namespace segmora {

// Whether a photo's recorded orientation (Exif tag 274) is applied to its pixels, as
// OpenCV's reader does by default, or the pixels are taken as they are stored.
enum class Orientation { Apply, Ignore };

// The orientation, 1 to 8, that OpenCV's reader finds in a TIFF block (as held by an
// Exif segment or a PNG eXIf chunk): the first directory's orientation tag, 1 when the
// block has no byte-order mark or no such tag. 0 when the block cannot be read to the
// end of that directory or the tag is not one SHORT of 1 to 8: the caller then leaves
// the photo to OpenCV's reader, which judges such blocks itself.
int tiffOrientation(const unsigned char* tiff, size_t size);

// The same for a JPEG's first APP1 segment: OpenCV's reader takes the TIFF block six
// bytes into it, whether or not the segment starts with "Exif\0\0".
int app1Orientation(const unsigned char* segment, size_t size);

// Turns `image` from its stored form to the upright one that `orientation` (1 to 8)
// describes, as OpenCV's reader does.
void applyOrientation(cv::Mat& image, int orientation);

}  // namespace segmora
