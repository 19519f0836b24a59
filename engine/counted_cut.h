#pragma once

#include "merge_hierarchy.h"
#include "segmora/segmora.h"
#include "workspace.h"

namespace segmora {

// The public face of `tree`.
Hierarchy makeHierarchy(MergeHierarchy&& tree);

// Exactly `count` superpixels of `tree`; std::invalid_argument naming the range when the
// count lies outside it.
Segmentation cutAtCount(const MergeHierarchy& tree, int count);

// The hierarchy of the run `run(workspace)` makes, given a workspace that records it.
template <class Run>
MergeHierarchy recordedHierarchy(Workspace workspace, Run&& run) {
    MergeHierarchy tree;
    workspace.hierarchy = &tree;
    run(workspace);
    return tree;
}

}  // namespace segmora
