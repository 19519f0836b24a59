// The checked arguments of a call that segments a photo, `f(rgb, regions, 'Name', value, ...)`,
// shared by segmora and segmora_hierarchy: the photo, the optional region map, the mask and
// the knobs, read by the rules the bindings share.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "host_photo.h"
#include "mex.h"
#include "octave_arrays.h"
#include "segmora/segmora.h"

namespace segmora::bindings::octave {

struct SegmentCall {
    const mxArray* rgb = nullptr;
    const mxArray* regions = nullptr;  // nullptr: no region map
    const mxArray* mask = nullptr;     // nullptr: every pixel
    PhotoSize size{};
    Parameters parameters;
    int sampleBits = 16;
    std::vector<int> counts;  // 'Counts', when the function takes it
};

// Reads and checks the call; `takesCounts`: 'Counts' (whole numbers >= 1) is an option
// instead of 'Count'. A failure comes back as plain data, for the caller to raise.
Failure checkSegmentCall(int nrhs, const mxArray* prhs[], bool takesCounts, SegmentCall& call);

// What a MEX function keeps from one call to the next until its file is cleared, made on
// first use: the engine's warm buffers and the photo and region copies (and whatever else
// `State` holds), so that a series of photos of one size does not fault in fresh memory for
// each. Octave and MATLAB call MEX functions from one thread only.
template <class State>
State*& warmSlot() {
    static State* state = nullptr;
    return state;
}

// Gives all of it back (also when memory ran out, to give Octave back what the function holds).
template <class State>
void releaseWarm() {
    delete warmSlot<State>();
    warmSlot<State>() = nullptr;
}

template <class State>
State& warm() {
    if (warmSlot<State>() == nullptr) {
        warmSlot<State>() = new State();
        mexAtExit(releaseWarm<State>);
    }
    return *warmSlot<State>();
}

// The failure of a call that used the warm state `State`, for `what` the call did; when
// memory ran out, all of that state is given back first.
template <class State>
Failure warmCallFailure(std::exception_ptr failure, const std::string& what) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        releaseWarm<State>();
    } catch (...) {
    }
    return failureOf(failure, what);
}

// Raises the MEX error of a call without rgb or with more than `outputs` outputs (`names`,
// "labels, count"). It does not return, so call it before any C++ object exists.
inline void checkArgumentCounts(int nlhs, int nrhs, int outputs, const char* names) {
    if (nrhs < 1) {
        mexErrMsgIdAndTxt("segmora:nargin",
                          "expected the inputs rgb, then optionally regions and name-value "
                          "options; got none");
    }
    if (nlhs > outputs) {
        mexErrMsgIdAndTxt("segmora:nargout", "returns at most %d outputs (%s), %d asked", outputs,
                          names, nlhs);
    }
}

// The photo (into `bgr`), region ids (into `ids`, using `idCopy`) and mask of a checked call.
void photoOfCall(const SegmentCall& call, cv::Mat& bgr, cv::Mat_<int>& ids, cv::Mat_<int>& idCopy,
                 cv::Mat& inside);

}  // namespace segmora::bindings::octave
