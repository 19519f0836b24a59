// A host language's array as the shared argument code sees it, and the host's conventions
// for naming kinds, shapes, elements and knobs in messages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pixel_layout.h"

namespace segmora::bindings {

// The element kinds the bindings tell apart; every other kind is Other.
enum class Element {
    UInt8,
    UInt16,
    UInt32,
    UInt64,
    Int8,
    Int16,
    Int32,
    Int64,
    Bool,
    Float32,
    Float64,
    Other
};

// An array borrowed from the host: its elements stay the host's while it is read.
struct HostArray {
    const void* data = nullptr;
    Element element = Element::Other;
    std::string kindName;                 // the host's name of the element kind, e.g. "int64"
    std::vector<std::ptrdiff_t> shape;    // rows, columns, channels...
    std::vector<std::ptrdiff_t> strides;  // in elements, one per dimension
    // The strides of the first three dimensions (0 for those the array lacks).
    Strides planeStrides() const;
};

// The knobs a host can set, in the order of HostStyle::knobNames.
enum class Knob { Threshold, Sigma, CapDivisor, MinSize, Threads, BitDepth, Count };

// How a host writes what its users see in messages.
struct HostStyle {
    bool zeroBased;           // element positions from 0 (Python) or 1 (Octave)
    const char* openIndex;    // "[" or "("
    const char* closeIndex;   // "]" or ")"
    bool shapeAsTuple;        // "(300, 451)" (Python) or "300x451" (Octave)
    const char* photoShapes;  // the accepted photo shapes, in the host's words
    const char* boolName;
    const char* float32Name;
    const char* float64Name;
    const char* knobNames[7];  // indexed by Knob
};

// `shape` as the host writes it: "(300, 451)" or "300x451".
std::string shapeText(const std::vector<std::ptrdiff_t>& shape, const HostStyle& style);
// Element (y, x) or (y, x, c) as the host writes its position: "[2, 1, 0]" or "(3, 2, 1)".
std::string positionText(std::vector<std::ptrdiff_t> position, const HostStyle& style);
// The name of `knob` in the host's words.
const char* knobName(Knob knob, const HostStyle& style);

}  // namespace segmora::bindings
