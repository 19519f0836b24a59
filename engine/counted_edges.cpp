#include "counted_edges.h"

#include <algorithm>

#include "grid_edges.h"
#include "edge_weights.h"
#include "parallel.h"
#include "weight_ids.h"

namespace segmora {

namespace {

// Counts the weights of the rows [firstRow, endRow); false when too many are distinct.
bool countBlock(const PixelChannels& channels, int32_t width, int32_t height, int64_t firstRow,
                int64_t endRow, uint16_t* ids, WeightIds& table) {
    std::vector<float> weights(static_cast<size_t>(width) * 4);
    for (int64_t y = firstRow; y < endRow; ++y) {
        const RowEdges row(width, height, y);
        rowEdgeWeights(channels, row, weights.data());
        uint16_t* out = ids + edgesBeforeRow(width, height, y);
        const int64_t n = row.count();
        for (int64_t i = 0; i < n; ++i) {
            const uint32_t id = table.count(weightBits(weights[i]));
            if (id == WeightIds::kFull) return false;
            out[i] = static_cast<uint16_t>(id);
        }
    }
    return true;
}

// Where the edges of each (weight, block) go: weights ascending, blocks in
// order, so that equal weights keep construction order. Fills counted.next
// and counted.runs.
void planPlaces(const std::vector<WeightIds>& tables, CountedEdges& counted) {
    std::vector<uint32_t> distinct;
    for (const WeightIds& table : tables) {
        distinct.insert(distinct.end(), table.weights().begin(), table.weights().end());
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const size_t blocks = tables.size();
    std::vector<std::vector<uint32_t>> countByRank(blocks, std::vector<uint32_t>(distinct.size()));
    std::vector<std::vector<uint32_t>> rankOf(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        const std::vector<uint32_t>& weights = tables[b].weights();
        for (size_t id = 0; id < weights.size(); ++id) {
            const auto rank = static_cast<uint32_t>(
                std::lower_bound(distinct.begin(), distinct.end(), weights[id]) - distinct.begin());
            rankOf[b].push_back(rank);
            countByRank[b][rank] = tables[b].edgeCounts()[id];
        }
    }
    uint32_t place = 0;
    counted.runs.clear();
    for (size_t rank = 0; rank < distinct.size(); ++rank) {
        for (size_t b = 0; b < blocks; ++b) {
            const uint32_t n = countByRank[b][rank];
            countByRank[b][rank] = place;
            place += n;
        }
        counted.runs.push_back(WeightRun{weightOfBits(distinct[rank]), place});
    }
    counted.next.assign(blocks, std::vector<uint32_t>());
    for (size_t b = 0; b < blocks; ++b) {
        for (const uint32_t rank : rankOf[b]) counted.next[b].push_back(countByRank[b][rank]);
    }
}

}  // namespace

bool countEdges(const PixelChannels& channels, int32_t width, int32_t height, int threads,
                uint16_t* ids, CountedEdges& counted) {
    const int blocks =
        std::min<int>(partsForItems(edgeCountFor(width, height), threads), std::max(height, 1));
    counted.width = width;
    counted.height = height;
    counted.firstRows.resize(static_cast<size_t>(blocks) + 1);
    for (int b = 0; b <= blocks; ++b) counted.firstRows[b] = int64_t{height} * b / blocks;
    std::vector<WeightIds> tables(static_cast<size_t>(blocks));
    std::vector<char> complete(static_cast<size_t>(blocks), 0);
    runInParts(blocks, blocks, [&](int b, int64_t, int64_t) {
        complete[b] = countBlock(channels, width, height, counted.firstRows[b],
                                 counted.firstRows[b + 1], ids, tables[b]);
    });
    if (std::count(complete.begin(), complete.end(), 0) != 0) return false;
    planPlaces(tables, counted);
    return true;
}

void placeCountedEdges(const uint16_t* ids, CountedEdges& counted, uint32_t* sorted) {
    const int32_t width = counted.width, height = counted.height;
    const int blocks = static_cast<int>(counted.next.size());
    runInParts(blocks, blocks, [&](int b, int64_t, int64_t) {
        uint32_t* next = counted.next[b].data();
        for (int64_t y = counted.firstRows[b]; y < counted.firstRows[b + 1]; ++y) {
            const RowEdges row(width, height, y);
            visitInConstructionOrder(
                row, ids + edgesBeforeRow(width, height, y),
                [&](uint16_t id, uint32_t edge) { sorted[next[id]++] = edge; });
        }
    });
}

}  // namespace segmora
