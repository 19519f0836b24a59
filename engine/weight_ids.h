#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// Numbers the distinct weights of one block of edges 0, 1, 2, ... in the order
// they are first met: an open-addressing table from weight bits to ids that
// starts at a few kilobytes and doubles as it fills, so that with the few
// thousand distinct weights of a photo it stays in the first or second level
// cache. It refuses more than kMaxIds weights (ids fit 16 bits).
class WeightIds {
  public:
    static constexpr uint32_t kMaxIds = 0xffff;
    static constexpr uint32_t kFull = 0xffffffffu;

    WeightIds() { resize(12); }

    // Counts one more edge of weight `bits` (as weightBits gives them) and returns
    // the weight's id, a new one if unseen; kFull when that would be one id too
    // many.
    uint32_t count(uint32_t bits) {
        size_t slot = home(bits);
        while (true) {
            const Slot found = slots[slot];
            if (found.bits == bits) {
                ++counts[found.id];
                return found.id;
            }
            if (found.bits == kEmpty) return add(bits, slot);
            slot = (slot + 1) & mask;
        }
    }

    // Weight bits and edge counts by id.
    const std::vector<uint32_t>& weights() const { return byId; }
    const std::vector<uint32_t>& edgeCounts() const { return counts; }

  private:
    // A negative NaN pattern, which weightBits never gives.
    static constexpr uint32_t kEmpty = 0xffffffffu;

    struct Slot {
        uint32_t bits;
        uint32_t id;
    };

    size_t home(uint32_t bits) const { return (bits * 2654435761u) >> shift; }

    uint32_t add(uint32_t bits, size_t slot) {
        if (byId.size() == kMaxIds) return kFull;
        const uint32_t id = static_cast<uint32_t>(byId.size());
        byId.push_back(bits);
        counts.push_back(1);
        slots[slot] = Slot{bits, id};
        if (byId.size() * 2 > slots.size()) resize(shiftBits + 1);
        return id;
    }

    void resize(int bits) {
        shiftBits = bits;
        shift = 32 - bits;
        slots.assign(size_t{1} << bits, Slot{kEmpty, 0});
        mask = slots.size() - 1;
        for (uint32_t id = 0; id < byId.size(); ++id) {
            size_t slot = home(byId[id]);
            while (slots[slot].bits != kEmpty) slot = (slot + 1) & mask;
            slots[slot] = Slot{byId[id], id};
        }
    }

    std::vector<Slot> slots;
    std::vector<uint32_t> byId;
    std::vector<uint32_t> counts;
    size_t mask = 0;
    int shiftBits = 0;
    int shift = 0;
};

}  // namespace segmora
