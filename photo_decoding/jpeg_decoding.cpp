#include "jpeg_decoding.h"

#include <csetjmp>
#include <cstring>

#include "opencv_codecs.h"
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace segmora {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (corrupt or missing data, which the decoder fills in as OpenCV's
// does with the same library) are counted, never printed.
void onMessage(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

struct Decompressor {
    Decompressor() {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = onError;
        errors.base.emit_message = onMessage;
        jpeg_create_decompress(&info);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct info;
    ErrorManager errors;
};

// The Exif orientation tag of the first Exif segment: 1 (upright) when there is
// none, 0 when the segment cannot be read.
int exifOrientation(jpeg_saved_marker_ptr markers) {
    for (jpeg_saved_marker_ptr m = markers; m != nullptr; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 ||
            std::memcmp(m->data, "Exif\0\0", 6) != 0) {
            continue;
        }
        const JOCTET* tiff = m->data + 6;
        const size_t size = m->data_length - 6;
        const bool little = tiff[0] == 'I' && tiff[1] == 'I';
        if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 0;
        const auto u16 = [&](size_t at) -> uint32_t {
            return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
        };
        const size_t first =
            little ? (u16(4) | size_t{u16(6)} << 16) : (size_t{u16(4)} << 16 | u16(6));
        if (first + 2 > size) return 0;
        const uint32_t entries = u16(first);
        for (uint32_t e = 0; e < entries; ++e) {
            const size_t at = first + 2 + 12 * size_t{e};
            if (at + 12 > size) return 0;
            if (u16(at) != 0x0112) continue;
            return u16(at + 2) == 3 ? static_cast<int>(u16(at + 8)) : 0;  // a SHORT
        }
        return 1;
    }
    return 1;
}

// Reads the header and starts decoding; false for a JPEG left to OpenCV.
bool start(Decompressor& d, std::FILE* file) {
    if (setjmp(d.errors.jump) != 0) return false;
    jpeg_stdio_src(&d.info, file);
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xffff);
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
    if ((d.info.num_components != 1 && d.info.num_components != 3) || d.info.data_precision != 8 ||
        exifOrientation(d.info.marker_list) != 1 || d.info.image_width > opencv_codecs::kMaxSide ||
        d.info.image_height > opencv_codecs::kMaxSide) {
        return false;
    }
    d.info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d.info);
    return d.info.output_components == 3;
}

bool readRows(Decompressor& d, cv::Mat& bgr) {
    if (setjmp(d.errors.jump) != 0) return false;
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = bgr.ptr<JSAMPLE>(static_cast<int>(d.info.output_scanline));
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

}  // namespace

bool decodeJpeg(std::FILE* file, cv::Mat& bgr) {
    Decompressor d;
    if (!start(d, file)) return false;
    bgr.create(static_cast<int>(d.info.output_height), static_cast<int>(d.info.output_width),
               CV_8UC3);
    return readRows(d, bgr);
}

}  // namespace segmora
