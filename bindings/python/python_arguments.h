// Python's side of the shared argument rules: NumPy arrays seen as host arrays, knob
// objects read as numbers, and the shared errors raised as Python exceptions.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>

#include "argument_errors.h"
#include "host_array.h"

namespace segmora::bindings::python {

namespace py = pybind11;

// Python's words: zero-based positions in brackets, shapes as tuples, NumPy kind names.
extern const HostStyle kStyle;

// An array borrowed from Python; `keep` holds the object that owns the elements.
struct BorrowedArray {
    py::array keep;
    HostArray array;
};

// `object` as an array (numpy.asarray), in native byte order with whole-element strides.
BorrowedArray borrowArray(const py::object& object);

// A knob's value: None gives nothing when `noneIsDefault`, any real number (not bool) its
// value; anything else raises TypeError naming the knob.
std::optional<double> knobValue(const py::object& value, Knob knob, bool noneIsDefault);

// Raises `error` as its Python exception.
[[noreturn]] void raise(const HostError& error);

// Runs `call`; any C++ exception it throws (other than a Python error) is raised as the
// Python exception of the shared vocabulary, `what` naming the work in messages.
template <class Call>
auto guarded(const std::string& what, Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const py::error_already_set&) {
        throw;
    } catch (const py::builtin_exception&) {
        throw;
    } catch (...) {
        raise(hostErrorOf(std::current_exception(), what));
    }
}

}  // namespace segmora::bindings::python
