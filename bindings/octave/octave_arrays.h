// What the MEX functions share: Octave's and MATLAB's words for messages, failures kept as
// plain data until the C++ objects are gone, and MEX arrays seen as host arrays.
#pragma once

#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>

#include "argument_errors.h"
#include "host_array.h"
#include "mex.h"
#include "text_case.h"

// mexFunction is the one symbol a MEX file exports.
#if defined(__GNUC__)
#define SEGMORA_MEX_EXPORT __attribute__((visibility("default")))
#else
#define SEGMORA_MEX_EXPORT
#endif

namespace segmora::bindings::octave {

using segmora::lowerCase;

// Octave's and MATLAB's words: one-based positions in parentheses, shapes as 300x451.
inline const bindings::HostStyle kStyle{false,
                                        "(",
                                        ")",
                                        false,
                                        "H-by-W or H-by-W-by-C with C from 1 to 4",
                                        "logical",
                                        "single",
                                        "double",
                                        {"Threshold", "Sigma", "CapDivisor", "MinSize", "Threads", "BitDepth",
                                         "Count"}};

// A failure of the C++ part, kept as plain data until the C++ objects are gone.
struct Failure {
    const char* id = nullptr;
    char message[512] = {};
};

inline Failure failureOf(std::exception_ptr exception, const std::string& what) {
    const bindings::HostError error = bindings::hostErrorOf(exception, what);
    Failure failure;
    failure.id = error.octaveId;
    std::snprintf(failure.message, sizeof failure.message, "%s", error.message.c_str());
    return failure;
}

inline bindings::Element elementOf(const mxArray* array) {
    if (mxIsComplex(array) || mxIsSparse(array)) return bindings::Element::Other;
    switch (mxGetClassID(array)) {
        case mxUINT8_CLASS:
            return bindings::Element::UInt8;
        case mxUINT16_CLASS:
            return bindings::Element::UInt16;
        case mxUINT32_CLASS:
            return bindings::Element::UInt32;
        case mxUINT64_CLASS:
            return bindings::Element::UInt64;
        case mxINT8_CLASS:
            return bindings::Element::Int8;
        case mxINT16_CLASS:
            return bindings::Element::Int16;
        case mxINT32_CLASS:
            return bindings::Element::Int32;
        case mxINT64_CLASS:
            return bindings::Element::Int64;
        case mxLOGICAL_CLASS:
            return bindings::Element::Bool;
        case mxSINGLE_CLASS:
            return bindings::Element::Float32;
        case mxDOUBLE_CLASS:
            return bindings::Element::Float64;
        default:
            return bindings::Element::Other;
    }
}

// The class as messages name it: "double", "complex double", "sparse double", "cell".
inline std::string kindOf(const mxArray* array) {
    std::string kind = mxGetClassName(array);
    if (mxIsSparse(array)) kind = "sparse " + kind;
    if (mxIsComplex(array)) kind = "complex " + kind;
    return kind;
}

// A host array over the MEX array's column-major elements.
inline bindings::HostArray hostArray(const mxArray* array) {
    bindings::HostArray host;
    host.element = elementOf(array);
    host.data = host.element == bindings::Element::Other ? nullptr : mxGetData(array);
    host.kindName = kindOf(array);
    const mwSize* dims = mxGetDimensions(array);
    std::ptrdiff_t stride = 1;
    for (mwSize d = 0; d < mxGetNumberOfDimensions(array); ++d) {
        host.shape.push_back(static_cast<std::ptrdiff_t>(dims[d]));
        host.strides.push_back(stride);
        stride *= static_cast<std::ptrdiff_t>(dims[d]);
    }
    return host;
}

inline std::string textOf(const mxArray* array) {
    char* text = mxArrayToString(array);
    std::string copy = text != nullptr ? text : "";
    mxFree(text);
    return copy;
}

}  // namespace segmora::bindings::octave
