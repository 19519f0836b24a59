// MEX entry of `picture = segmora_boundaries(rgb, labels, name, value, ...)`: the photo with
// the superpixel (and region) boundaries drawn over it, the pixels of the programs' -v
// picture. Arguments are read by the rules `segmora` uses; failures are kept as plain
// data and raised only after every C++ object is gone.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "boundary_drawing.h"
#include "host_photo.h"
#include "label_maps.h"
#include "mex.h"
#include "octave_arrays.h"

namespace {

namespace bindings = segmora::bindings;
using namespace bindings::octave;

Failure failure(const char* id, const std::string& message) {
    Failure f;
    f.id = id;
    std::snprintf(f.message, sizeof f.message, "%s", message.c_str());
    return f;
}

// Element `i` of a real numeric array as a double.
template <class T>
double at(const mxArray* a, size_t i) {
    return static_cast<double>(static_cast<const T*>(mxGetData(a))[i]);
}

double elementOf(const mxArray* a, size_t i) {
    switch (mxGetClassID(a)) {
        case mxDOUBLE_CLASS:
            return at<double>(a, i);
        case mxSINGLE_CLASS:
            return at<float>(a, i);
        case mxINT8_CLASS:
            return at<std::int8_t>(a, i);
        case mxUINT8_CLASS:
            return at<std::uint8_t>(a, i);
        case mxINT16_CLASS:
            return at<std::int16_t>(a, i);
        case mxUINT16_CLASS:
            return at<std::uint16_t>(a, i);
        case mxINT32_CLASS:
            return at<std::int32_t>(a, i);
        case mxUINT32_CLASS:
            return at<std::uint32_t>(a, i);
        case mxINT64_CLASS:
            return at<std::int64_t>(a, i);
        case mxUINT64_CLASS:
            return at<std::uint64_t>(a, i);
        default:
            return -1;
    }
}

// A colour option, red, green, blue, as Octave writes colours: single or double values all
// at most 1 are fractions 0 .. 1 (times 255, rounded, halves up), as in plot's 'Color';
// otherwise, and for integer classes, whole numbers 0 .. 255. Stored blue first.
bool colourOf(const mxArray* value, cv::Vec3b& bgr) {
    if (!mxIsNumeric(value) || mxIsComplex(value) || mxIsSparse(value) ||
        mxGetNumberOfElements(value) != 3) {
        return false;
    }
    bool fractions = mxIsDouble(value) || mxIsSingle(value);
    for (size_t c = 0; c < 3; ++c) fractions = fractions && elementOf(value, c) <= 1;
    cv::Vec3b colour;
    for (int c = 0; c < 3; ++c) {
        double x = elementOf(value, static_cast<size_t>(c));
        if (fractions) x = x >= 0 ? std::floor(x * 255 + 0.5) : -1;
        if (!(x >= 0 && x <= 255) || x != static_cast<double>(static_cast<int>(x))) return false;
        colour[2 - c] = static_cast<std::uint8_t>(x);
    }
    bgr = colour;
    return true;
}

struct Call {
    const mxArray* rgb = nullptr;
    const mxArray* labels = nullptr;
    const mxArray* regions = nullptr;
    bindings::PhotoSize size{}, photo{};
    segmora::BoundaryStyle style;
};

Failure optionsOf(int nrhs, const mxArray* prhs[], Call& call) {
    for (int k = 2; k < nrhs; k += 2) {
        if (!mxIsChar(prhs[k])) {
            return failure("segmora:badOption",
                           "argument " + std::to_string(k + 1) + " must be an option name");
        }
        const std::string name = textOf(prhs[k]);
        if (k + 1 >= nrhs) return failure("segmora:badValue", "option " + name + " has no value");
        const std::string key = lowerCase(name);
        const mxArray* value = prhs[k + 1];
        if (key == "colour" || key == "color" || key == "regioncolour" || key == "regioncolor") {
            cv::Vec3b& slot = key[0] == 'c' ? call.style.segmentColour : call.style.regionColour;
            if (!colourOf(value, slot)) {
                return failure("segmora:badValue",
                               name + " must be [r g b]: fractions from 0 to 1, or whole "
                                      "numbers from 0 to 255");
            }
        } else if (key == "mode") {
            const std::string mode = mxIsChar(value) ? lowerCase(textOf(value)) : "";
            if (mode != "thin" && mode != "thick") {
                return failure("segmora:badValue", "Mode must be 'thin' or 'thick'");
            }
            call.style.mode =
                mode == "thin" ? segmora::BoundaryMode::Thin : segmora::BoundaryMode::Thick;
        } else if (key == "regions") {
            call.regions = mxIsEmpty(value) ? nullptr : value;
        } else {
            return failure(
                "segmora:badOption",
                "unknown option '" + name + "' (Colour, RegionColour, Mode and Regions are known)");
        }
    }
    return Failure();
}

Failure checkCall(const mxArray* prhs[], Call& call) {
    try {
        call.rgb = prhs[0];
        call.labels = prhs[1];
        call.size = bindings::checkLabelMap(hostArray(call.labels), "labels", nullptr, kStyle);
        call.photo = bindings::checkPhotoFor(hostArray(call.rgb), call.size, kStyle);
        if (call.regions != nullptr) {
            bindings::checkLabelMap(hostArray(call.regions), "regions", &call.size, kStyle);
        }
    } catch (...) {
        return failureOf(std::current_exception(), "draw boundaries");
    }
    return Failure();
}

Failure drawInto(const Call& call, mxArray*& out) {
    try {
        cv::Mat_<int> labelCopy, regionCopy, regions;
        const cv::Mat_<int> labels =
            bindings::labelMapFrom(hostArray(call.labels), call.size, "labels", kStyle, labelCopy);
        if (call.regions != nullptr) {
            regions = bindings::labelMapFrom(hostArray(call.regions), call.size, "regions", kStyle,
                                             regionCopy);
        }
        cv::Mat bgr;
        bindings::photoFrom(hostArray(call.rgb), call.photo, kStyle, bgr);
        const cv::Mat_<cv::Vec3b> drawn = segmora::drawBoundaries(
            bgr, labels, call.regions != nullptr ? &regions : nullptr, call.style);
        const mwSize dims[] = {static_cast<mwSize>(drawn.rows), static_cast<mwSize>(drawn.cols), 3};
        out = mxCreateNumericArray(3, dims, mxUINT8_CLASS, mxREAL);
        auto* pixels = static_cast<std::uint8_t*>(mxGetData(out));
        const size_t plane = static_cast<size_t>(drawn.rows) * drawn.cols;
        for (int y = 0; y < drawn.rows; ++y) {
            for (int x = 0; x < drawn.cols; ++x) {
                const size_t at = static_cast<size_t>(x) * drawn.rows + y;
                for (int c = 0; c < 3; ++c) pixels[c * plane + at] = drawn(y, x)[2 - c];
            }
        }
    } catch (...) {
        return failureOf(std::current_exception(), "draw boundaries");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    if (nrhs < 2 || nrhs % 2 != 0) {
        mexErrMsgIdAndTxt("segmora:nargin",
                          "expected rgb, labels and name-value pairs, got %d inputs", nrhs);
    }
    if (nlhs > 1) mexErrMsgIdAndTxt("segmora:nargout", "returns 1 output, %d asked", nlhs);
    Call call;
    Failure failure = optionsOf(nrhs, prhs, call);
    if (failure.id == nullptr) failure = checkCall(prhs, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    mxArray* out = nullptr;
    failure = drawInto(call, out);
    if (failure.id != nullptr) {
        if (out != nullptr) mxDestroyArray(out);
        mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    }
    plhs[0] = out;
}
