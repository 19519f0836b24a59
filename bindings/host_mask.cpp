#include "host_mask.h"

#include "argument_errors.h"

namespace segmora::bindings {

void checkMask(const HostArray& mask, PhotoSize size, const HostStyle& style) {
    if (mask.element == Element::Other) refuseRegionsKind(mask.kindName, style, "mask");
    if (mask.shape.size() != 2 || mask.shape[0] != size.rows || mask.shape[1] != size.columns) {
        throw ArgumentError(Problem::RegionsShape,
                            "mask must have shape " + shapeText({size.rows, size.columns}, style) +
                                " like rgb, not " + shapeText(mask.shape, style));
    }
}

cv::Mat_<std::uint8_t> maskFrom(const HostArray& mask, PhotoSize size, const HostStyle& style) {
    cv::Mat_<int> copy;
    const cv::Mat_<int> values = regionsFrom(mask, size, style, copy, "mask");
    cv::Mat_<std::uint8_t> inside(size.rows, size.columns);
    for (int y = 0; y < size.rows; ++y) {
        for (int x = 0; x < size.columns; ++x) {
            const int value = values(y, x);
            if (value != 0 && value != 1) {
                throw ArgumentError(Problem::RegionValue, "mask" + positionText({y, x}, style) +
                                                              " = " + std::to_string(value) +
                                                              " is not 0 or 1 (nor " +
                                                              style.boolName + ")");
            }
            inside(y, x) = static_cast<std::uint8_t>(value);
        }
    }
    return inside;
}

}  // namespace segmora::bindings
