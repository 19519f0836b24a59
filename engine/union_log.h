#pragma once

#include <cstdint>
#include <vector>

namespace segmora {

// One union of the one-pass run: the edge it was made across, named by its key
// (the weight and the edge number in the whole photo, pixel * 4 + direction),
// which is all a hierarchy needs and what any engine that makes the same
// unions can give.
struct RecordedUnion {
    uint32_t edge;
    float weight;
};

// Every union of a run in the order it was made: the merge's first
// (`mergeUnions` of them), then the clean-up's, and for each whether both sets it
// joined held at least `minSize` pixels. Filled only when a caller asks for it; the
// plain run records nothing.
struct UnionLog {
    int32_t minSize = 0;
    std::vector<RecordedUnion> unions;
    std::vector<bool> bothLarge;
    int64_t mergeUnions = 0;

    UnionLog() = default;
    // A log for a run with this minimum size, with room for `pixels` pixels' unions.
    UnionLog(int32_t minimumSize, int32_t pixels) : minSize(minimumSize) { reserve(pixels); }

    // Room for the unions of `pixels` pixels (at most one fewer): pages are only touched
    // as the log fills, and it never moves.
    void reserve(int32_t pixels) {
        unions.reserve(static_cast<size_t>(pixels));
        bothLarge.reserve(static_cast<size_t>(pixels));
    }

    void add(uint32_t edge, float weight, int32_t sizeA, int32_t sizeB) {
        unions.push_back({edge, weight});
        bothLarge.push_back(sizeA >= minSize && sizeB >= minSize);
    }
};

}  // namespace segmora
