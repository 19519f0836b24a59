#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// Counts of label pairs, kept once per distinct pair: memory follows the number of
// different pairs, however many times each is added. Adds of the pair just added are
// summed before they reach the table, so a border walked pixel by pixel costs little.
class PairCounts {
  public:
    // Room for about `expectedPairs` pairs before the table grows.
    explicit PairCounts(size_t expectedPairs);

    // Adds `n` to the count of the pair {a, b}; a != b, both >= 1.
    void add(int a, int b, int64_t n) {
        const uint64_t key = a < b ? keyOf(a, b) : keyOf(b, a);
        if (key != pendingKey) {
            settlePending();
            pendingKey = key;
        }
        pendingCount += n;
    }

    // The pairs a < b sorted by (a, b) with their counts; labels run from 1 to `labelCount`.
    // The table is spent afterwards.
    void takeSorted(int labelCount, std::vector<int>& first, std::vector<int>& second,
                    std::vector<int64_t>& counts);

  private:
    static uint64_t keyOf(int low, int high) {
        return uint64_t{static_cast<uint32_t>(low)} << 32 | static_cast<uint32_t>(high);
    }
    void settlePending();
    void grow();

    std::vector<uint64_t> keys;  // 0: a free slot (no pair has the key 0)
    std::vector<int64_t> values;
    size_t used = 0;
    uint64_t pendingKey = 0;
    int64_t pendingCount = 0;
};

}  // namespace segmora
