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
#include "octave_segment_call.h"
#include "pixel_layout.h"
#include "segment_options.h"
#include "segmora/segmora.h"

namespace {

namespace bindings = segmora::bindings;
using bindings::Knob;
using namespace bindings::octave;

enum { OUT_LABELS, OUT_COUNT, OUT_MAX };

// The engine's warm buffers and the photo and region copies (see warm()).
struct WarmState {
    segmora::Segmenter segmenter;
    cv::Mat bgr;
    cv::Mat_<int> regions;
};

// Segments the photo into `labels` (a rows x columns double matrix) and `count`.
Failure segmentInto(const SegmentCall& call, double* labels, double& count) {
    try {
        WarmState& state = warm<WarmState>();
        cv::Mat_<int> ids;
        cv::Mat inside;
        photoOfCall(call, state.bgr, ids, state.regions, inside);
        const segmora::Segmentation result =
            state.segmenter.segmentPhoto(state.bgr, ids, call.parameters, inside);
        bindings::labelsToColumnMajor(result.labels, labels);
        count = result.count;
    } catch (...) {
        return warmCallFailure<WarmState>(std::current_exception(),
                                          "segment rgb (" + std::to_string(call.size.rows) + "x" +
                                              std::to_string(call.size.columns) + " pixels)");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    checkArgumentCounts(nlhs, nrhs, OUT_MAX, "labels, count");
    SegmentCall call;
    Failure failure = checkSegmentCall(nrhs, prhs, false, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);

    plhs[OUT_LABELS] = mxCreateDoubleMatrix(call.size.rows, call.size.columns, mxREAL);
    double count = 0;
    failure = segmentInto(call, mxGetPr(plhs[OUT_LABELS]), count);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    if (nlhs > OUT_COUNT) plhs[OUT_COUNT] = mxCreateDoubleScalar(count);
}
