#include "stream_tournament.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace segmora {
namespace {

using Key = StreamTournament::Key;

// Streams of random sorted keys (some empty, many equal high words) come out as one sorted
// list, for counts that fill the tree's levels and counts that do not.
TEST(StreamTournament, MergesSortedStreamsInKeyOrder) {
    std::mt19937_64 random(7);
    for (const size_t count : {1u, 2u, 3u, 5u, 8u, 13u, 144u}) {
        std::vector<std::vector<Key>> streams(count);
        std::vector<Key> all;
        for (size_t s = 0; s < count; ++s) {
            const size_t length = s % 4 == 1 ? 0 : random() % 50;
            for (size_t i = 0; i < length; ++i) {
                streams[s].push_back(Key{random() % 8, (random() % 1000) << 32 | s});
            }
            std::sort(streams[s].begin(), streams[s].end());
            all.insert(all.end(), streams[s].begin(), streams[s].end());
        }
        std::sort(all.begin(), all.end());
        std::vector<size_t> at(count, 0);
        std::vector<Key> first(count, StreamTournament::kEnded);
        for (size_t s = 0; s < count; ++s) {
            if (!streams[s].empty()) first[s] = streams[s][0];
        }
        StreamTournament tournament(first);
        std::vector<Key> merged;
        while (!tournament.empty()) {
            const size_t s = tournament.winner();
            merged.push_back(tournament.winnerKey());
            ASSERT_EQ(merged.back().low & 0xffffffffu, s);
            const size_t next = ++at[s];
            tournament.replaceWinner(next < streams[s].size() ? streams[s][next]
                                                              : StreamTournament::kEnded);
        }
        ASSERT_EQ(merged.size(), all.size()) << count;
        for (size_t i = 0; i < all.size(); ++i) {
            ASSERT_TRUE(!(merged[i] < all[i]) && !(all[i] < merged[i])) << count << " " << i;
        }
    }
    EXPECT_TRUE(StreamTournament({}).empty());
}

}  // namespace
}  // namespace segmora
