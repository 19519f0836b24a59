#include "host_photo.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>

#include "argument_errors.h"
#include "segmora/segmora.h"

namespace segmora::bindings {

namespace {

// A position in an array and the value found there.
struct Found {
    std::vector<std::ptrdiff_t> position;
    std::string value;
};

template <class T>
std::string valueText(T value) {
    if constexpr (std::is_floating_point_v<T>) {
        return numberText(value);
    } else {
        return std::to_string(value);
    }
}

// The first value (in visiting order) of `channels` per pixel for which bad(value) holds.
template <class T, class Bad>
std::optional<Found> findValue(const HostArray& array, PhotoSize size, int channels, Bad bad) {
    const T* data = static_cast<const T*>(array.data);
    const Strides s = array.planeStrides();
    std::optional<Found> found;
    visitPixels(size.rows, size.columns, s, [&](int y, int x) {
        if (found) return;
        for (int c = 0; c < channels; ++c) {
            const T value = data[y * s.row + x * s.column + c * s.channel];
            if (bad(value)) {
                std::vector<std::ptrdiff_t> position{y, x};
                if (array.shape.size() > 2) position.push_back(c);
                found = Found{position, valueText(value)};
                return;
            }
        }
    });
    return found;
}

template <class T>
void checkUnitRange(const HostArray& rgb, PhotoSize size, const HostStyle& style) {
    const auto outside = [](T v) { return !(v >= 0 && v <= 1); };
    if (const auto found = findValue<T>(rgb, size, size.channels, outside)) {
        refusePhotoValue(found->position, found->value, style);
    }
}

std::uint8_t byteOfUnit(double v) {
    return static_cast<std::uint8_t>(v * 255.0 + 0.5);
}

template <class T, class ToByte>
void copyPhoto(const HostArray& rgb, PhotoSize size, ToByte toByte, cv::Mat& bgr) {
    bgrFromPixels(static_cast<const T*>(rgb.data), size.rows, size.columns, size.channels,
                  rgb.planeStrides(), toByte, bgr);
}

bool fitsInt32(double id) {
    return id >= std::numeric_limits<std::int32_t>::min() &&
           id <= std::numeric_limits<std::int32_t>::max() && std::trunc(id) == id;
}

// Refuses the first id of kind T that is not a whole number in the int32 range.
template <class T>
void checkIds(const HostArray& regions, PhotoSize size, const HostStyle& style,
              const std::string& name) {
    if constexpr (std::is_floating_point_v<T> || sizeof(T) > 4 ||
                  (sizeof(T) == 4 && std::is_unsigned_v<T>)) {
        const auto bad = [](T id) {
            if constexpr (std::is_floating_point_v<T>) {
                return !fitsInt32(id);
            } else if constexpr (std::is_signed_v<T>) {
                return id < std::numeric_limits<std::int32_t>::min() ||
                       id > std::numeric_limits<std::int32_t>::max();
            } else {
                return id > static_cast<T>(std::numeric_limits<std::int32_t>::max());
            }
        };
        if (const auto found = findValue<T>(regions, size, 1, bad)) {
            refuseRegionValue(found->position, found->value, style, name);
        }
    }
}

template <class T>
cv::Mat_<int> copyIds(const HostArray& regions, PhotoSize size, const HostStyle& style,
                      cv::Mat_<int>& copy, const std::string& name) {
    checkIds<T>(regions, size, style, name);
    bindings::regionsFrom(static_cast<const T*>(regions.data), size.rows, size.columns,
                          regions.planeStrides(), copy);
    return copy;
}

}  // namespace

PhotoSize checkPhoto(const HostArray& rgb, const HostStyle& style) {
    switch (rgb.element) {
        case Element::UInt8:
        case Element::UInt16:
        case Element::Bool:
        case Element::Float32:
        case Element::Float64:
            break;
        default:
            refusePhotoKind(rgb.kindName, style);
    }
    const auto& shape = rgb.shape;
    const bool planes = shape.size() == 3 && shape[2] >= 1 && shape[2] <= 4;
    if (shape.size() != 2 && !planes) refusePhotoShape(shape, style);
    if (shape[0] == 0 || shape[1] == 0) refusePhotoEmpty(shape, style);
    const auto limit = static_cast<std::ptrdiff_t>(kMaxPixelCount);
    if (shape[0] >= limit || shape[1] >= limit || shape[0] * shape[1] >= limit) {
        refusePhotoTooLarge(shape, style);
    }
    return PhotoSize{static_cast<int>(shape[0]), static_cast<int>(shape[1]),
                     planes ? static_cast<int>(shape[2]) : 1};
}

void photoFrom(const HostArray& rgb, PhotoSize size, const HostStyle& style, cv::Mat& bgr) {
    switch (rgb.element) {
        case Element::UInt8:
            return copyPhoto<std::uint8_t>(
                rgb, size, [](std::uint8_t v) { return v; }, bgr);
        case Element::UInt16:
            return copyPhoto<std::uint16_t>(
                rgb, size, [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }, bgr);
        case Element::Bool:
            return copyPhoto<std::uint8_t>(
                rgb, size,
                [](std::uint8_t v) { return static_cast<std::uint8_t>(v != 0 ? 255 : 0); }, bgr);
        case Element::Float32:
            checkUnitRange<float>(rgb, size, style);
            return copyPhoto<float>(
                rgb, size, [](float v) { return byteOfUnit(v); }, bgr);
        case Element::Float64:
            checkUnitRange<double>(rgb, size, style);
            return copyPhoto<double>(rgb, size, byteOfUnit, bgr);
        default:
            refusePhotoKind(rgb.kindName, style);
    }
}

void checkRegions(const HostArray& regions, PhotoSize size, const HostStyle& style) {
    if (regions.element == Element::Other) refuseRegionsKind(regions.kindName, style);
    if (regions.shape.size() != 2 || regions.shape[0] != size.rows ||
        regions.shape[1] != size.columns) {
        refuseRegionsShape({size.rows, size.columns}, regions.shape, style);
    }
}

cv::Mat_<int> regionsFrom(const HostArray& regions, PhotoSize size, const HostStyle& style,
                          cv::Mat_<int>& copy, const std::string& name) {
    const Strides s = regions.planeStrides();
    switch (regions.element) {
        case Element::Int32:
            if (s.column == 1 && s.row >= size.columns) {
                return cv::Mat_<int>(size.rows, size.columns,
                                     const_cast<int*>(static_cast<const int*>(regions.data)),
                                     static_cast<size_t>(s.row) * sizeof(int));
            }
            return copyIds<std::int32_t>(regions, size, style, copy, name);
        case Element::UInt8:
            return copyIds<std::uint8_t>(regions, size, style, copy, name);
        case Element::UInt16:
            return copyIds<std::uint16_t>(regions, size, style, copy, name);
        case Element::UInt32:
            return copyIds<std::uint32_t>(regions, size, style, copy, name);
        case Element::UInt64:
            return copyIds<std::uint64_t>(regions, size, style, copy, name);
        case Element::Int8:
            return copyIds<std::int8_t>(regions, size, style, copy, name);
        case Element::Int16:
            return copyIds<std::int16_t>(regions, size, style, copy, name);
        case Element::Int64:
            return copyIds<std::int64_t>(regions, size, style, copy, name);
        case Element::Bool:
            bindings::regionsFrom(
                static_cast<const std::uint8_t*>(regions.data), size.rows, size.columns, s,
                [](std::uint8_t v) { return v != 0 ? 1 : 0; }, copy);
            return copy;
        case Element::Float32:
            return copyIds<float>(regions, size, style, copy, name);
        case Element::Float64:
            return copyIds<double>(regions, size, style, copy, name);
        default:
            refuseRegionsKind(regions.kindName, style, name);
    }
}

}  // namespace segmora::bindings
