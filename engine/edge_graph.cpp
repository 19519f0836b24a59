#include "edge_graph.h"

#include <algorithm>
#include <utility>

#include "edge_source.h"

namespace segmora {

SortedGraph placeCountedEdges(const PixelChannels& channels, int32_t width, int32_t height,
                              WeightCounts& counts, const Workspace& workspace) {
    SortedGraph graph;
    graph.width = width;
    graph.height = height;
    graph.edgeCount = edgeCountFor(width, height);
    graph.edges =
        LargeBuffer(workspace.pool, static_cast<size_t>(graph.edgeCount) * sizeof(uint32_t));
    placeEdges(channels, width, height, counts, graph.edges.as<uint32_t>());
    graph.runCount = static_cast<int64_t>(counts.runs.size());
    graph.runs = LargeBuffer(workspace.pool, counts.runs.size() * sizeof(WeightRun));
    std::copy(counts.runs.begin(), counts.runs.end(), graph.runs.as<WeightRun>());
    return graph;
}

StoredKeys storeEdgeKeys(const PixelChannels& channels, int32_t width, int32_t height,
                         const Workspace& workspace) {
    StoredKeys stored;
    stored.count = edgeCountFor(width, height);
    stored.keys = LargeBuffer(workspace.pool, static_cast<size_t>(stored.count) * sizeof(EdgeKey));
    buildEdgeKeys(channels, width, height, stored.keys.as<EdgeKey>(), workspace.threads);
    return stored;
}

SortedGraph sortStoredKeys(StoredKeys stored, int32_t width, int32_t height,
                           const Workspace& workspace) {
    LargeBuffer spare(workspace.pool, stored.keys.size());
    EdgeKey* sorted = sortEdgeKeys(stored.keys.as<EdgeKey>(), spare.as<EdgeKey>(), stored.count,
                                   workspace.threads);
    if (sorted == spare.as<EdgeKey>()) std::swap(stored.keys, spare);
    // The edge numbers go over the start of the sorted keys, the runs into the other array.
    SortedGraph graph;
    graph.width = width;
    graph.height = height;
    graph.edgeCount = stored.count;
    graph.runCount = splitSortedKeys(sorted, stored.count, spare.as<WeightRun>());
    graph.edges = std::move(stored.keys);
    graph.runs = std::move(spare);
    return graph;
}

SortedGraph sortedGraphOf(const PixelChannels& channels, int32_t width, int32_t height,
                          const Workspace& workspace) {
    WeightCounts counts;
    if (countEdgeWeights(channels, width, height, counts, workspace.threads)) {
        return placeCountedEdges(channels, width, height, counts, workspace);
    }
    return sortStoredKeys(storeEdgeKeys(channels, width, height, workspace), width, height,
                          workspace);
}

}  // namespace segmora
