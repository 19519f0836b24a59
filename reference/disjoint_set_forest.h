#pragma once

#include <cstdint>
#include <memory>

namespace segmora {

struct SetElement {
    int32_t rank;
    int32_t parent;
    int32_t size;
};

// Union-by-rank forest over the elements 0 .. n-1, one per pixel.
class DisjointSetForest {
  public:
    explicit DisjointSetForest(int32_t elementCount);

    // Root of x's set; re-points x (and only x) straight to it.
    int32_t findRoot(int32_t x) {
        int32_t r = x;
        while (elementTable[r].parent != r) r = elementTable[r].parent;
        elementTable[x].parent = r;
        return r;
    }

    // Merges the sets of the distinct roots x and y. The root of higher rank
    // survives; on equal rank y survives and its rank grows.
    void uniteRoots(int32_t x, int32_t y) {
        SetElement& ex = elementTable[x];
        SetElement& ey = elementTable[y];
        if (ex.rank > ey.rank) {
            ey.parent = x;
            ex.size += ey.size;
        } else {
            ex.parent = y;
            ey.size += ex.size;
            if (ex.rank == ey.rank) ++ey.rank;
        }
        --setCount;
    }

    int32_t sizeOf(int32_t x) const { return elementTable[x].size; }
    const SetElement& element(int32_t x) const { return elementTable[x]; }
    SetElement& element(int32_t x) { return elementTable[x]; }
    int32_t elementCount() const { return count; }

    int32_t setCount;

  private:
    std::unique_ptr<SetElement[]> elementTable;
    int32_t count;
};

}  // namespace segmora
