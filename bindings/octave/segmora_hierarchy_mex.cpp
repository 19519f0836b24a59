// MEX entry of `[labels, range, tree] = segmora_hierarchy(rgb, regions, 'Counts', N, ...)`:
// one run builds the hierarchy of every count, then each count asked for is cut from it. As
// in segmora's entry, C++ work happens inside functions that report failure as plain data,
// and the MEX error is raised only after every C++ object is gone.
#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "argument_errors.h"
#include "mex.h"
#include "octave_arrays.h"
#include "octave_segment_call.h"
#include "pixel_layout.h"
#include "segmora/segmora.h"

namespace {

namespace bindings = segmora::bindings;
using namespace bindings::octave;

enum { OUT_LABELS, OUT_RANGE, OUT_TREE, OUT_MAX };

// The engine's warm buffers and the photo copies (see warm()), and the last call's merges
// until they are copied out.
struct WarmState {
    segmora::Segmenter segmenter;
    cv::Mat bgr;
    cv::Mat_<int> regions;
    std::vector<segmora::Hierarchy::Merge> merges;
};

// What a run gives back besides the cuts: the range of counts, and where the finest labels
// go (nullptr: not asked for).
struct TreeOut {
    double range[3] = {0, 0, 0};
    double* finest = nullptr;
};

// Builds the hierarchy, writes a cut per count into consecutive H-by-W slices of `labels`
// and keeps the merges in the warm state when the tree is asked for.
Failure cutInto(const SegmentCall& call, double* labels, TreeOut& out) {
    try {
        WarmState& state = warm<WarmState>();
        cv::Mat_<int> ids;
        cv::Mat inside;
        photoOfCall(call, state.bgr, ids, state.regions, inside);
        const segmora::Hierarchy tree =
            state.segmenter.hierarchyOfPhoto(state.bgr, ids, call.parameters, inside);
        out.range[0] = tree.finestCount();
        out.range[1] = tree.defaultCount();
        out.range[2] = tree.coarsestCount();
        const size_t pixels = static_cast<size_t>(call.size.rows) * call.size.columns;
        for (size_t k = 0; k < call.counts.size(); ++k) {
            const int count = call.counts[k] != 0 ? call.counts[k] : tree.defaultCount();
            bindings::labelsToColumnMajor(tree.cut(count).labels, labels + k * pixels);
        }
        if (out.finest != nullptr) {
            bindings::labelsToColumnMajor(tree.cut(tree.finestCount()).labels, out.finest);
            state.merges = tree.merges();
        }
    } catch (...) {
        return warmCallFailure<WarmState>(std::current_exception(),
                                          "build the hierarchy of rgb (" +
                                              std::to_string(call.size.rows) + "x" +
                                              std::to_string(call.size.columns) + " pixels)");
    }
    return Failure();
}

// The tree as a struct: finest labels and the merges as rows [a b height], a and b 1-based
// finest labels; the warm state's copy of the merges is given back.
mxArray* treeStruct(mxArray* finest) {
    const char* fields[] = {"finest", "merges"};
    mxArray* tree = mxCreateStructMatrix(1, 1, 2, fields);
    std::vector<segmora::Hierarchy::Merge> merges;
    merges.swap(warm<WarmState>().merges);
    mxArray* rows = mxCreateDoubleMatrix(merges.size(), 3, mxREAL);
    double* at = mxGetPr(rows);
    const size_t n = merges.size();
    for (size_t k = 0; k < n; ++k) {
        at[k] = merges[k].a + 1.0;
        at[n + k] = merges[k].b + 1.0;
        at[2 * n + k] = merges[k].height;
    }
    mxSetField(tree, 0, "finest", finest);
    mxSetField(tree, 0, "merges", rows);
    return tree;
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    checkArgumentCounts(nlhs, nrhs, OUT_MAX, "labels, range, tree");
    SegmentCall call;
    Failure failure = checkSegmentCall(nrhs, prhs, true, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    if (call.counts.empty()) call.counts.push_back(0);  // the default count

    const mwSize dims[3] = {static_cast<mwSize>(call.size.rows),
                            static_cast<mwSize>(call.size.columns),
                            static_cast<mwSize>(call.counts.size())};
    plhs[OUT_LABELS] = mxCreateNumericArray(3, dims, mxDOUBLE_CLASS, mxREAL);
    mxArray* finest = nullptr;
    TreeOut out;
    if (nlhs > OUT_TREE) {
        finest = mxCreateDoubleMatrix(call.size.rows, call.size.columns, mxREAL);
        out.finest = mxGetPr(finest);
    }
    failure = cutInto(call, mxGetPr(plhs[OUT_LABELS]), out);
    if (failure.id != nullptr) {
        if (finest != nullptr) mxDestroyArray(finest);
        mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    }
    if (nlhs > OUT_RANGE) {
        plhs[OUT_RANGE] = mxCreateDoubleMatrix(1, 3, mxREAL);
        for (int k = 0; k < 3; ++k) mxGetPr(plhs[OUT_RANGE])[k] = out.range[k];
    }
    if (nlhs > OUT_TREE) plhs[OUT_TREE] = treeStruct(finest);
}
