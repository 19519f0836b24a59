// Octave's and MATLAB's side of the shared argument rules, for the MEX functions segmora
// and segmora_graph: MEX arrays seen as host arrays, the host's words, and failures kept
// as plain data until the MEX error is raised (mexErrMsgIdAndTxt does not return, so no
// C++ object may be alive then).
#pragma once

#include <exception>
#include <string>

#include "host_array.h"
#include "mex.h"

namespace segmora::bindings::octave {

// One-based positions in parentheses, shapes as 300x451, MATLAB's class names.
extern const HostStyle kStyle;

// A failure of the C++ part: `id` is null when there was none.
struct Failure {
    const char* id = nullptr;
    char message[512] = {};
};

// The failure `exception` is for the host; `what` names the work, as in "segment rgb".
Failure failureOf(std::exception_ptr exception, const std::string& what);

// The class as messages name it: "double", "complex double", "sparse double", "cell".
std::string kindOf(const mxArray* array);

// A host array over the MEX array's column-major elements.
HostArray hostArray(const mxArray* array);

}  // namespace segmora::bindings::octave
