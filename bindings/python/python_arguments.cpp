#include "python_arguments.h"

#include <limits>
#include <stdexcept>

namespace segmora::bindings::python {

const HostStyle kStyle{true,
                       "[",
                       "]",
                       true,
                       "(H, W) or (H, W, C) with C from 1 to 4",
                       "bool",
                       "float32",
                       "float64",
                       {"threshold", "sigma", "cap_divisor", "min_size", "threads", "bit_depth",
                        "count"}};

namespace {

Element elementOf(const py::dtype& dtype) {
    const char kind = dtype.kind();
    const auto size = dtype.itemsize();
    if (kind == 'b' && size == 1) return Element::Bool;
    if (kind == 'f' && size == 4) return Element::Float32;
    if (kind == 'f' && size == 8) return Element::Float64;
    if (kind == 'u' || kind == 'i') {
        const bool isSigned = kind == 'i';
        switch (size) {
            case 1:
                return isSigned ? Element::Int8 : Element::UInt8;
            case 2:
                return isSigned ? Element::Int16 : Element::UInt16;
            case 4:
                return isSigned ? Element::Int32 : Element::UInt32;
            case 8:
                return isSigned ? Element::Int64 : Element::UInt64;
        }
    }
    return Element::Other;
}

}  // namespace

BorrowedArray borrowArray(const py::object& object) {
    const py::module_ numpy = py::module_::import("numpy");
    auto array = py::reinterpret_borrow<py::array>(
        py::isinstance<py::array>(object) ? object : numpy.attr("asarray")(object));
    const auto itemSize = static_cast<py::ssize_t>(array.itemsize());
    const Element element = itemSize > 0 ? elementOf(array.dtype()) : Element::Other;
    if (element != Element::Other) {
        bool usable = array.dtype().attr("isnative").cast<bool>();
        for (py::ssize_t d = 0; d < array.ndim(); ++d)
            usable = usable && array.strides(d) % itemSize == 0;
        if (!usable) {
            const py::object native = array.dtype().attr("newbyteorder")("=");
            array = numpy.attr("ascontiguousarray")(array, native);
        }
    }
    HostArray host;
    host.data = array.data();
    host.element = element;
    host.kindName = py::str(array.dtype()).cast<std::string>();
    for (py::ssize_t d = 0; d < array.ndim(); ++d) {
        host.shape.push_back(array.shape(d));
        host.strides.push_back(itemSize > 0 ? array.strides(d) / itemSize : 0);
    }
    return BorrowedArray{array, host};
}

std::optional<double> knobValue(const py::object& value, Knob knob, bool noneIsDefault) {
    if (value.is_none() && noneIsDefault) return std::nullopt;
    const py::module_ numbers = py::module_::import("numbers");
    const bool isBool = py::isinstance<py::bool_>(value) ||
                        py::isinstance(value, py::module_::import("numpy").attr("bool_"));
    if (isBool || !py::isinstance(value, numbers.attr("Real"))) {
        refuseOptionKind(knob, py::str(py::type::of(value).attr("__name__")).cast<std::string>(),
                         kStyle);
    }
    try {
        return py::float_(value).cast<double>();
    } catch (const py::error_already_set&) {  // an int too large for a double
        return std::numeric_limits<double>::infinity();
    }
}

void raise(const HostError& error) {
    switch (error.python) {
        case PythonError::Type:
            throw py::type_error(error.message);
        case PythonError::Value:
            throw py::value_error(error.message);
        case PythonError::Memory:
            PyErr_SetString(PyExc_MemoryError, error.message.c_str());
            throw py::error_already_set();
        case PythonError::Runtime:
            break;
    }
    throw std::runtime_error(error.message);  // RuntimeError
}

}  // namespace segmora::bindings::python
