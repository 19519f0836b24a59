// MEX entry of `g = segmora_graph(labels, rgb)`: the superpixel graph of a label matrix as
// a struct in MATLAB's region-property conventions. All C++ work happens inside one try
// block that reports failure as plain data; the MEX error is raised only after every C++
// object is gone, since mexErrMsgIdAndTxt does not return.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <vector>

#include "mex.h"
#include "pixel_layout.h"
#include "segmora/segmora.h"

#if defined(__GNUC__)
#define SEGMORA_MEX_EXPORT __attribute__((visibility("default")))
#else
#define SEGMORA_MEX_EXPORT
#endif

namespace {

enum { IN_LABELS, IN_RGB, IN_MAX };

constexpr double kMaxPixels = static_cast<double>(segmora::kMaxPixelCount);
constexpr double kMaxLabel = 2147483647.0;

struct Shape {
    std::size_t rows;
    std::size_t columns;
};

void checkCounts(int nlhs, int nrhs) {
    if (nrhs < 1 || nrhs > IN_MAX) {
        mexErrMsgIdAndTxt("segmora:nargin", "expected 1 or 2 inputs (labels, rgb), got %d", nrhs);
    }
    if (nlhs > 1) mexErrMsgIdAndTxt("segmora:nargout", "returns 1 output, %d asked", nlhs);
}

Shape checkLabels(const mxArray* labels) {
    if (!mxIsNumeric(labels) || mxIsComplex(labels) || mxIsSparse(labels)) {
        mexErrMsgIdAndTxt("segmora:badType",
                          "labels must be a real, non-sparse numeric matrix, not %s",
                          mxGetClassName(labels));
    }
    if (mxGetNumberOfDimensions(labels) != 2) {
        mexErrMsgIdAndTxt("segmora:badShape", "labels must be an H-by-W matrix, not %d-dimensional",
                          static_cast<int>(mxGetNumberOfDimensions(labels)));
    }
    const Shape shape{mxGetM(labels), mxGetN(labels)};
    if (static_cast<double>(shape.rows) * static_cast<double>(shape.columns) >= kMaxPixels ||
        static_cast<double>(shape.rows) >= kMaxPixels ||
        static_cast<double>(shape.columns) >= kMaxPixels) {
        mexErrMsgIdAndTxt("segmora:tooLarge", "labels have %lu x %lu pixels; %s",
                          static_cast<unsigned long>(shape.rows),
                          static_cast<unsigned long>(shape.columns),
                          segmora::pixelLimitText().c_str());
    }
    return shape;
}

void checkRgb(const mxArray* rgb, Shape shape) {
    if (!mxIsUint8(rgb) || mxIsComplex(rgb) || mxIsSparse(rgb)) {
        mexErrMsgIdAndTxt("segmora:badType", "rgb must be a real uint8 array, not %s",
                          mxGetClassName(rgb));
    }
    const mwSize* dims = mxGetDimensions(rgb);
    if (mxGetNumberOfDimensions(rgb) != 3 || static_cast<std::size_t>(dims[0]) != shape.rows ||
        static_cast<std::size_t>(dims[1]) != shape.columns || dims[2] != 3) {
        mexErrMsgIdAndTxt("segmora:sizeMismatch",
                          "rgb must be %lu x %lu x 3 like labels, not %d-dimensional with %lu "
                          "elements",
                          static_cast<unsigned long>(shape.rows),
                          static_cast<unsigned long>(shape.columns),
                          static_cast<int>(mxGetNumberOfDimensions(rgb)),
                          static_cast<unsigned long>(mxGetNumberOfElements(rgb)));
    }
}

// A failure of the C++ part, kept as plain data until the C++ objects are gone.
struct Failure {
    const char* id = nullptr;
    char message[256] = {};
};

// A label that is not a whole number from 1 to 2^31 - 1, at a 1-based (row, column).
struct BadLabel {
    double value;
    std::size_t row, column;
};

template <class T>
segmora::Segmentation readLabels(const T* data, Shape shape) {
    segmora::Segmentation s{
        cv::Mat_<int>(static_cast<int>(shape.rows), static_cast<int>(shape.columns)), 0};
    for (std::size_t x = 0; x < shape.columns; ++x) {
        for (std::size_t y = 0; y < shape.rows; ++y) {
            const double label = static_cast<double>(data[x * shape.rows + y]);
            if (!(label >= 1 && label <= kMaxLabel && std::trunc(label) == label)) {
                throw BadLabel{label, y + 1, x + 1};
            }
            const int value = static_cast<int>(label);
            s.labels(static_cast<int>(y), static_cast<int>(x)) = value;
            if (value > s.count) s.count = value;
        }
    }
    return s;
}

segmora::Segmentation readLabels(const mxArray* labels, Shape shape) {
    const void* data = mxGetData(labels);
    switch (mxGetClassID(labels)) {
        case mxDOUBLE_CLASS:
            return readLabels(static_cast<const double*>(data), shape);
        case mxSINGLE_CLASS:
            return readLabels(static_cast<const float*>(data), shape);
        case mxINT8_CLASS:
            return readLabels(static_cast<const std::int8_t*>(data), shape);
        case mxUINT8_CLASS:
            return readLabels(static_cast<const std::uint8_t*>(data), shape);
        case mxINT16_CLASS:
            return readLabels(static_cast<const std::int16_t*>(data), shape);
        case mxUINT16_CLASS:
            return readLabels(static_cast<const std::uint16_t*>(data), shape);
        case mxINT32_CLASS:
            return readLabels(static_cast<const std::int32_t*>(data), shape);
        case mxUINT32_CLASS:
            return readLabels(static_cast<const std::uint32_t*>(data), shape);
        case mxINT64_CLASS:
            return readLabels(static_cast<const std::int64_t*>(data), shape);
        default:
            return readLabels(static_cast<const std::uint64_t*>(data), shape);
    }
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

Failure graphInto(const mxArray* labels, const mxArray* rgb, Shape shape, mxArray*& out) {
    Failure failure;
    try {
        const segmora::Segmentation s = readLabels(labels, shape);
        if (rgb == nullptr) {
            out = graphStruct(segmora::describe(s), false);
        } else {
            const int rows = static_cast<int>(shape.rows);
            const int columns = static_cast<int>(shape.columns);
            const segmora::bindings::Strides planes{1, rows,
                                                    static_cast<std::ptrdiff_t>(rows) * columns};
            cv::Mat bgr;
            segmora::bindings::bgrFromRgb(static_cast<const std::uint8_t*>(mxGetData(rgb)), rows,
                                          columns, planes, bgr);
            out = graphStruct(segmora::describe(s, bgr), true);
        }
    } catch (const BadLabel& bad) {
        failure.id = "segmora:badLabel";
        std::snprintf(failure.message, sizeof failure.message,
                      "labels(%lu, %lu) = %g is not a whole number from 1 to 2^31 - 1",
                      static_cast<unsigned long>(bad.row), static_cast<unsigned long>(bad.column),
                      bad.value);
    } catch (const std::bad_alloc&) {
        failure.id = "segmora:outOfMemory";
        std::snprintf(failure.message, sizeof failure.message,
                      "not enough memory for the graph of %lu x %lu labels",
                      static_cast<unsigned long>(shape.rows),
                      static_cast<unsigned long>(shape.columns));
    } catch (const std::invalid_argument& e) {
        failure.id = "segmora:badInput";
        std::snprintf(failure.message, sizeof failure.message, "cannot describe labels: %s",
                      e.what());
    } catch (const std::exception& e) {
        failure.id = "segmora:failed";
        std::snprintf(failure.message, sizeof failure.message, "graph failed: %s", e.what());
    } catch (...) {
        failure.id = "segmora:failed";
        std::snprintf(failure.message, sizeof failure.message, "graph failed");
    }
    return failure;
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    checkCounts(nlhs, nrhs);
    const Shape shape = checkLabels(prhs[IN_LABELS]);
    const mxArray* rgb = nrhs > IN_RGB ? prhs[IN_RGB] : nullptr;
    if (rgb != nullptr) checkRgb(rgb, shape);
    mxArray* out = nullptr;
    const Failure failure = graphInto(prhs[IN_LABELS], rgb, shape, out);
    if (failure.id != nullptr) {
        if (out != nullptr) mxDestroyArray(out);
        mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    }
    plhs[0] = out;
}
