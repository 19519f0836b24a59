#include "host_photo.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>

#include "argument_errors.h"
#include "photo_pixels.h"
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
    const auto outside = [](T v) { return !isUnitValue(v); };
    if (const auto found = findValue<T>(rgb, size, size.channels, outside)) {
        refusePhotoValue(found->position, found->value, style);
    }
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

// The ids an array may hold and how one outside them is refused: region ids are any int32,
// labels 0 .. 2^31 - 1. `name`: the array as messages of region ids name it.
struct IdRule {
    std::int64_t lowest;
    bool labels;
    std::string name;
};
IdRule regionIds(const std::string& name) {
    return IdRule{std::numeric_limits<std::int32_t>::min(), false, name};
}
const IdRule kLabels{0, true, "labels"};
// Labels as they are read: any int32 (negative ones are found afterwards, from the minimum).
const IdRule kLabelsRead{std::numeric_limits<std::int32_t>::min(), true, "labels"};

[[noreturn]] void refuseKind(const IdRule& rule, const std::string& kind, const HostStyle& style) {
    if (rule.labels) refuseLabelsKind(kind, style);
    refuseRegionsKind(kind, style, rule.name);
}

[[noreturn]] void refuseValue(const IdRule& rule, const std::vector<std::ptrdiff_t>& position,
                              const std::string& value, const HostStyle& style) {
    if (rule.labels) refuseLabelValue(position, value, style);
    refuseRegionValue(position, value, style, rule.name);
}

// Whether every value of T is an id by `rule`.
template <class T>
bool allIds(const IdRule& rule) {
    if constexpr (std::is_integral_v<T>) {
        const bool lowFits =
            static_cast<std::int64_t>(std::numeric_limits<T>::min()) >= rule.lowest;
        const bool highFits = static_cast<std::uint64_t>(std::numeric_limits<T>::max()) <=
                              static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
        return lowFits && highFits;
    }
    return false;
}

// Whether `id` is not a whole number from rule.lowest to 2^31 - 1.
template <class T>
bool badId(T id, const IdRule& rule) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    if constexpr (std::is_floating_point_v<T>) {
        return !fitsInt32(id) || id < rule.lowest;
    } else if constexpr (std::is_signed_v<T>) {
        return static_cast<std::int64_t>(id) < rule.lowest ||
               static_cast<std::int64_t>(id) > kLargest;
    } else {
        return id > static_cast<T>(kLargest);
    }
}

// Refuses the first id of kind T (in visiting order) that `rule` does not take.
template <class T>
void checkIds(const HostArray& ids, PhotoSize size, const HostStyle& style, const IdRule& rule) {
    if (allIds<T>(rule)) return;
    const auto bad = [&](T id) { return badId(id, rule); };
    if (const auto found = findValue<T>(ids, size, 1, bad)) {
        refuseValue(rule, found->position, found->value, style);
    }
}

// Copies the ids in one pass, noting whether any is bad; only then are they searched again
// for the first bad one, to name it.
template <class T>
cv::Mat_<int> copyIds(const HostArray& ids, PhotoSize size, const HostStyle& style,
                      const IdRule& rule, cv::Mat_<int>& copy) {
    const T* data = static_cast<const T*>(ids.data);
    if (allIds<T>(rule)) {
        bindings::regionsFrom(data, size.rows, size.columns, ids.planeStrides(), copy);
        return copy;
    }
    bool anyBad = false;
    bindings::regionsFrom(
        data, size.rows, size.columns, ids.planeStrides(),
        [&](T id) {
            const bool bad = badId(id, rule);
            anyBad = anyBad || bad;
            return bad ? 0 : static_cast<int>(id);
        },
        copy);
    if (anyBad) checkIds<T>(ids, size, style, rule);
    return copy;
}

// The ids as a row-major int matrix: a view of the host's array when it already is one,
// else `copy` filled with them.
cv::Mat_<int> idsFrom(const HostArray& ids, PhotoSize size, const HostStyle& style,
                      const IdRule& rule, cv::Mat_<int>& copy) {
    const Strides s = ids.planeStrides();
    switch (ids.element) {
        case Element::Int32:
            if (s.column == 1 && s.row >= size.columns) {
                checkIds<std::int32_t>(ids, size, style, rule);
                return cv::Mat_<int>(size.rows, size.columns,
                                     const_cast<int*>(static_cast<const int*>(ids.data)),
                                     static_cast<size_t>(s.row) * sizeof(int));
            }
            return copyIds<std::int32_t>(ids, size, style, rule, copy);
        case Element::UInt8:
            return copyIds<std::uint8_t>(ids, size, style, rule, copy);
        case Element::UInt16:
            return copyIds<std::uint16_t>(ids, size, style, rule, copy);
        case Element::UInt32:
            return copyIds<std::uint32_t>(ids, size, style, rule, copy);
        case Element::UInt64:
            return copyIds<std::uint64_t>(ids, size, style, rule, copy);
        case Element::Int8:
            return copyIds<std::int8_t>(ids, size, style, rule, copy);
        case Element::Int16:
            return copyIds<std::int16_t>(ids, size, style, rule, copy);
        case Element::Int64:
            return copyIds<std::int64_t>(ids, size, style, rule, copy);
        case Element::Bool:
            bindings::regionsFrom(
                static_cast<const std::uint8_t*>(ids.data), size.rows, size.columns, s,
                [](std::uint8_t v) { return v != 0 ? 1 : 0; }, copy);
            return copy;
        case Element::Float32:
            return copyIds<float>(ids, size, style, rule, copy);
        case Element::Float64:
            return copyIds<double>(ids, size, style, rule, copy);
        default:
            refuseKind(rule, ids.kindName, style);
    }
}

}  // namespace

PhotoSize checkPhoto(const HostArray& rgb, const HostStyle& style, bool emptyTaken) {
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
    if ((shape[0] == 0 || shape[1] == 0) && !emptyTaken) refusePhotoEmpty(shape, style);
    const auto limit = static_cast<std::ptrdiff_t>(kMaxPixelCount);
    if (shape[0] >= limit || shape[1] >= limit || shape[0] * shape[1] >= limit) {
        refusePhotoTooLarge(shape, style);
    }
    return PhotoSize{static_cast<int>(shape[0]), static_cast<int>(shape[1]),
                     planes ? static_cast<int>(shape[2]) : 1};
}

void photoFrom(const HostArray& rgb, PhotoSize size, const HostStyle& style, cv::Mat& bgr,
               int sampleBits) {
    const auto rules = [](auto v) { return byteOf(v); };
    switch (rgb.element) {
        case Element::UInt8:
            return copyPhoto<std::uint8_t>(rgb, size, rules, bgr);
        case Element::UInt16:
            if (sampleBits < 16) {
                return copyPhoto<std::uint16_t>(
                    rgb, size, [=](std::uint16_t v) { return byteOfSample(v, sampleBits); }, bgr);
            }
            return copyPhoto<std::uint16_t>(rgb, size, rules, bgr);
        case Element::Bool:
            return copyPhoto<std::uint8_t>(
                rgb, size,
                [](std::uint8_t v) { return static_cast<std::uint8_t>(v != 0 ? 255 : 0); }, bgr);
        case Element::Float32:
            checkUnitRange<float>(rgb, size, style);
            return copyPhoto<float>(rgb, size, rules, bgr);
        case Element::Float64:
            checkUnitRange<double>(rgb, size, style);
            return copyPhoto<double>(rgb, size, rules, bgr);
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
    return idsFrom(regions, size, style, regionIds(name), copy);
}

PhotoSize checkLabels(const HostArray& labels, const HostStyle& style) {
    if (labels.element == Element::Other) refuseLabelsKind(labels.kindName, style);
    const auto& shape = labels.shape;
    if (shape.size() != 2) refuseLabelsShape(shape, style);
    const auto limit = static_cast<std::ptrdiff_t>(kMaxPixelCount);
    if (shape[0] >= limit || shape[1] >= limit || shape[0] * shape[1] >= limit) {
        refusePhotoTooLarge(shape, style, "labels");
    }
    return PhotoSize{static_cast<int>(shape[0]), static_cast<int>(shape[1]), 1};
}

PhotoSize checkPhotoFor(const HostArray& rgb, PhotoSize labels, const HostStyle& style) {
    const PhotoSize photo = checkPhoto(rgb, style, true);
    if (photo.rows != labels.rows || photo.columns != labels.columns) {
        refusePhotoSize({labels.rows, labels.columns}, rgb.shape, style);
    }
    return photo;
}

Segmentation labelsFrom(const HostArray& labels, PhotoSize size, const HostStyle& style,
                        cv::Mat_<int>& copy) {
    Segmentation s{idsFrom(labels, size, style, kLabelsRead, copy), 0};
    if (s.labels.empty()) return s;
    double lowest = 0, largest = 0;
    cv::minMaxIdx(s.labels, &lowest, &largest);
    if (lowest < 0) {  // name the first negative label, where the host would find it
        HostArray read = labels;
        read.element = Element::Int32;
        read.data = s.labels.ptr<int>();
        read.strides = {static_cast<std::ptrdiff_t>(s.labels.step1()), 1};
        checkIds<std::int32_t>(read, size, style, kLabels);
    }
    s.count = static_cast<int>(largest);
    return s;
}

}  // namespace segmora::bindings
