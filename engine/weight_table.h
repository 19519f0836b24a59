#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// Open-addressing table from a weight's bit pattern to a number (a count or
// a rank). Photos have few distinct edge weights (thousands), so the table
// stays in cache; it refuses to hold more than kMaxDistinct.
class WeightTable {
  public:
    static constexpr int kCapacityBits = 17;
    static constexpr size_t kMaxDistinct = size_t{1} << (kCapacityBits - 1);

    WeightTable() : bits(size_t{1} << kCapacityBits, kEmpty), values(bits.size(), 0) {}

    // Slot of `weight`, claimed if new; false when the table is full.
    bool slotOf(uint32_t weight, size_t& slot) {
        slot = probe(weight);
        if (bits[slot] == kEmpty) {
            if (distinct == kMaxDistinct) return false;
            bits[slot] = weight;
            ++distinct;
        }
        return true;
    }
    int64_t& value(size_t slot) { return values[slot]; }
    int64_t valueOf(uint32_t weight) const { return values[probe(weight)]; }

    template <class Visit>
    void forEach(Visit visit) const {
        for (size_t slot = 0; slot < bits.size(); ++slot) {
            if (bits[slot] != kEmpty) visit(bits[slot], values[slot]);
        }
    }

  private:
    // A NaN pattern that edge keys never carry (their NaNs are canonical).
    static constexpr uint32_t kEmpty = 0xffffffffu;

    size_t probe(uint32_t weight) const {
        const size_t mask = bits.size() - 1;
        size_t slot = (weight * 2654435761u) >> (32 - kCapacityBits);
        while (bits[slot] != kEmpty && bits[slot] != weight) slot = (slot + 1) & mask;
        return slot;
    }

    std::vector<uint32_t> bits;
    std::vector<int64_t> values;
    size_t distinct = 0;
};

}  // namespace segmora
