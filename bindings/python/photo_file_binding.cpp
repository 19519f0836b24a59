#include "photo_file_binding.h"

#include <pybind11/numpy.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "colour_image.h"

namespace py = pybind11;

namespace {

// The decoded photo, turned from blue-green-red to red-green-blue, handed to numpy without
// another copy.
py::array rgbArray(cv::Mat_<cv::Vec3b>&& bgr) {
    auto owner = std::make_unique<cv::Mat_<cv::Vec3b>>(std::move(bgr));
    cv::Mat_<cv::Vec3b>& m = *owner;
    for (int r = 0; r < m.rows; ++r) {
        for (cv::Vec3b& p : cv::Mat_<cv::Vec3b>(m.row(r))) std::swap(p[0], p[2]);
    }
    py::capsule release(owner.get(), [](void* p) { delete static_cast<cv::Mat_<cv::Vec3b>*>(p); });
    owner.release();
    return py::array_t<std::uint8_t>(
        {m.rows, m.cols, 3},
        {static_cast<py::ssize_t>(m.step[0]), py::ssize_t{3}, py::ssize_t{1}}, m.ptr<std::uint8_t>(),
        release);
}

py::array readPhoto(const std::string& path, int bitDepth) {
    if (bitDepth < 8 || bitDepth > 16) {
        throw py::value_error("segment: bit_depth must be a whole number from 8 to 16, not " +
                              std::to_string(bitDepth));
    }
    cv::Mat_<cv::Vec3b> bgr;
    {
        py::gil_scoped_release unlocked;
        try {
            bgr = segmora::readColourImage(path, segmora::Orientation::Apply, bitDepth);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const cv::Exception& e) {
            if (e.code == cv::Error::StsNoMem) throw std::bad_alloc();
            throw std::runtime_error("cannot read image '" + path + "': " + e.what());
        }
    }
    return rgbArray(std::move(bgr));
}

}  // namespace

namespace segmora::python {

void addPhotoFile(py::module_& module) {
    module.def(
        "read_photo",
        [](const std::string& path, int bitDepth) {
            try {
                return readPhoto(path, bitDepth);
            } catch (const std::invalid_argument& e) {
                throw py::value_error(e.what());
            } catch (const std::runtime_error& e) {
                PyErr_SetString(PyExc_OSError, e.what());
                throw py::error_already_set();
            }
        },
        py::arg("path"), py::arg("bit_depth"));
}

}  // namespace segmora::python
