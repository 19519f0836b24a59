#include "stream_tournament.h"

#include <stdexcept>
#include <utility>

namespace segmora {

// Streams are the leaves count .. 2 * count - 1 of a complete binary tree stored from 1;
// node n's children are 2n and 2n + 1.
StreamTournament::StreamTournament(std::vector<Key> firstKeys)
    : keys(std::move(firstKeys)), loser(keys.size() + (keys.empty() ? 1 : 0)) {
    if (keys.size() >= (uint64_t{1} << 31)) {
        throw std::invalid_argument("a tournament of 2^31 streams or more");
    }
    if (keys.empty()) keys.push_back(kEnded);
    loser[0] = static_cast<uint32_t>(playFrom(1));
}

// The winner of the subtree at `node`, noting the loser of every match on the way.
size_t StreamTournament::playFrom(size_t node) {
    const size_t count = keys.size();
    if (node >= count) return node - count;
    const size_t left = playFrom(2 * node), right = playFrom(2 * node + 1);
    const bool rightWins = keys[right] < keys[left];
    loser[node] = static_cast<uint32_t>(rightWins ? left : right);
    return rightWins ? right : left;
}

void StreamTournament::replaceWinner(const Key& next) {
    uint32_t champion = loser[0];
    keys[champion] = next;
    Key best = next;
    // Selects rather than branches on who wins a match.
    for (size_t node = (champion + keys.size()) / 2; node > 0; node /= 2) {
        const uint32_t other = loser[node];
        const Key key = keys[other];
        const bool otherWins = key < best;
        loser[node] = otherWins ? champion : other;
        champion = otherWins ? other : champion;
        best.high = otherWins ? key.high : best.high;
        best.low = otherWins ? key.low : best.low;
    }
    loser[0] = champion;
}

}  // namespace segmora
