#include "sorted_graph.h"

#include <algorithm>
#include <utility>

#include "counted_edges.h"
#include "key_sort.h"
#include "grid_edges.h"
#include "segment_forest.h"
#include "weight_ids.h"

namespace segmora {

namespace {

SortedGraph emptyGraph(int32_t width, int32_t height) {
    SortedGraph graph;
    graph.width = width;
    graph.height = height;
    graph.edgeCount = edgeCountFor(width, height);
    return graph;
}

// The edge numbers placed by counting, the ids used up.
SortedGraph placeEdges(LargeBuffer ids, CountedEdges& counted, const Workspace& workspace) {
    SortedGraph graph = emptyGraph(counted.width, counted.height);
    graph.edges = LargeBuffer(workspace.pool, sortedEdgeBytes(graph.width, graph.height));
    placeCountedEdges(ids.as<uint16_t>(), counted, graph.edges.as<uint32_t>());
    ids.release();
    graph.runCount = static_cast<int64_t>(counted.runs.size());
    graph.runs = LargeBuffer(workspace.pool, counted.runs.size() * sizeof(WeightRun));
    std::copy(counted.runs.begin(), counted.runs.end(), graph.runs.as<WeightRun>());
    return graph;
}

// The graph by its keys: stored, the channels released, sorted and split.
SortedGraph sortKeys(const PixelChannels& channels, int32_t width, int32_t height,
                     const std::function<void()>& releaseChannels, const Workspace& workspace) {
    SortedGraph graph = emptyGraph(width, height);
    const size_t bytes = static_cast<size_t>(graph.edgeCount) * sizeof(EdgeKey);
    LargeBuffer keys(workspace.pool, bytes);
    buildEdgeKeys(channels, width, height, keys.as<EdgeKey>(), workspace.threads);
    releaseChannels();
    LargeBuffer spare(workspace.pool, bytes);
    EdgeKey* sorted =
        sortEdgeKeys(keys.as<EdgeKey>(), spare.as<EdgeKey>(), graph.edgeCount, workspace.threads);
    if (sorted == spare.as<EdgeKey>()) std::swap(keys, spare);
    // The edge numbers go over the start of the sorted keys, the runs into the other array.
    graph.runCount = splitSortedKeys(sorted, graph.edgeCount, spare.as<WeightRun>());
    graph.edges = std::move(keys);
    graph.runs = std::move(spare);
    return graph;
}

}  // namespace

size_t sortedEdgeBytes(int32_t width, int32_t height) {
    return static_cast<size_t>(edgeCountFor(width, height)) * sizeof(uint32_t);
}

SortedGraph sortedGraphOf(const PixelChannels& channels, int32_t width, int32_t height,
                          const std::function<void()>& releaseChannels,
                          const Workspace& workspace) {
    const size_t idBytes = static_cast<size_t>(edgeCountFor(width, height)) * kWeightIdBytes;
    LargeBuffer ids(workspace.pool, std::max(idBytes, SegmentForest::bytesFor(width * height)));
    CountedEdges counted;
    std::vector<WeightIds> ownTables;
    std::vector<WeightIds>& tables = workspace.weightTables ? *workspace.weightTables : ownTables;
    if (countEdges(channels, width, height, workspace.threads, ids.as<uint16_t>(), counted,
                   tables)) {
        releaseChannels();
        return placeEdges(std::move(ids), counted, workspace);
    }
    ids.release();
    return sortKeys(channels, width, height, releaseChannels, workspace);
}

}  // namespace segmora
