#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "segmora/segmora.h"

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

// Throws std::runtime_error naming `path` unless OpenCV can encode an 8-bit colour
// picture in the format its extension names (a trial encode of one pixel), so that a
// picture that could never be written is refused before the long work.
void checkPictureFormat(const std::string& path,
                        const std::string& description = "boundary picture");

class OutputFile;
// Draws the boundaries, encodes the picture in memory in the format the extension of
// `path` names, and writes it to `file` (see OutputFile: written completely or not at
// all; an earlier picture survives a failure). Throws std::runtime_error naming the
// path when the picture cannot be encoded or written; OpenCV's own messages are kept
// off stderr.
void writeBoundaryPicture(OutputFile& file, const std::string& path,
                          const cv::Mat_<cv::Vec3b>& photo, const cv::Mat_<int>& labels,
                          const cv::Mat_<int>* regions, const BoundaryStyle& style = {});

// Encodes `picture` in the format the extension of `path` names and writes it to `file`,
// as writeBoundaryPicture does; `description` names the picture in messages.
void writePicture(OutputFile& file, const std::string& path, const cv::Mat_<cv::Vec3b>& picture,
                  const std::string& description);

}  // namespace segmora
