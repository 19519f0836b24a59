#pragma once

#include <opencv2/core.hpp>
#include <string>

namespace segmora {

// Fills `regions` (already sized rows x cols) in row-major order with the decimal
// integers of the file at `path`, separated by white space or by a comma with or without
// white space around it (so the programs' CSV label files read back). Carriage returns
// count as white space, so CRLF line ends read like LF ones; a UTF-8 byte-order mark at
// the very start is skipped (an incomplete one, or one elsewhere, is a malformed number);
// numbers after the first rows x cols are ignored. Throws std::runtime_error naming the
// file (and the position of the offending number) when the file cannot be read, holds too
// few numbers, two commas without a number between them, a number followed by another
// separator (named in the message), or a token that is not a whole 32-bit integer. A token
// longer than 64 bytes is refused as soon as its 65th byte is read.
//
// Returns how the numbers were laid out in lines, which carries no meaning for a region
// map but tells a transposed or reshaped table. `what` names the file in messages.
struct TextLayout {
    long long lines = 0;           // lines holding numbers (blank lines not counted)
    long long numbersPerLine = 0;  // the same on each of them, -1 when they differ
    int after = -1;                // the first byte after the numbers read and the white
                                   // space and comma after them; -1 (EOF) when none
};
TextLayout readRegionFile(const std::string& path, cv::Mat_<int>& regions,
                          const std::string& what = "region file");

}  // namespace segmora
