#include "label_maps.h"

#include <cmath>
#include <limits>

#include "argument_errors.h"
#include "segmora/segmora.h"

namespace segmora::bindings {

PhotoSize checkLabelMap(const HostArray& map, const std::string& name, const PhotoSize* like,
                        const HostStyle& style) {
    if (map.element == Element::Other) refuseRegionsKind(map.kindName, style, name);
    if (like == nullptr) {
        if (map.shape.size() != 2) refuseLabelMapShape(name, map.shape, {}, style);
        const auto limit = static_cast<std::ptrdiff_t>(kMaxPixelCount);
        if (map.shape[0] >= limit || map.shape[1] >= limit ||
            map.shape[0] * map.shape[1] >= limit) {
            refusePhotoTooLarge(map.shape, style, name);
        }
        return PhotoSize{static_cast<int>(map.shape[0]), static_cast<int>(map.shape[1]), 1};
    }
    if (map.shape.size() != 2 || map.shape[0] != like->rows || map.shape[1] != like->columns) {
        refuseLabelMapShape(name, map.shape, {like->rows, like->columns}, style);
    }
    return *like;
}

cv::Mat_<int> labelMapFrom(const HostArray& map, PhotoSize size, const std::string& name,
                           const HostStyle& style, cv::Mat_<int>& copy) {
    return regionsFrom(map, size, style, copy, name);
}

int toleranceFrom(double value) {
    if (!(value >= 0 && value <= std::numeric_limits<int>::max()) || std::trunc(value) != value) {
        refuseTolerance(value);
    }
    return static_cast<int>(value);
}

}  // namespace segmora::bindings
