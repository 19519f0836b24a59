#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// Numbers the distinct weights of one block of edges 0, 1, 2, ... in the order
// they are first met, and counts the edges of each. An open-addressing table
// from weight bits to ids that starts at a few kilobytes and doubles as it
// fills, so that with the few thousand distinct weights of a photo it stays
// in the first or second level cache; a weight is nearly always in one of the
// first two slots it may take, which are read together without a branch. It
// refuses more than kMaxIds weights (ids fit 16 bits).
class WeightIds {
  public:
    static constexpr uint32_t kMaxIds = 0xffff;
    static constexpr uint32_t kFull = 0xffffffffu;

    WeightIds() { resize(kFirstBits); }

    // Forgets every weight and count. The table keeps its size unless it grew far beyond
    // its first: a table used again for a photo of the same kind then needs no growing.
    void clear();

    // Counts one more edge of weight `bits` (as weightBits gives them) and returns
    // the weight's id, a new one if unseen; kFull when that would be one id too
    // many.
    uint32_t count(uint32_t bits) {
        const Slot* at = &slots[home(bits)];
        const uint32_t id = at[0].bits == bits ? at[0].id : at[1].id;
        if ((at[0].bits != bits) & (at[1].bits != bits)) return countFurther(bits);
        ++counts[id];
        return id;
    }

    // Weight bits and edge counts by id.
    const std::vector<uint32_t>& weights() const { return byId; }
    const std::vector<uint32_t>& edgeCounts() const { return counts; }

  private:
    static constexpr int kFirstBits = 12;
    static constexpr int kMostKeptBits = 16;
    // A negative NaN pattern, which weightBits never gives.
    static constexpr uint32_t kEmpty = 0xffffffffu;
    // Slots past the last home slot: probes run forward and never wrap.
    static constexpr size_t kOverrun = 64;

    struct Slot {
        uint32_t bits;
        uint32_t id;
    };

    size_t home(uint32_t bits) const { return (bits * 2654435761u) >> shift; }

    // The slow way: probing on, adding a new weight, growing the table.
    uint32_t countFurther(uint32_t bits);
    void resize(int bits);

    std::vector<Slot> slots;
    std::vector<uint32_t> byId;
    std::vector<uint32_t> counts;
    int shiftBits = 0;
    int shift = 0;
};

}  // namespace segmora
