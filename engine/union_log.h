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
// (`mergeUnions` of them), then the clean-up's. Filled only when a caller asks
// for it; the plain run records nothing.
struct UnionLog {
    std::vector<RecordedUnion> unions;
    int64_t mergeUnions = 0;
};

}  // namespace segmora
