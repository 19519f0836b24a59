// MEX entry of `[labels, count] = segmora(rgb, regions)`: validates the call, then runs the
// engine on the photo. All C++ work happens inside one try block that reports failure as
// plain data; the MEX error is raised only after every C++ object is gone, since
// mexErrMsgIdAndTxt does not return.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "mex.h"
#include "pixel_layout.h"
#include "segmora/segmora.h"

#if defined(__GNUC__)
#define SEGMORA_MEX_EXPORT __attribute__((visibility("default")))
#else
#define SEGMORA_MEX_EXPORT
#endif

namespace {

enum { IN_RGB, IN_REGIONS, IN_MAX };
enum { OUT_LABELS, OUT_COUNT, OUT_MAX };

// The engine refuses photos of 2^29 pixels or more; refusing them here avoids the copy.
constexpr double kMaxPixels = 536870912.0;

struct PhotoShape {
    std::size_t rows;
    std::size_t columns;
};

void checkCounts(int nlhs, int nrhs) {
    if (nrhs < 1 || nrhs > IN_MAX) {
        mexErrMsgIdAndTxt("segmora:nargin", "expected 1 or 2 inputs (rgb, regions), got %d", nrhs);
    }
    if (nlhs > OUT_MAX) {
        mexErrMsgIdAndTxt("segmora:nargout", "returns at most 2 outputs (labels, count), %d asked",
                          nlhs);
    }
}

PhotoShape checkRgb(const mxArray* rgb) {
    if (!mxIsUint8(rgb) || mxIsComplex(rgb) || mxIsSparse(rgb)) {
        mexErrMsgIdAndTxt("segmora:badType", "rgb must be a real uint8 array, not %s",
                          mxGetClassName(rgb));
    }
    const mwSize* dims = mxGetDimensions(rgb);
    if (mxGetNumberOfDimensions(rgb) != 3 || dims[2] != 3) {
        mexErrMsgIdAndTxt("segmora:badShape",
                          "rgb must be H x W x 3 (red, green, blue), not %d-dimensional with "
                          "%lu elements",
                          static_cast<int>(mxGetNumberOfDimensions(rgb)),
                          static_cast<unsigned long>(mxGetNumberOfElements(rgb)));
    }
    const PhotoShape shape{static_cast<std::size_t>(dims[0]), static_cast<std::size_t>(dims[1])};
    if (shape.rows == 0 || shape.columns == 0) {
        mexErrMsgIdAndTxt("segmora:emptyImage", "rgb must not be empty (it is %lu x %lu x 3)",
                          static_cast<unsigned long>(shape.rows),
                          static_cast<unsigned long>(shape.columns));
    }
    if (static_cast<double>(shape.rows) * static_cast<double>(shape.columns) >= kMaxPixels) {
        mexErrMsgIdAndTxt("segmora:tooLarge", "rgb has %lu x %lu pixels; the limit is 2^29 pixels",
                          static_cast<unsigned long>(shape.rows),
                          static_cast<unsigned long>(shape.columns));
    }
    return shape;
}

void checkRegionsShape(const mxArray* regions, PhotoShape photo) {
    if (!(mxIsInt32(regions) || mxIsDouble(regions)) || mxIsComplex(regions) ||
        mxIsSparse(regions)) {
        mexErrMsgIdAndTxt("segmora:badType",
                          "regions must be a real, non-sparse int32 or double matrix, not %s",
                          mxGetClassName(regions));
    }
    if (mxGetNumberOfDimensions(regions) != 2 || mxGetM(regions) != photo.rows ||
        mxGetN(regions) != photo.columns) {
        mexErrMsgIdAndTxt(
            "segmora:sizeMismatch", "regions must be %lu x %lu like rgb, not %lu x %lu%s",
            static_cast<unsigned long>(photo.rows), static_cast<unsigned long>(photo.columns),
            static_cast<unsigned long>(mxGetM(regions)),
            static_cast<unsigned long>(mxGetN(regions)),
            mxGetNumberOfDimensions(regions) != 2 ? " x ..." : "");
    }
}

// Region ids given as doubles must be whole numbers that fit in int32.
void checkRegionValues(const mxArray* regions, PhotoShape photo) {
    if (!mxIsDouble(regions)) return;
    const double* ids = static_cast<const double*>(mxGetData(regions));
    const std::size_t count = photo.rows * photo.columns;
    for (std::size_t k = 0; k < count; ++k) {
        const double id = ids[k];
        if (!(id >= -2147483648.0 && id <= 2147483647.0 && std::trunc(id) == id)) {
            mexErrMsgIdAndTxt("segmora:badRegion",
                              "regions(%lu, %lu) = %g is not a whole number in the int32 range",
                              static_cast<unsigned long>(k % photo.rows + 1),
                              static_cast<unsigned long>(k / photo.rows + 1), id);
        }
    }
}

// A failure of the C++ part, kept as plain data until the C++ objects are gone.
struct Failure {
    const char* id = nullptr;
    char message[256] = {};
};

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

segmora::Segmentation segmentCall(const mxArray* rgb, const mxArray* regions, PhotoShape shape) {
    using segmora::bindings::Strides;
    const int rows = static_cast<int>(shape.rows);
    const int columns = static_cast<int>(shape.columns);
    const Strides planes{1, rows, static_cast<std::ptrdiff_t>(rows) * columns};
    WarmState& state = warm();
    segmora::bindings::bgrFromRgb(static_cast<const std::uint8_t*>(mxGetData(rgb)), rows, columns,
                                  planes, state.bgr);
    if (regions == nullptr) return state.segmenter.segmentPhoto(state.bgr);
    if (mxIsInt32(regions)) {
        segmora::bindings::regionsFrom(static_cast<const std::int32_t*>(mxGetData(regions)), rows,
                                       columns, planes, state.regions);
    } else {
        segmora::bindings::regionsFrom(static_cast<const double*>(mxGetData(regions)), rows,
                                       columns, planes, state.regions);
    }
    return state.segmenter.segmentPhoto(state.bgr, state.regions);
}

// Segments the photo into `labels` (a rows x columns double matrix) and `count`.
Failure segmentInto(const mxArray* rgb, const mxArray* regions, PhotoShape shape, double* labels,
                    double& count) {
    Failure failure;
    try {
        const segmora::Segmentation result = segmentCall(rgb, regions, shape);
        segmora::bindings::labelsToColumnMajor(result.labels, labels);
        count = result.count;
    } catch (const std::bad_alloc&) {
        releaseWarmState();  // give Octave back all the memory the function holds
        failure.id = "segmora:outOfMemory";
        std::snprintf(failure.message, sizeof failure.message,
                      "not enough memory to segment rgb (%lu x %lu pixels)",
                      static_cast<unsigned long>(shape.rows),
                      static_cast<unsigned long>(shape.columns));
    } catch (const std::invalid_argument& e) {
        failure.id = "segmora:badInput";
        std::snprintf(failure.message, sizeof failure.message, "cannot segment rgb: %s", e.what());
    } catch (const std::exception& e) {
        failure.id = "segmora:failed";
        std::snprintf(failure.message, sizeof failure.message, "segmentation failed: %s", e.what());
    } catch (...) {
        failure.id = "segmora:failed";
        std::snprintf(failure.message, sizeof failure.message, "segmentation failed");
    }
    return failure;
}

}  // namespace

extern "C" SEGMORA_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
    checkCounts(nlhs, nrhs);
    const PhotoShape shape = checkRgb(prhs[IN_RGB]);
    const mxArray* regions = nrhs > IN_REGIONS ? prhs[IN_REGIONS] : nullptr;
    if (regions != nullptr) {
        checkRegionsShape(regions, shape);
        checkRegionValues(regions, shape);
    }

    plhs[OUT_LABELS] = mxCreateDoubleMatrix(shape.rows, shape.columns, mxREAL);
    double count = 0;
    const Failure failure =
        segmentInto(prhs[IN_RGB], regions, shape, mxGetPr(plhs[OUT_LABELS]), count);
    if (failure.id != nullptr) mexErrMsgIdAndTxt(failure.id, "%s", failure.message);
    if (nlhs > OUT_COUNT) plhs[OUT_COUNT] = mxCreateDoubleScalar(count);
}
