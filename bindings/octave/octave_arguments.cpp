#include "octave_arguments.h"

#include <cstdio>

#include "argument_errors.h"

namespace segmora::bindings::octave {

const HostStyle kStyle{false,
                       "(",
                       ")",
                       false,
                       "H-by-W or H-by-W-by-C with C from 1 to 4",
                       "logical",
                       "single",
                       "double",
                       {"Threshold", "Sigma", "CapDivisor", "MinSize", "Threads"}};

Failure failureOf(std::exception_ptr exception, const std::string& what) {
    const HostError error = hostErrorOf(exception, what);
    Failure failure;
    failure.id = error.octaveId;
    std::snprintf(failure.message, sizeof failure.message, "%s", error.message.c_str());
    return failure;
}

namespace {

Element elementOf(const mxArray* array) {
    if (mxIsComplex(array) || mxIsSparse(array)) return Element::Other;
    switch (mxGetClassID(array)) {
        case mxUINT8_CLASS:
            return Element::UInt8;
        case mxUINT16_CLASS:
            return Element::UInt16;
        case mxUINT32_CLASS:
            return Element::UInt32;
        case mxUINT64_CLASS:
            return Element::UInt64;
        case mxINT8_CLASS:
            return Element::Int8;
        case mxINT16_CLASS:
            return Element::Int16;
        case mxINT32_CLASS:
            return Element::Int32;
        case mxINT64_CLASS:
            return Element::Int64;
        case mxLOGICAL_CLASS:
            return Element::Bool;
        case mxSINGLE_CLASS:
            return Element::Float32;
        case mxDOUBLE_CLASS:
            return Element::Float64;
        default:
            return Element::Other;
    }
}

}  // namespace

std::string kindOf(const mxArray* array) {
    std::string kind = mxGetClassName(array);
    if (mxIsSparse(array)) kind = "sparse " + kind;
    if (mxIsComplex(array)) kind = "complex " + kind;
    return kind;
}

HostArray hostArray(const mxArray* array) {
    HostArray host;
    host.element = elementOf(array);
    host.data = host.element == Element::Other ? nullptr : mxGetData(array);
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

}  // namespace segmora::bindings::octave
