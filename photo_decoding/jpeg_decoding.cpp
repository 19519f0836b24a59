#include "jpeg_decoding.h"

#include <csetjmp>
#include <cstring>
#include <new>

#include "opencv_codecs.h"
#include "photo_orientation.h"
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
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

// What the decoder may allocate beyond the decoded picture: the coefficients of a
// progressive JPEG of the largest photo taken (2^29 pixels, three components at two bytes
// each) with room for its tables. Beyond it libjpeg, which keeps nothing on disk, stops
// with an out-of-memory error instead of asking for more.
constexpr long kMaxDecoderMemory = (long{1} << 29) * 3 * 2 + (long{64} << 20);

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

// After the decoder stopped: false (the JPEG is left to OpenCV), but std::bad_alloc when
// it stopped for want of memory, which OpenCV's reader would only ask for again.
bool failed(const Decompressor& d) {
    const int code = d.errors.base.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) throw std::bad_alloc();
    return false;
}

// The orientation that OpenCV's reader finds: that of the first APP1 segment, 1 when
// there is none; 0 when it is one that OpenCV's reader is left to judge.
int recordedOrientation(jpeg_saved_marker_ptr markers) {
    for (jpeg_saved_marker_ptr m = markers; m != nullptr; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) return app1Orientation(m->data, m->data_length);
    }
    return 1;
}

// Reads the header and starts decoding; false for a JPEG left to OpenCV.
bool start(Decompressor& d, std::FILE* file, Orientation orientation, int& turn) {
    if (setjmp(d.errors.jump) != 0) return failed(d);
    jpeg_stdio_src(&d.info, file);
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xffff);
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
    if ((d.info.num_components != 1 && d.info.num_components != 3) || d.info.data_precision != 8 ||
        d.info.image_width > opencv_codecs::kMaxSide ||
        d.info.image_height > opencv_codecs::kMaxSide) {
        return false;
    }
    turn = orientation == Orientation::Apply ? recordedOrientation(d.info.marker_list) : 1;
    if (turn == 0) return false;
    d.info.mem->max_memory_to_use = kMaxDecoderMemory;
    d.info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d.info);
    return d.info.output_components == 3;
}

bool readRows(Decompressor& d, cv::Mat& bgr) {
    if (setjmp(d.errors.jump) != 0) return failed(d);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = bgr.ptr<JSAMPLE>(static_cast<int>(d.info.output_scanline));
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

}  // namespace

bool decodeJpeg(std::FILE* file, cv::Mat& bgr, Orientation orientation) {
    Decompressor d;
    int turn = 1;
    if (!start(d, file, orientation, turn)) return false;
    bgr.create(static_cast<int>(d.info.output_height), static_cast<int>(d.info.output_width),
               CV_8UC3);
    if (!readRows(d, bgr)) return false;
    applyOrientation(bgr, turn);
    return true;
}

}  // namespace segmora
