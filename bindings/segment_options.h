// The knobs of a call, as a host hands them over (numbers, or nothing for the default),
// checked with the same rules and messages for every host.
#pragma once

#include <optional>

#include "host_array.h"
#include "segmora/segmora.h"

namespace segmora::bindings {

struct KnobValues {
    std::optional<double> threshold;
    std::optional<double> sigma;
    std::optional<double> capDivisor;  // nothing: the photo default, photoCapDivisor()
    std::optional<double> minSize;
    std::optional<double> bitDepth = std::nullopt;  // bits of uint16 samples; nothing: 16
    std::optional<double> count = std::nullopt;  // nothing: as many as the knobs give
};

// The engine's parameters for the knobs; throws ArgumentError naming a knob out of range.
Parameters parametersFrom(const KnobValues& knobs, const HostStyle& style);

// The significant bits of uint16 samples, 8 to 16 (16 when not given); throws
// ArgumentError otherwise.
int sampleBitsFrom(const KnobValues& knobs, const HostStyle& style);

// A thread count from 0 to 64; throws ArgumentError otherwise.
int threadsFrom(double value, const HostStyle& style);

}  // namespace segmora::bindings
