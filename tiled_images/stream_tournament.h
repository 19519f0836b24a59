#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace segmora {

// The next record of many sorted streams, smallest key first: a tournament of losers, in
// which replacing the winner's key costs one comparison a level (a binary heap takes two,
// and moves its entries). Keys are unique pairs of words, compared high word first; a
// stream that has ended holds kEnded, above every key.
class StreamTournament {
  public:
    struct Key {
        uint64_t high, low;
        // Without a branch: the outcomes of a tournament's matches are as good as random.
        bool operator<(const Key& other) const {
            return (high < other.high) | ((high == other.high) & (low < other.low));
        }
    };
    static constexpr Key kEnded{UINT64_MAX, UINT64_MAX};

    // Each stream's first key (kEnded for an empty one).
    explicit StreamTournament(std::vector<Key> firstKeys);

    bool empty() const { return keys[winner()].high == kEnded.high; }
    // The stream whose key is the smallest, and that key.
    size_t winner() const { return loser[0]; }
    const Key& winnerKey() const { return keys[loser[0]]; }
    // The winner's next key (kEnded when it ended); the tournament is played again.
    void replaceWinner(const Key& next);

  private:
    size_t playFrom(size_t node);

    std::vector<Key> keys;        // each stream's current key
    std::vector<uint32_t> loser;  // loser[0]: the winner; loser[n]: the loser at node n
};

}  // namespace segmora
