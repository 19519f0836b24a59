// MEX entry of `picture = segmora_mean_picture(labels, rgb)`: every pixel in the mean colour
// of its superpixel, rounded (halves up), background (label 0) black: the pixels of the
// programs' --mean-picture and Python's mean_picture. Failures are kept as plain data and
// raised only after every C++ object is gone.
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "host_photo.h"
#include "mex.h"
#include "octave_arrays.h"
#include "segmora/segmora.h"

namespace {

namespace bindings = segmora::bindings;
using namespace bindings::octave;

struct Call {
    const mxArray* labels = nullptr;
    const mxArray* rgb = nullptr;
    bindings::PhotoSize size{}, photo{};
};

Failure checkCall(const mxArray* prhs[], Call& call) {
    try {
        call.labels = prhs[0];
        call.rgb = prhs[1];
        call.size = bindings::checkLabels(hostArray(call.labels), kStyle);
        call.photo = bindings::checkPhotoFor(hostArray(call.rgb), call.size, kStyle);
    } catch (...) {
        return failureOf(std::current_exception(), "paint labels");
    }
    return Failure();
}

// Index 3 * label + c: channel c (red first) of the label's rounded mean; label 0 black.
std::vector<std::uint8_t> meanColours(const segmora::SuperpixelGraph& g) {
    std::vector<std::uint8_t> colour(3 * (static_cast<size_t>(g.count) + 1), 0);
    for (size_t k = 0; k < static_cast<size_t>(g.count); ++k) {
        for (int c = 0; c < 3; ++c) {
            const double mean = g.meanBgr[2 - c][k];  // NaN: a label no pixel carries
            colour[3 * (k + 1) + c] = std::isnan(mean) ? 0 : static_cast<std::uint8_t>(mean + 0.5);
        }
    }
    return colour;
}

Failure paintInto(const Call& call, mxArray*& out) {
    try {
        cv::Mat_<int> copy;
        const segmora::Segmentation s =
            bindings::labelsFrom(hostArray(call.labels), call.size, kStyle, copy);
        cv::Mat bgr;
        bindings::photoFrom(hostArray(call.rgb), call.photo, kStyle, bgr);
        const std::vector<std::uint8_t> colour = meanColours(segmora::describe(s, bgr));
        const int rows = s.labels.rows, cols = s.labels.cols;
        const mwSize dims[] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols), 3};
        out = mxCreateNumericArray(3, dims, mxUINT8_CLASS, mxREAL);
        auto* pixels = static_cast<std::uint8_t*>(mxGetData(out));
        const size_t plane = static_cast<size_t>(rows) * cols;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < cols; ++x) {
                const std::uint8_t* mean = &colour[3 * static_cast<size_t>(s.labels(y, x))];
                const size_t at = static_cast<size_t>(x) * rows + y;
                for (int c = 0; c < 3; ++c) pixels[c * plane + at] = mean[c];
            }
        }
    } catch (...) {
        return failureOf(std::current_exception(), "paint labels");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    if (nrhs != 2)
        mexErrMsgIdAndTxt("segmora:nargin", "expected 2 inputs (labels, rgb), got %d", nrhs);
    if (nlhs > 1) mexErrMsgIdAndTxt("segmora:nargout", "returns 1 output, %d asked", nlhs);
    Call call;
    Failure failure = checkCall(prhs, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    mxArray* out = nullptr;
    failure = paintInto(call, out);
    if (failure.id != nullptr) {
        if (out != nullptr) mxDestroyArray(out);
        mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    }
    plhs[0] = out;
}
