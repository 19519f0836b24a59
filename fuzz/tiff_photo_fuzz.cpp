// The TIFF photo reader on arbitrary file contents. Opening and reading must either
// succeed or fail with one message naming the file; never crash. A photo that opens gives
// the same pixels for a rectangle read alone as for that part of a larger read, whatever
// strips or tiles the rectangles meet.
#include <algorithm>
#include <fstream>
#include <opencv2/core.hpp>
#include <stdexcept>

#include "fuzz_data.h"
#include "tiff_photo.h"

namespace {

// The part read as a whole: the photo's top-left corner, at most 96 x 96 pixels.
constexpr int64_t kCorner = 96;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    segmora::fuzz::FuzzData in(data, size);
    const int x = in.below(kCorner), y = in.below(kCorner);
    const int w = 1 + in.below(kCorner), h = 1 + in.below(kCorner);
    const std::string path = segmora::fuzz::scratchDirectory() + "/photo.tif";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << in.rest();
    try {
        segmora::TiffPhoto photo(path);
        segmora::fuzz::check(photo.width() > 0 && photo.height() > 0, "a photo without pixels");
        const int64_t cw = std::min(kCorner, photo.width()), ch = std::min(kCorner, photo.height());
        const cv::Mat corner = photo.readRect(0, 0, cw, ch);
        segmora::fuzz::check(corner.type() == CV_8UC3 && corner.cols == cw && corner.rows == ch,
                             "the corner has the wrong shape");
        if (x + w <= cw && y + h <= ch) {
            const cv::Mat part = photo.readRect(x, y, w, h);
            segmora::fuzz::check(cv::norm(part, corner(cv::Rect(x, y, w, h)), cv::NORM_INF) == 0,
                                 "a rectangle differs from its part of the corner");
        }
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        segmora::fuzz::check(message.rfind("cannot read photo '" + path + "': ", 0) == 0 &&
                                 message.find('\n') == std::string::npos,
                             "unclear message: " + message);
    }
    return 0;
}
