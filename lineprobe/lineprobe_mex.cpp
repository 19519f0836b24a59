// MEX entry of `maxima = lineprobe(values, indicesA, indicesB)`: validates the call, turns the
// zero-based column-major indices into pixel coordinates and walks every pair's line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "line_batch.h"
#include "mex.h"

#if defined(__GNUC__)
#define LINEPROBE_EXPORT __attribute__((visibility("default")))
#else
#define LINEPROBE_EXPORT
#endif

namespace {

enum { IN_VALUES, IN_A, IN_B, IN_COUNT };
const char* const inputNames[IN_COUNT] = {"values", "indicesA", "indicesB"};

// Pixel coordinates travel as floats, which hold whole numbers exactly only below 2^24.
constexpr std::size_t maxExtent = std::size_t{1} << 24;

struct MatrixShape {
    std::size_t rows;
    std::size_t elementCount;
};

void checkCounts(int nlhs, int nrhs) {
    if (nrhs != IN_COUNT) {
        mexErrMsgIdAndTxt("lineprobe:nargin",
                          "expected 3 inputs (values, indicesA, indicesB), got %d", nrhs);
    }
    if (nlhs > 1) {
        mexErrMsgIdAndTxt("lineprobe:nargout", "returns 1 output (maxima), %d asked", nlhs);
    }
}

void checkInputTypes(const mxArray* prhs[]) {
    for (int slot = 0; slot < IN_COUNT; ++slot) {
        const mxArray* input = prhs[slot];
        if (!mxIsDouble(input) || mxIsComplex(input) || mxIsSparse(input)) {
            mexErrMsgIdAndTxt("lineprobe:badType", "%s must be a real, non-sparse double array",
                              inputNames[slot]);
        }
    }
}

MatrixShape checkShapes(const mxArray* prhs[]) {
    const mxArray* values = prhs[IN_VALUES];
    const MatrixShape shape{mxGetM(values), mxGetNumberOfElements(values)};
    if (shape.elementCount == 0) {
        mexErrMsgIdAndTxt("lineprobe:emptyValues", "values must not be empty");
    }
    if (shape.rows > maxExtent || shape.elementCount / shape.rows > maxExtent) {
        mexErrMsgIdAndTxt("lineprobe:tooLarge",
                          "values may have at most 16777216 rows and columns");
    }
    if (mxGetNumberOfElements(prhs[IN_B]) < mxGetNumberOfElements(prhs[IN_A])) {
        mexErrMsgIdAndTxt("lineprobe:shortIndices", "indicesB has fewer elements than indicesA");
    }
    return shape;
}

// Fractional indices are truncated toward zero, so -0.5 names element 0.
void checkIndices(const mxArray* indices, int slot, std::size_t count, MatrixShape shape) {
    const double* data = static_cast<const double*>(mxGetData(indices));
    const double last = static_cast<double>(shape.elementCount - 1);
    for (std::size_t k = 0; k < count; ++k) {
        const double index = std::trunc(data[k]);
        if (!(index >= 0.0 && index <= last)) {
            mexErrMsgIdAndTxt("lineprobe:badIndex",
                              "%s(%lu) = %g is not a zero-based index into values "
                              "(0 to %.0f)",
                              inputNames[slot], static_cast<unsigned long>(k + 1), data[k], last);
        }
    }
}

// The pairs as pixel coordinates; empty if there is no memory for them.
std::vector<lineprobe::LineEnds> toLines(const double* indicesA, const double* indicesB,
                                         std::size_t count, std::int64_t rows) {
    std::vector<lineprobe::LineEnds> lines;
    try {
        lines.resize(count);
    } catch (const std::bad_alloc&) {
        return lines;
    }
    for (std::size_t k = 0; k < count; ++k) {
        const auto a = static_cast<std::int64_t>(indicesA[k]);
        const auto b = static_cast<std::int64_t>(indicesB[k]);
        lines[k] = {static_cast<float>(a / rows), static_cast<float>(a % rows),
                    static_cast<float>(b / rows), static_cast<float>(b % rows)};
    }
    return lines;
}

}  // namespace

extern "C" LINEPROBE_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                             const mxArray* prhs[]) {
    checkCounts(nlhs, nrhs);
    checkInputTypes(prhs);
    const MatrixShape shape = checkShapes(prhs);
    const std::size_t pairCount = mxGetNumberOfElements(prhs[IN_A]);
    checkIndices(prhs[IN_A], IN_A, pairCount, shape);
    checkIndices(prhs[IN_B], IN_B, pairCount, shape);

    const double* elements = static_cast<const double*>(mxGetData(prhs[IN_VALUES]));
    const double* indicesA = static_cast<const double*>(mxGetData(prhs[IN_A]));
    const double* indicesB = static_cast<const double*>(mxGetData(prhs[IN_B]));
    const auto rows = static_cast<std::int32_t>(shape.rows);

    plhs[0] = mxCreateDoubleMatrix(pairCount, 1, mxREAL);
    if (pairCount == 0) {
        return;
    }
    const std::vector<lineprobe::LineEnds> lines = toLines(indicesA, indicesB, pairCount, rows);
    if (lines.empty()) {
        mexErrMsgIdAndTxt("lineprobe:outOfMemory", "no memory for %lu index pairs",
                          static_cast<unsigned long>(pairCount));
    }
    lineprobe::lineMaxima(lines.data(), pairCount, elements, rows, mxGetPr(plhs[0]));
}
