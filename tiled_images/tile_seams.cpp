#include "tile_seams.h"

#include <algorithm>

namespace segmora {

std::vector<SeamHalf> seamHalvesOf(const TileFrame& frame, int64_t readX, int64_t readY,
                                   const TileChannels& channels) {
    static constexpr int kColumnStep[4] = {1, 0, 1, 1}, kRowStep[4] = {0, 1, 1, -1};
    const TileRect& own = frame.own;
    std::vector<SeamHalf> halves;
    const auto visit = [&](int64_t lx, int64_t ly) {
        const int64_t x = own.x + lx, y = own.y + ly;
        float here[3];
        channels.at(static_cast<int>(y - readY), static_cast<int>(x - readX), here);
        for (const int64_t step : {1, -1}) {  // edges made here, then made by the neighbour
            for (int direction = 0; direction < 4; ++direction) {
                const int64_t qx = x + step * kColumnStep[direction];
                const int64_t qy = y + step * kRowStep[direction];
                if (qx < 0 || qy < 0 || qx >= frame.imageWidth || qy >= frame.imageHeight ||
                    rectHolds(own, qx, qy)) {
                    continue;
                }
                float there[3];
                channels.at(static_cast<int>(qy - readY), static_cast<int>(qx - readX),
                                    there);
                const bool madeHere = step == 1;
                const float weight = madeHere ? PhotoEdgeWeights::between(here, there)
                                              : PhotoEdgeWeights::between(there, here);
                const int64_t first = madeHere ? y * frame.imageWidth + x : qy * frame.imageWidth + qx;
                halves.push_back({weightBits(weight), static_cast<uint64_t>(first) * 4 +
                                  static_cast<uint64_t>(direction),
                                  static_cast<int32_t>(ly * own.width + lx)});
            }
        }
    };
    for (int64_t ly = 0; ly < own.height; ++ly) {
        const bool wholeRow = ly == 0 || ly == own.height - 1;
        const int64_t step = wholeRow ? 1 : std::max<int64_t>(1, own.width - 1);
        for (int64_t lx = 0; lx < own.width; lx += step) visit(lx, ly);
    }
    std::sort(halves.begin(), halves.end(), [](const SeamHalf& p, const SeamHalf& q) {
        return p.weight != q.weight ? p.weight < q.weight : p.edge < q.edge;
    });
    return halves;
}

uint32_t seamPlace(const SortedEdges& sorted, const TileFrame& frame, uint32_t weight,
                   uint64_t edge) {
    const WeightRun* runs = sorted.runs;
    const WeightRun* run = std::partition_point(
        runs, runs + sorted.runCount, [&](const WeightRun& r) { return weightBits(r.weight) < weight; });
    const uint32_t start = run == runs ? 0 : run[-1].end;
    if (run == runs + sorted.runCount || weightBits(run->weight) != weight) return start;
    const uint32_t* found =
        std::partition_point(sorted.edges + start, sorted.edges + run->end,
                             [&](uint32_t local) { return frame.globalEdge(local) < edge; });
    return static_cast<uint32_t>(found - sorted.edges);
}

}  // namespace segmora
