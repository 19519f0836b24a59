#pragma once

#include <opencv2/core.hpp>
#include <string>

#include "boundary_drawing.h"

namespace segmora {

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
