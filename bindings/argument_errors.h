// The one vocabulary of the hosts' errors: every way a call can be refused, with the words
// of its message and what each host raises for it (a Python exception class, an Octave
// identifier). Hosts turn whatever a call throws into a HostError with hostErrorOf and
// raise it; nothing else decides how an error reaches a user.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

#include "host_array.h"

namespace segmora::bindings {

enum class Problem {
    PhotoKind,      // rgb's elements are of a kind the bindings do not take
    PhotoShape,     // rgb is not H x W or H x W x C with C from 1 to 4
    PhotoEmpty,     // rgb has no pixels
    PhotoTooLarge,  // rgb has kMaxPixelCount pixels or more
    PhotoValue,     // a float pixel outside 0..1
    SizeMismatch,   // rgb is not the size of the labels
    RegionsKind,    // regions' elements are of a kind the bindings do not take
    RegionsShape,   // regions is not H x W like rgb
    RegionValue,    // a region id that is not a whole number in the int32 range
    LabelsKind,     // labels' elements are of a kind the bindings do not take
    LabelsShape,    // labels are not H x W
    LabelValue,     // a label that is not a whole number from 0 to 2^31 - 1
    OptionUnknown,  // a knob the host does not know, or a knob name that is not text
    OptionKind,     // a knob's value is not a real number
    OptionRange,    // a knob's value is outside its range
    OutOfMemory,    // memory ran out while segmenting
    EngineRefused,  // the engine refused the input (std::invalid_argument)
    Failed,         // anything else
};

// The Python exception a problem raises.
enum class PythonError { Type, Value, Memory, Runtime };

// An argument error: what went wrong and the whole message.
class ArgumentError : public std::invalid_argument {
  public:
    ArgumentError(Problem problem, const std::string& message)
        : std::invalid_argument(message), problem(problem) {}
    Problem problem;
};

// A failure as a host raises it.
struct HostError {
    PythonError python;
    const char* octaveId;  // "segmora:..."
    std::string message;
};

// The error that `failure` (thrown by a call) is for the host; `what` names the work, as in
// "segment rgb", for the messages of memory exhaustion and engine failures.
HostError hostErrorOf(std::exception_ptr failure, const std::string& what);

// The messages, one function per problem; each throws ArgumentError.
[[noreturn]] void refusePhotoKind(const std::string& kind, const HostStyle& style);
[[noreturn]] void refusePhotoShape(const std::vector<std::ptrdiff_t>& shape,
                                   const HostStyle& style);
[[noreturn]] void refusePhotoEmpty(const std::vector<std::ptrdiff_t>& shape,
                                   const HostStyle& style);
// `name`: the argument, "rgb" or "labels".
[[noreturn]] void refusePhotoTooLarge(const std::vector<std::ptrdiff_t>& shape,
                                      const HostStyle& style, const std::string& name = "rgb");
[[noreturn]] void refusePhotoValue(const std::vector<std::ptrdiff_t>& position,
                                   const std::string& value, const HostStyle& style);
// `name`: the array as the call names it ("regions", or a label map of an evaluation).
[[noreturn]] void refuseRegionsKind(const std::string& kind, const HostStyle& style,
                                    const std::string& name = "regions");
[[noreturn]] void refuseRegionsShape(const std::vector<std::ptrdiff_t>& expected,
                                     const std::vector<std::ptrdiff_t>& shape,
                                     const HostStyle& style);
[[noreturn]] void refuseRegionValue(const std::vector<std::ptrdiff_t>& position,
                                    const std::string& value, const HostStyle& style,
                                    const std::string& name = "regions");
// A label map of an evaluation that is not two-dimensional (`like` empty) or not of the
// shape `like` of the segmentation's labels.
[[noreturn]] void refuseLabelMapShape(const std::string& name,
                                      const std::vector<std::ptrdiff_t>& shape,
                                      const std::vector<std::ptrdiff_t>& like,
                                      const HostStyle& style);
// A tolerance that is not a real number (`kind` names what it is) or not a whole number >= 0.
[[noreturn]] void refuseToleranceKind(const std::string& kind);
[[noreturn]] void refuseTolerance(double value);
[[noreturn]] void refuseLabelsKind(const std::string& kind, const HostStyle& style);
[[noreturn]] void refuseLabelsShape(const std::vector<std::ptrdiff_t>& shape,
                                    const HostStyle& style);
// `labels`: the labels' rows and columns.
[[noreturn]] void refusePhotoSize(const std::vector<std::ptrdiff_t>& labels,
                                  const std::vector<std::ptrdiff_t>& shape, const HostStyle& style);
[[noreturn]] void refuseLabelValue(const std::vector<std::ptrdiff_t>& position,
                                   const std::string& value, const HostStyle& style);
[[noreturn]] void refuseUnknownOption(const std::string& name, const HostStyle& style);
[[noreturn]] void refuseOptionName(const std::string& kind, int argument);
[[noreturn]] void refuseMissingValue(const std::string& name);
[[noreturn]] void refuseOptionKind(Knob knob, const std::string& kind, const HostStyle& style);
[[noreturn]] void refuseOptionRange(Knob knob, double value, const HostStyle& style);

// A number as messages write it: whole numbers without a decimal point, others with up to
// 17 significant digits.
std::string numberText(double value);

}  // namespace segmora::bindings
