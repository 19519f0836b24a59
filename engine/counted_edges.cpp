#include "counted_edges.h"

#include <algorithm>
#include <functional>
#include <utility>

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

// A weight of one block's table: its bits, block and id.
struct TableEntry {
    uint32_t bits;
    uint32_t block;
    uint32_t id;
};

// Every table's weights by ascending bits, equal bits in block order: a stable radix sort,
// 11 bits a pass, passes over digits that all entries share skipped.
std::vector<TableEntry> entriesByWeight(const WeightIds* tables, size_t blocks) {
    constexpr int kDigitBits = 11;
    constexpr uint32_t kDigits = 1u << kDigitBits;
    std::vector<TableEntry> entries, spare;
    for (size_t b = 0; b < blocks; ++b) {
        const std::vector<uint32_t>& weights = tables[b].weights();
        for (size_t id = 0; id < weights.size(); ++id) {
            entries.push_back(
                TableEntry{weights[id], static_cast<uint32_t>(b), static_cast<uint32_t>(id)});
        }
    }
    spare.resize(entries.size());
    std::vector<uint32_t> starts(kDigits);
    for (int shift = 0; shift < 32; shift += kDigitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const TableEntry& e : entries) ++starts[(e.bits >> shift) & (kDigits - 1)];
        if (!entries.empty() &&
            starts[(entries[0].bits >> shift) & (kDigits - 1)] == entries.size())
            continue;  // one digit for all
        uint32_t place = 0;
        for (uint32_t& start : starts) place += std::exchange(start, place);
        for (const TableEntry& e : entries) spare[starts[(e.bits >> shift) & (kDigits - 1)]++] = e;
        entries.swap(spare);
    }
    return entries;
}

// Where the edges of each (weight, block) go: weights ascending, blocks in
// order, so that equal weights keep construction order. Fills counted.next
// and counted.runs.
void planPlaces(const WeightIds* tables, size_t blocks, CountedEdges& counted) {
    counted.next.assign(blocks, std::vector<uint32_t>());
    for (size_t b = 0; b < blocks; ++b) counted.next[b].resize(tables[b].weights().size());
    counted.runs.clear();
    const std::vector<TableEntry> entries = entriesByWeight(tables, blocks);
    uint32_t place = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TableEntry& e = entries[i];
        counted.next[e.block][e.id] = place;
        place += tables[e.block].edgeCounts()[e.id];
        if (i + 1 == entries.size() || entries[i + 1].bits != e.bits)
            counted.runs.push_back(WeightRun{weightOfBits(e.bits), place});
    }
}

// work(b) for every block, the blocks split in consecutive runs between the threads.
void forEachBlock(int threads, int blocks, const std::function<void(int64_t block)>& work) {
    runInParts(threads, blocks, [&](int, int64_t first, int64_t end) {
        for (int64_t b = first; b < end; ++b) work(b);
    });
}

}  // namespace

bool countEdges(const PixelChannels& channels, int32_t width, int32_t height, int threads,
                uint16_t* ids, CountedEdges& counted, std::vector<WeightIds>& tables,
                int64_t mostBlockEdges) {
    const int64_t edges = edgeCountFor(width, height);
    const int parts = partsForItems(edges, threads);
    const int64_t perPart = (edges + parts - 1) / parts;
    const int64_t most = std::max<int64_t>(mostBlockEdges, 1);
    const int64_t blocksPerPart = (perPart + most - 1) / most;
    const int blocks =
        static_cast<int>(std::clamp<int64_t>(parts * blocksPerPart, 1, std::max(height, 1)));
    counted.threads = std::min(parts, blocks);
    counted.width = width;
    counted.height = height;
    counted.firstRows.resize(static_cast<size_t>(blocks) + 1);
    for (int b = 0; b <= blocks; ++b) counted.firstRows[b] = int64_t{height} * b / blocks;
    if (tables.size() < static_cast<size_t>(blocks)) tables.resize(static_cast<size_t>(blocks));
    for (int b = 0; b < blocks; ++b) tables[b].clear();
    std::vector<char> complete(static_cast<size_t>(blocks), 0);
    forEachBlock(counted.threads, blocks, [&](int64_t b) {
        complete[b] = countBlock(channels, width, height, counted.firstRows[b],
                                 counted.firstRows[b + 1], ids, tables[b]);
    });
    if (std::count(complete.begin(), complete.end(), 0) != 0) return false;
    planPlaces(tables.data(), static_cast<size_t>(blocks), counted);
    return true;
}

void placeCountedEdges(const uint16_t* ids, CountedEdges& counted, uint32_t* sorted) {
    const int32_t width = counted.width, height = counted.height;
    const int blocks = static_cast<int>(counted.next.size());
    forEachBlock(counted.threads, blocks, [&](int64_t b) {
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
