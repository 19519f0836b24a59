#include "disjoint_set_forest.h"

#include <new>

namespace segmora {

DisjointSetForest::DisjointSetForest(int32_t elementCount)
    : setCount(elementCount), count(elementCount) {
    if (elementCount < 0) throw std::bad_array_new_length();
    elementTable.reset(new SetElement[static_cast<size_t>(elementCount)]);
    for (int32_t i = 0; i < elementCount; ++i) elementTable[i] = SetElement{0, i, 1};
}

}  // namespace segmora
