#include "weight_ids.h"

#include <algorithm>

namespace segmora {

uint32_t WeightIds::countFurther(uint32_t bits) {
    for (size_t slot = home(bits); slot < slots.size(); ++slot) {
        if (slots[slot].bits == bits) {
            ++counts[slots[slot].id];
            return slots[slot].id;
        }
        if (slots[slot].bits != kEmpty) continue;
        if (byId.size() == kMaxIds) return kFull;
        const auto id = static_cast<uint32_t>(byId.size());
        byId.push_back(bits);
        counts.push_back(1);
        slots[slot] = Slot{bits, id};
        if (byId.size() * 3 > slots.size()) resize(shiftBits + 1);
        return id;
    }
    resize(shiftBits + 1);  // ran off the end: rare, and gone in a larger table
    return countFurther(bits);
}

void WeightIds::clear() {
    byId.clear();
    counts.clear();
    if (shiftBits > kMostKeptBits) {
        resize(kFirstBits);
    } else {
        std::fill(slots.begin(), slots.end(), Slot{kEmpty, 0});
    }
}

void WeightIds::resize(int bits) {
    shiftBits = bits;
    shift = 32 - bits;
    slots.assign((size_t{1} << bits) + kOverrun, Slot{kEmpty, 0});
    for (uint32_t id = 0; id < byId.size(); ++id) {
        size_t slot = home(byId[id]);
        while (slot < slots.size() && slots[slot].bits != kEmpty) ++slot;
        if (slot == slots.size()) return resize(bits + 1);
        slots[slot] = Slot{byId[id], id};
    }
}

}  // namespace segmora
