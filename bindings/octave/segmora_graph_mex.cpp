// MEX entry of `g = segmora_graph(labels, rgb)`: the superpixel graph of a label matrix as
// a struct in MATLAB's region-property conventions. The arguments are read by the rules
// `segmora` uses (host_photo.h). All C++ work happens inside functions that catch
// everything and report failure as plain data; the MEX error is raised only after every
// C++ object is gone, since mexErrMsgIdAndTxt does not return.
#include <cstddef>
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

enum { IN_LABELS, IN_RGB, IN_MAX };

void checkCounts(int nlhs, int nrhs) {
    if (nrhs < 1 || nrhs > IN_MAX) {
        mexErrMsgIdAndTxt("segmora:nargin", "expected 1 or 2 inputs (labels, rgb), got %d", nrhs);
    }
    if (nlhs > 1) mexErrMsgIdAndTxt("segmora:nargout", "returns 1 output, %d asked", nlhs);
}

// A checked call: the labels and the photo (nullptr for none) with their sizes.
struct Call {
    const mxArray* labels = nullptr;
    const mxArray* rgb = nullptr;
    bindings::PhotoSize size{};
    bindings::PhotoSize photo{};
};

Failure checkCall(int nrhs, const mxArray* prhs[], Call& call) {
    try {
        call.labels = prhs[IN_LABELS];
        call.size = bindings::checkLabels(hostArray(call.labels), kStyle);
        if (nrhs > IN_RGB) {
            call.rgb = prhs[IN_RGB];
            call.photo = bindings::checkPhotoFor(hostArray(call.rgb), call.size, kStyle);
        }
    } catch (...) {
        return failureOf(std::current_exception(), "describe labels");
    }
    return Failure();
}

// An n x columns.size() double matrix whose column c is scale * columns[c][k] + offsets[c].
template <class T>
mxArray* matrixOf(const std::vector<const std::vector<T>*>& columns, std::size_t n,
                  const std::vector<double>& offsets) {
    mxArray* m = mxCreateDoubleMatrix(n, columns.size(), mxREAL);
    double* out = mxGetPr(m);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        for (std::size_t k = 0; k < n; ++k) {
            out[c * n + k] = static_cast<double>((*columns[c])[k]) + offsets[c];
        }
    }
    return m;
}

// Box sides from the inclusive bounds: max - min + 1 (0 for a label without pixels).
std::vector<int> sides(const std::vector<int>& low, const std::vector<int>& high) {
    std::vector<int> side(low.size());
    for (std::size_t k = 0; k < low.size(); ++k) side[k] = high[k] - low[k] + 1;
    return side;
}

const char* kFields[] = {"Area", "Centroid", "BoundingBox", "MeanColor", "Edges", "Border"};

// `colours`: whether the graph was made with a photo.
mxArray* graphStruct(const segmora::SuperpixelGraph& g, bool colours) {
    const auto n = static_cast<std::size_t>(g.count);
    mxArray* out = mxCreateStructMatrix(1, 1, 6, kFields);
    mxSetField(out, 0, "Area", matrixOf<int64_t>({&g.size}, n, {0}));
    mxSetField(out, 0, "Centroid",
               matrixOf<double>({&g.centroidColumn, &g.centroidRow}, n, {1, 1}));
    const std::vector<int> width = sides(g.minColumn, g.maxColumn);
    const std::vector<int> height = sides(g.minRow, g.maxRow);
    mxSetField(out, 0, "BoundingBox",
               matrixOf<int>({&g.minColumn, &g.minRow, &width, &height}, n, {0.5, 0.5, 0, 0}));
    // The photo went in as blue-green-red: channel c of the caller's array is 2 - c.
    mxSetField(out, 0, "MeanColor",
               !colours
                   ? mxCreateDoubleMatrix(0, 0, mxREAL)
                   : matrixOf<double>({&g.meanBgr[2], &g.meanBgr[1], &g.meanBgr[0]}, n, {0, 0, 0}));
    mxSetField(out, 0, "Edges", matrixOf<int>({&g.edgeA, &g.edgeB}, g.edgeA.size(), {0, 0}));
    mxSetField(out, 0, "Border", matrixOf<int64_t>({&g.border}, g.border.size(), {0}));
    return out;
}

Failure graphInto(const Call& call, mxArray*& out) {
    try {
        cv::Mat_<int> copy;
        const segmora::Segmentation s =
            bindings::labelsFrom(hostArray(call.labels), call.size, kStyle, copy);
        if (call.rgb == nullptr) {
            out = graphStruct(segmora::describe(s), false);
        } else {
            cv::Mat bgr;
            bindings::photoFrom(hostArray(call.rgb), call.photo, kStyle, bgr);
            out = graphStruct(segmora::describe(s, bgr), true);
        }
    } catch (...) {
        return failureOf(std::current_exception(),
                         "describe labels (" + std::to_string(call.size.rows) + "x" +
                             std::to_string(call.size.columns) + " pixels)");
    }
    return Failure();
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    checkCounts(nlhs, nrhs);
    Call call;
    Failure failure = checkCall(nrhs, prhs, call);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    mxArray* out = nullptr;
    failure = graphInto(call, out);
    if (failure.id != nullptr) {
        if (out != nullptr) mxDestroyArray(out);
        mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    }
    plhs[0] = out;
}
