#include "png_decoding.h"

#include <png.h>

#include <vector>

#include "opencv_codecs.h"

namespace segmora {

namespace {

void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Warnings (about ancillary chunks, such as the common "known incorrect sRGB
// profile") change no pixel, and OpenCV decodes on after them too: not printed.
void onWarning(png_structp, png_const_charp) {}

struct Reader {
    Reader() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~Reader() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    png_structp png = nullptr;
    png_infop info = nullptr;
};

// Reads the header and sets the transforms to 8-bit blue-green-red; false for
// a PNG left to OpenCV.
bool start(Reader& r, std::FILE* file) {
    if (setjmp(png_jmpbuf(r.png)) != 0) return false;
    png_init_io(r.png, file);
    png_read_info(r.png, r.info);
    const int depth = png_get_bit_depth(r.png, r.info);
    const int type = png_get_color_type(r.png, r.info);
    if ((depth != 8 && depth != 16) || (type & PNG_COLOR_MASK_PALETTE) != 0 ||
        png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0 ||
        png_get_image_width(r.png, r.info) > opencv_codecs::kMaxSide ||
        png_get_image_height(r.png, r.info) > opencv_codecs::kMaxSide) {
        return false;
    }
    if (depth == 16) png_set_strip_16(r.png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(r.png);
    if ((type & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(r.png);
    png_set_bgr(r.png);
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    return png_get_rowbytes(r.png, r.info) == 3 * png_get_image_width(r.png, r.info);
}

bool readRows(Reader& r, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(r.png)) != 0) return false;
    png_read_image(r.png, rows.data());
    png_read_end(r.png, nullptr);
    return true;
}

}  // namespace

bool decodePng(std::FILE* file, cv::Mat& bgr) {
    Reader r;
    if (r.info == nullptr || !start(r, file)) return false;
    bgr.create(static_cast<int>(png_get_image_height(r.png, r.info)),
               static_cast<int>(png_get_image_width(r.png, r.info)), CV_8UC3);
    std::vector<png_bytep> rows(static_cast<size_t>(bgr.rows));
    for (int y = 0; y < bgr.rows; ++y) rows[static_cast<size_t>(y)] = bgr.ptr<png_byte>(y);
    return readRows(r, rows);
}

}  // namespace segmora
