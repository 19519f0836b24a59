#include "tiled_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <streambuf>
#include <string>
#include <tuple>
#include <vector>

#include "host_photo.h"
#include "python_arguments.h"
#include "segment_options.h"
#include "segmora/segmora.h"

namespace py = pybind11;

namespace segmora::python {

namespace {

using bindings::python::kStyle;

// The image's shape, tiles and knobs; the state that pickling carries to other processes.
using TiledState = std::tuple<int64_t, int64_t, int64_t, int64_t, float, float, int, int, bool>;

TiledState stateOf(const TiledImage& image) {
    const Parameters& p = image.parameters;
    return {image.width, image.height, image.tileWidth, image.tileHeight, p.threshold,
            p.sigma,     p.capDivisor, p.minSize,       image.withRegions};
}

TiledImage checked(TiledImage image) {
    bindings::python::guarded("segment in tiles", [&] { checkTiledImage(image); });
    return image;
}

TiledImage imageOf(const TiledState& s) {
    TiledImage image{std::get<0>(s), std::get<1>(s), std::get<2>(s), std::get<3>(s)};
    image.parameters.threshold = std::get<4>(s);
    image.parameters.sigma = std::get<5>(s);
    image.parameters.capDivisor = std::get<6>(s);
    image.parameters.minSize = std::get<7>(s);
    image.withRegions = std::get<8>(s);
    return checked(image);
}

TiledImage imageOf(int64_t width, int64_t height, int64_t tileWidth, int64_t tileHeight,
                   const py::object& threshold, const py::object& sigma,
                   const py::object& capDivisor, const py::object& minSize, bool withRegions) {
    using bindings::Knob;
    using bindings::python::knobValue;
    TiledImage image{width, height, tileWidth, tileHeight};
    image.parameters = bindings::python::guarded("segment in tiles", [&] {
        return bindings::parametersFrom(
            bindings::KnobValues{knobValue(threshold, Knob::Threshold, false),
                                 knobValue(sigma, Knob::Sigma, false),
                                 knobValue(capDivisor, Knob::CapDivisor, true),
                                 knobValue(minSize, Knob::MinSize, false)},
            kStyle);
    });
    image.withRegions = withRegions;
    return checked(image);
}

void checkTile(const TiledImage& image, int64_t tile) {
    const int64_t count = tileCount(image);
    if (tile < 0 || tile >= count) {
        throw py::value_error("tile " + std::to_string(tile) + " is not one of the image's " +
                              std::to_string(count) + " tiles");
    }
}

py::tuple rectTuple(const TileRect& r) {
    return py::make_tuple(r.x, r.y, r.width, r.height);
}

py::bytes bytesOf(const std::vector<uint8_t>& v) {
    return py::bytes(reinterpret_cast<const char*>(v.data()), v.size());
}

std::vector<uint8_t> vectorOf(const py::bytes& b) {
    char* data = nullptr;
    py::ssize_t size = 0;
    if (PyBytes_AsStringAndSize(b.ptr(), &data, &size) != 0) throw py::error_already_set();
    return std::vector<uint8_t>(data, data + size);
}

// A call's photo and region ids: borrowed and checked while the GIL is held, then converted
// to the library's blue-green-red pixels and int ids by convert(), which needs no GIL.
class CallPixels {
  public:
    // `rows` and `columns` the shape the call takes (`rows` < 0: any number of rows).
    CallPixels(const TiledImage& image, const py::object& rgb, const py::object& regions,
               int64_t rows, int64_t columns, const std::string& what)
        : photo(bindings::python::borrowArray(rgb)),
          size(bindings::checkPhoto(photo.array, kStyle)) {
        if ((rows >= 0 && size.rows != rows) || size.columns != columns) {
            const std::string want = rows >= 0 ? std::to_string(rows) + " x " : "rows of ";
            throw py::value_error(what + ": rgb must hold " + want + std::to_string(columns) +
                                  " pixels, not " + std::to_string(size.rows) + " x " +
                                  std::to_string(size.columns));
        }
        if (regions.is_none() == image.withRegions) {
            throw py::value_error(what + (image.withRegions ? ": regions are missing"
                                                            : ": the image has no regions"));
        }
        if (!regions.is_none()) {
            ids = bindings::python::borrowArray(regions);
            bindings::checkRegions(ids->array, size, kStyle);
        }
    }

    void convert() {
        bindings::photoFrom(photo.array, size, kStyle, bgr);
        if (ids) idMap = bindings::regionsFrom(ids->array, size, kStyle, idCopy);
    }

    cv::Mat bgr;
    cv::Mat_<int> idMap;

  private:
    bindings::python::BorrowedArray photo;
    bindings::PhotoSize size;
    std::optional<bindings::python::BorrowedArray> ids;
    cv::Mat_<int> idCopy;
};

// Bytes that a call takes, or None (`what` names them in the TypeError).
std::optional<std::vector<uint8_t>> optionalBytes(const py::object& value,
                                                  const std::string& what) {
    if (value.is_none()) return std::nullopt;
    if (!py::isinstance<py::bytes>(value)) {
        throw py::type_error(what + " must be bytes or None, not " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    }
    return vectorOf(py::reinterpret_borrow<py::bytes>(value));
}

// Phase 1: `rgb` (and `regions`, or None) hold the pixels of the tile's read rectangle;
// `sweep` is a FlatSweep's finish() bytes, or None.
py::tuple segmentTileOf(const TiledImage& image, int64_t tile, const py::object& rgb,
                        const py::object& regions, const py::object& sweep) {
    checkTile(image, tile);
    const TileRect read = tileReadRect(image, tile);
    const std::string what = "segment tile " + std::to_string(tile);
    const std::optional<std::vector<uint8_t>> swept = optionalBytes(sweep, what + ": sweep");
    TileState state = bindings::python::guarded(what, [&] {
        CallPixels pixels(image, rgb, regions, read.height, read.width, what);
        py::gil_scoped_release unlocked;
        pixels.convert();
        if (swept) return segmentTile(image, tile, pixels.bgr, pixels.idMap, *swept);
        return segmentTile(image, tile, pixels.bgr, pixels.idMap);
    });
    return py::make_tuple(bytesOf(state.join), bytesOf(state.labels));
}

// A sweep over the image's rows, handed between tasks as its state bytes. One call at a
// time: another thread's call waits (without the GIL) for the one under way.
class SweepOf {
  public:
    explicit SweepOf(const TiledImage& image) : image(image), sweep(start(image, nullptr)) {}
    SweepOf(const TiledImage& image, const py::bytes& state)
        : image(image), sweep(start(image, &state)) {}

    void addRows(const py::object& rgb, const py::object& regions) {
        const std::string what = "sweep rows";
        bindings::python::guarded(what, [&] {
            CallPixels pixels(image, rgb, regions, -1, image.width, what);
            py::gil_scoped_release unlocked;
            pixels.convert();
            const std::lock_guard<std::mutex> guard(busy);
            sweep.addRows(pixels.bgr, pixels.idMap);
        });
    }

    int64_t rowsAdded() {
        py::gil_scoped_release unlocked;
        const std::lock_guard<std::mutex> guard(busy);
        return sweep.rowsAdded();
    }

    py::bytes stateBytes() {
        return bytesOf(run("sweep state", [&] { return sweep.stateBytes(); }));
    }

    py::bytes finish() {
        return bytesOf(run("finish the sweep", [&] { return sweep.finish(); }));
    }

  private:
    static FlatSweep start(const TiledImage& image, const py::bytes* state) {
        const std::optional<std::vector<uint8_t>> bytes =
            state == nullptr ? std::nullopt : std::optional(vectorOf(*state));
        return bindings::python::guarded("start the sweep", [&] {
            py::gil_scoped_release unlocked;
            return bytes ? FlatSweep(image, *bytes) : FlatSweep(image);
        });
    }

    template <class Call>
    std::vector<uint8_t> run(const std::string& what, Call call) {
        return bindings::python::guarded(what, [&] {
            py::gil_scoped_release unlocked;
            const std::lock_guard<std::mutex> guard(busy);
            return call();
        });
    }

    TiledImage image;
    std::mutex busy;
    FlatSweep sweep;
};

// Reads a bytes object that the caller keeps alive, without copying it.
class BytesReader : public std::streambuf {
  public:
    BytesReader(char* data, size_t size) { setg(data, data, data + size); }
};

class BytesStream : public std::istream {
  public:
    BytesStream(char* data, size_t size) : std::istream(nullptr), reader(data, size) {
        rdbuf(&reader);
    }

  private:
    BytesReader reader;
};

// Phase 2: `joins` holds every tile's first bytes, in tile order.
py::tuple joinTilesOf(const TiledImage& image, const py::list& joins) {
    const int64_t count = tileCount(image);
    if (static_cast<int64_t>(joins.size()) != count) {
        throw py::value_error("join_tiles: the image has " + std::to_string(count) +
                              " tiles, not " + std::to_string(joins.size()));
    }
    std::vector<std::pair<char*, size_t>> views;
    for (const py::handle item : joins) {
        if (!py::isinstance<py::bytes>(item)) {
            throw py::type_error("join_tiles: every tile's join must be bytes, not " +
                                 py::str(py::type::of(item).attr("__name__")).cast<std::string>());
        }
        char* data = nullptr;
        py::ssize_t size = 0;
        if (PyBytes_AsStringAndSize(item.ptr(), &data, &size) != 0) throw py::error_already_set();
        views.emplace_back(data, static_cast<size_t>(size));
    }
    TiledJoin join = bindings::python::guarded("join the tiles", [&] {
        py::gil_scoped_release unlocked;
        return joinTiles(image, [&](int64_t tile) -> std::unique_ptr<std::istream> {
            const auto& [data, size] = views.at(static_cast<size_t>(tile));
            return std::make_unique<BytesStream>(data, size);
        });
    });
    py::list tables;
    for (const std::vector<uint8_t>& table : join.tables) tables.append(bytesOf(table));
    return py::make_tuple(join.count, tables);
}

template <class T>
py::array_t<T> tileArray(std::vector<T>&& labels, const TileRect& own) {
    auto owner = std::make_unique<std::vector<T>>(std::move(labels));
    T* data = owner->data();
    py::capsule release(owner.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    owner.release();
    return py::array_t<T>({own.height, own.width}, data, release);
}

// Phase 3: the labels of the tile's own pixels, int32 or int64 as the count needs.
py::array labelTileOf(const TiledImage& image, int64_t tile, const py::bytes& labels,
                      const py::bytes& table, int64_t count) {
    checkTile(image, tile);
    const TileRect own = tileRect(image, tile);
    const std::vector<uint8_t> labelBytes = vectorOf(labels);
    const std::vector<uint8_t> tableBytes = vectorOf(table);
    TileLabels out = bindings::python::guarded("label tile " + std::to_string(tile), [&] {
        py::gil_scoped_release unlocked;
        return labelTile(image, tile, labelBytes, tableBytes, count);
    });
    const auto pixels = static_cast<size_t>(own.width * own.height);
    if (out.labels64.size() == pixels && out.labels32.empty())
        return tileArray(std::move(out.labels64), own);
    if (out.labels32.size() != pixels) {
        throw py::value_error("label tile " + std::to_string(tile) +
                              ": the library gave no labels for the tile's pixels");
    }
    return tileArray(std::move(out.labels32), own);
}

}  // namespace

void addTiled(py::module_& module) {
    // A tile holds fewer pixels than this (the limit of an image in one piece).
    module.attr("MAX_TILE_PIXELS") = kMaxPixelCount;
    py::class_<TiledImage>(module, "TiledImage")
        .def(
            py::init([](int64_t width, int64_t height, int64_t tileWidth, int64_t tileHeight,
                        const py::object& threshold, const py::object& sigma,
                        const py::object& capDivisor, const py::object& minSize, bool withRegions) {
                return imageOf(width, height, tileWidth, tileHeight, threshold, sigma, capDivisor,
                               minSize, withRegions);
            }),
            py::arg("width"), py::arg("height"), py::arg("tile_width"), py::arg("tile_height"),
            py::arg("threshold"), py::arg("sigma"), py::arg("cap_divisor"), py::arg("min_size"),
            py::arg("with_regions"))
        .def_property_readonly("tile_count", [](const TiledImage& i) { return tileCount(i); })
        .def("tile_rect",
             [](const TiledImage& i, int64_t tile) {
                 checkTile(i, tile);
                 return rectTuple(tileRect(i, tile));
             })
        .def("tile_read_rect",
             [](const TiledImage& i, int64_t tile) {
                 checkTile(i, tile);
                 return rectTuple(tileReadRect(i, tile));
             })
        .def(py::pickle([](const TiledImage& i) { return stateOf(i); },
                        [](const TiledState& s) { return imageOf(s); }));
    module.def("segment_tile", &segmentTileOf, py::arg("image"), py::arg("tile"), py::arg("rgb"),
               py::arg("regions"), py::arg("sweep") = py::none());
    py::class_<SweepOf>(module, "FlatSweep")
        .def(py::init<const TiledImage&>(), py::arg("image"))
        .def(py::init<const TiledImage&, const py::bytes&>(), py::arg("image"), py::arg("state"))
        .def("add_rows", &SweepOf::addRows, py::arg("rgb"), py::arg("regions"))
        .def_property_readonly("rows_added", &SweepOf::rowsAdded)
        .def("state_bytes", &SweepOf::stateBytes)
        .def("finish", &SweepOf::finish);
    module.def("join_tiles", &joinTilesOf, py::arg("image"), py::arg("joins"));
    module.def("label_tile", &labelTileOf, py::arg("image"), py::arg("tile"), py::arg("labels"),
               py::arg("table"), py::arg("count"));
}

}  // namespace segmora::python
