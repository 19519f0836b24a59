#pragma once

#include <opencv2/core.hpp>

#include "segmora/segmora.h"

// The pictures drawn from labels, in memory: shared by the programs, which write them to
// files, and by the Octave and Python bindings, which hand them back as arrays.
namespace segmora {

// Colours (blue, green, red) of the boundary picture. A pixel is a segment
// boundary when its right or lower neighbour has another label, and a region
// boundary when that neighbour has another region id. Region boundaries win
// where both apply, so a region's outline is drawn unbroken even where the
// superpixels follow it.
const cv::Vec3b kSegmentBoundaryColour(0, 255, 0);   // green
const cv::Vec3b kRegionBoundaryColour(255, 0, 255);  // magenta

// How boundaries are drawn. Thin: one pixel wide, the pixel above or left of each
// boundary (its right or lower neighbour differs), as described above. Thick: two pixels
// wide, both sides of each boundary (a pixel any of whose four neighbours differs).
enum class BoundaryMode { Thin, Thick };

struct BoundaryStyle {
    cv::Vec3b segmentColour = kSegmentBoundaryColour;  // blue, green, red
    cv::Vec3b regionColour = kRegionBoundaryColour;
    BoundaryMode mode = BoundaryMode::Thin;
};

// The photo with the boundaries of `labels` (and of `regions`, when given)
// painted over it in `style`; other pixels keep the photo's colour.
// Throws std::invalid_argument when the three do not share one size.
cv::Mat_<cv::Vec3b> drawBoundaries(const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                                   const cv::Mat_<int>* regions, const BoundaryStyle& style = {});

// Every pixel of `labels` painted in the mean colour of its superpixel, each channel
// rounded to the nearest whole number (halves up): the colours of `graph` (described with
// a photo). Throws std::invalid_argument for a graph without colours or labels beyond it.
cv::Mat_<cv::Vec3b> meanColourPicture(const cv::Mat_<int>& labels, const SuperpixelGraph& graph);

// A rows x cols picture in a buffer one (zeroed) row longer: OpenCV's Sun raster encoder
// reads a byte past the last pixel, which must stay inside the buffer and be defined.
cv::Mat_<cv::Vec3b> withSpareRow(int rows, int cols);

}  // namespace segmora
