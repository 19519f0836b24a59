#include "host_array.h"

namespace segmora::bindings {

Strides HostArray::planeStrides() const {
    const auto stride = [&](std::size_t d) { return d < strides.size() ? strides[d] : 0; };
    return Strides{stride(0), stride(1), stride(2)};
}

std::string shapeText(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style) {
    std::string text = style.shapeAsTuple ? "(" : "";
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (d > 0) text += style.shapeAsTuple ? ", " : "x";
        text += std::to_string(shape[d]);
    }
    if (style.shapeAsTuple) text += shape.size() == 1 ? ",)" : ")";
    return text;
}

std::string positionText(std::vector<std::ptrdiff_t> position, const HostStyle& style) {
    std::string text = style.openIndex;
    for (std::size_t d = 0; d < position.size(); ++d) {
        if (d > 0) text += ", ";
        text += std::to_string(position[d] + (style.zeroBased ? 0 : 1));
    }
    return text + style.closeIndex;
}

const char* knobName(Knob knob, const HostStyle& style) {
    return style.knobNames[static_cast<int>(knob)];
}

}  // namespace segmora::bindings
