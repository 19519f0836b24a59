// MEX entry of `[labels, count] = segmora(rgb, regions, 'Name', value, ...)`: reads the call
// by the rules the bindings share, then runs the engine on the photo. All C++ work happens
// inside functions that catch everything and report failure as plain data; the MEX error is
// raised only after every C++ object is gone, since mexErrMsgIdAndTxt does not return.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "argument_errors.h"
#include "host_mask.h"
#include "host_photo.h"
#include "mex.h"
#include "octave_arrays.h"
#include "pixel_layout.h"
#include "segment_options.h"
#include "segmora/segmora.h"

namespace {

namespace bindings = segmora::bindings;
using bindings::Knob;
using namespace bindings::octave;

enum { IN_RGB, IN_REGIONS };
enum { OUT_LABELS, OUT_COUNT, OUT_MAX };

// The value of option `knob`: a real number.
double knobValue(const mxArray* value, Knob knob) {
    if (!mxIsNumeric(value) || mxIsComplex(value) || mxIsSparse(value) ||
        mxGetNumberOfElements(value) != 1) {
        const bindings::HostArray shape = hostArray(value);
        std::string kind = kindOf(value);
        if (mxGetNumberOfElements(value) != 1) kind = shapeText(shape.shape, kStyle) + " " + kind;
        bindings::refuseOptionKind(knob, kind, kStyle);
    }
    return mxGetScalar(value);
}

// The name-value pairs from argument `first` on; 'Mask' goes to `mask`.
bindings::KnobValues knobsOf(int nrhs, const mxArray* prhs[], int first, const mxArray*& mask) {
    bindings::KnobValues knobs;
    for (int k = first; k < nrhs; k += 2) {
        if (!mxIsChar(prhs[k])) bindings::refuseOptionName(kindOf(prhs[k]), k + 1);
        const std::string name = textOf(prhs[k]);
        if (k + 1 >= nrhs) bindings::refuseMissingValue(name);
        const std::string key = lowerCase(name);
        if (key == "mask") {
            mask = prhs[k + 1];
            continue;
        }
        std::optional<double>* slot = nullptr;
        Knob knob = Knob::Threshold;
        if (key == "threshold") slot = &knobs.threshold, knob = Knob::Threshold;
        if (key == "sigma") slot = &knobs.sigma, knob = Knob::Sigma;
        if (key == "capdivisor") slot = &knobs.capDivisor, knob = Knob::CapDivisor;
        if (key == "minsize") slot = &knobs.minSize, knob = Knob::MinSize;
        if (key == "bitdepth") slot = &knobs.bitDepth, knob = Knob::BitDepth;
        if (key == "count") slot = &knobs.count, knob = Knob::Count;
        if (slot == nullptr) bindings::refuseUnknownOption(name, kStyle);
        *slot = knobValue(prhs[k + 1], knob);
    }
    return knobs;
}

// A checked call: the photo, the region map (nullptr for none) and the knobs.
struct Call {
    const mxArray* rgb = nullptr;
    const mxArray* regions = nullptr;
    const mxArray* mask = nullptr;  // nullptr: every pixel
    bindings::PhotoSize size{};
    segmora::Parameters parameters;
    int sampleBits = 16;
};

Failure checkCall(int nrhs, const mxArray* prhs[], Call& call) {
    try {
        call.rgb = prhs[IN_RGB];
        call.size = bindings::checkPhoto(hostArray(call.rgb), kStyle);
        int options = IN_REGIONS;
        if (nrhs > IN_REGIONS && !mxIsChar(prhs[IN_REGIONS])) {
            options = IN_REGIONS + 1;
            const mxArray* regions = prhs[IN_REGIONS];
            // [] (0-by-0 of any kind) means no region map.
            if (!(mxGetM(regions) == 0 && mxGetN(regions) == 0 && mxIsNumeric(regions))) {
                bindings::checkRegions(hostArray(regions), call.size, kStyle);
                call.regions = regions;
            }
        }
        const bindings::KnobValues knobs = knobsOf(nrhs, prhs, options, call.mask);
        call.parameters = bindings::parametersFrom(knobs, kStyle);
        call.sampleBits = bindings::sampleBitsFrom(knobs, kStyle);
        if (call.mask != nullptr) bindings::checkMask(hostArray(call.mask), call.size, kStyle);
    } catch (...) {
        return failureOf(std::current_exception(), "segment rgb");
    }
    return Failure();
}

// What the function keeps from one call to the next until the MEX file is cleared: the
// engine's warm buffers and the photo and region copies, so a series of photos of one
// size does not fault in fresh memory for each. Octave and MATLAB call MEX functions
// from one thread only.
struct WarmState {
    segmora::Segmenter segmenter;
    cv::Mat bgr;
    cv::Mat_<int> regions;
};
WarmState* warmState = nullptr;

void releaseWarmState() {
    delete warmState;
    warmState = nullptr;
}

WarmState& warm() {
    if (warmState == nullptr) {
        warmState = new WarmState();
        mexAtExit(releaseWarmState);
    }
    return *warmState;
}

// Segments the photo into `labels` (a rows x columns double matrix) and `count`.
Failure segmentInto(const Call& call, double* labels, double& count) {
    try {
        WarmState& state = warm();
        bindings::photoFrom(hostArray(call.rgb), call.size, kStyle, state.bgr, call.sampleBits);
        cv::Mat_<int> ids;
        if (call.regions != nullptr) {
            ids = bindings::regionsFrom(hostArray(call.regions), call.size, kStyle, state.regions);
        }
        cv::Mat inside;
        if (call.mask != nullptr)
            inside = bindings::maskFrom(hostArray(call.mask), call.size, kStyle);
        const segmora::Segmentation result =
            state.segmenter.segmentPhoto(state.bgr, ids, call.parameters, inside);
        bindings::labelsToColumnMajor(result.labels, labels);
        count = result.count;
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            releaseWarmState();  // give Octave back all the memory the function holds
        } catch (...) {
        }
        return failureOf(failure, "segment rgb (" + std::to_string(call.size.rows) + "x" +
                                      std::to_string(call.size.columns) + " pixels)");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    if (nrhs < 1) {
        mexErrMsgIdAndTxt("segmora:nargin",
                          "expected the inputs rgb, then optionally regions and name-value "
                          "options; got none");
    }
    if (nlhs > OUT_MAX) {
        mexErrMsgIdAndTxt("segmora:nargout", "returns at most 2 outputs (labels, count), %d asked",
                          nlhs);
    }
    Call call;
    Failure failure = checkCall(nrhs, prhs, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);

    plhs[OUT_LABELS] = mxCreateDoubleMatrix(call.size.rows, call.size.columns, mxREAL);
    double count = 0;
    failure = segmentInto(call, mxGetPr(plhs[OUT_LABELS]), count);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    if (nlhs > OUT_COUNT) plhs[OUT_COUNT] = mxCreateDoubleScalar(count);
}
