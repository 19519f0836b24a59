#include <utility>

#include "counted_cut.h"
#include "label_matrix.h"
#include "segmora/segmora.h"

namespace segmora {

Segmentation cutAtCount(const MergeHierarchy& tree, int count) {
    checkCountInRange(tree.coarsestCount, tree.finestCount, count);
    Segmentation result;
    LargeBuffer none;  // memory of its own, whose first touch is cheap
    result.labels = labelMatrixIn(none, tree.height, tree.width);
    cutHierarchy(tree, count, result.labels.ptr<int32_t>());
    result.count = count;
    return result;
}

Hierarchy makeHierarchy(MergeHierarchy&& tree) {
    Hierarchy hierarchy;
    hierarchy.tree = std::make_shared<const MergeHierarchy>(std::move(tree));
    return hierarchy;
}

Hierarchy::Hierarchy() : tree(std::make_shared<const MergeHierarchy>()) {}

int Hierarchy::finestCount() const {
    return tree->finestCount;
}

int Hierarchy::defaultCount() const {
    return tree->defaultCount;
}

int Hierarchy::coarsestCount() const {
    return tree->coarsestCount;
}

Segmentation Hierarchy::cut(int count) const {
    return cutAtCount(*tree, count);
}

std::vector<Hierarchy::Merge> Hierarchy::merges() const {
    std::vector<Merge> merges;
    merges.reserve(tree->steps.size());
    for (const HierarchyStep& step : tree->steps) merges.push_back({step.a, step.b, step.height});
    return merges;
}

Hierarchy hierarchyOfPhoto(const cv::Mat& photo, const cv::Mat_<int>& regions,
                           const Parameters& parameters, const cv::Mat& mask) {
    return Segmenter(parameters.threads).hierarchyOfPhoto(photo, regions, parameters, mask);
}

Hierarchy hierarchyOf(const cv::Mat_<cv::Vec3d>& image, const Parameters& parameters,
                      const cv::Mat_<int>& regions, const cv::Mat& mask) {
    return Segmenter(parameters.threads).hierarchyOf(image, parameters, regions, mask);
}

}  // namespace segmora
