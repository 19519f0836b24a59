// Hierarchies of small photos with region maps and masks. Each run checks, for every count
// from the coarsest to the finest, that
//  - the cut has exactly that many superpixels, numbered 1 .. N in raster order,
//  - it equals a plain replay of the tree's first merges over the finest superpixels,
//  - it lies inside the cut of one fewer (nesting),
//  - segmentPhoto with that count, which cuts without building the tree, gives it too,
// that the default count gives segmentPhoto's labels, and that both refuse the counts just
// outside the range with the same message.
#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_data.h"
#include "segmora/segmora.h"

namespace {

using segmora::fuzz::check;
using segmora::fuzz::FuzzData;

// The cut at `count` the plain way: the first merges joined over the finest labels
// with a union-find, the parts numbered by first pixels.
std::vector<int> replayedCut(const segmora::Hierarchy& tree, const cv::Mat_<int>& finest,
                             int count) {
    std::vector<int> parent(static_cast<size_t>(tree.finestCount()));
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](int x) {
        while (parent[x] != x) x = parent[x];
        return x;
    };
    const std::vector<segmora::Hierarchy::Merge> merges = tree.merges();
    for (int k = 0; k < tree.finestCount() - count; ++k) {
        const int a = find(merges[k].a), b = find(merges[k].b);
        check(a != b, "a merge inside one part");
        parent[a] = b;
    }
    std::vector<int> label(parent.size(), 0), labels;
    int next = 0;
    for (const int f : finest) {
        if (f == 0) {  // outside the mask
            labels.push_back(0);
            continue;
        }
        int& l = label[find(f - 1)];
        if (l == 0) l = ++next;
        labels.push_back(l);
    }
    return labels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzData in(data, size);
    const int rows = 1 + in.below(14), cols = 1 + in.below(14);
    segmora::Parameters parameters;
    static const float thresholds[] = {0, 20, 150, 500, 3000};
    parameters.threshold = thresholds[in.below(5)];
    parameters.capDivisor = 1 + in.below(8);
    parameters.minSize = in.below(7);
    const int flags = in.byte();
    const bool withRegions = flags & 1, withMask = flags & 2;
    const int levels = 1 + in.below(4);  // how many grey levels: fewer gives ties
    cv::Mat_<cv::Vec3b> photo(rows, cols);
    for (auto& p : photo) {
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(in.below(levels) * 80);
    }
    cv::Mat_<int> regions;
    if (withRegions) {
        regions.create(rows, cols);
        for (int& r : regions) r = in.below(3);
    }
    cv::Mat_<uint8_t> mask;
    if (withMask) {
        mask.create(rows, cols);
        for (uint8_t& m : mask) m = in.below(4) != 0;
    }
    segmora::Segmenter segmenter(1);
    const segmora::Hierarchy tree = segmenter.hierarchyOfPhoto(photo, regions, parameters, mask);
    const auto counted = [&](int count) {
        segmora::Parameters withCount = parameters;
        withCount.count = count;
        return segmenter.segmentPhoto(photo, regions, withCount, mask);
    };
    for (const int outside : {tree.coarsestCount() - 1, tree.finestCount() + 1}) {
        if (outside < 1) continue;
        std::string treeSays, runSays;
        try {
            tree.cut(outside);
        } catch (const std::invalid_argument& e) {
            treeSays = e.what();
        }
        try {
            counted(outside);
        } catch (const std::invalid_argument& e) {
            runSays = e.what();
        }
        check(!treeSays.empty() && treeSays == runSays, "count outside the range");
    }
    const segmora::Segmentation run = segmenter.segmentPhoto(photo, regions, parameters, mask);
    check(tree.defaultCount() == run.count, "default count");
    const bool anyInside = mask.empty() || cv::countNonZero(mask) > 0;
    check(tree.coarsestCount() >= (anyInside ? 1 : 0) && tree.coarsestCount() <= tree.defaultCount() &&
              tree.defaultCount() <= tree.finestCount(),
          "count range");
    check(std::equal(run.labels.begin(), run.labels.end(), tree.cut(run.count).labels.begin()),
          "default cut differs from the run");
    const cv::Mat_<int> finest = tree.cut(tree.finestCount()).labels;
    cv::Mat_<int> finer;
    for (int count = tree.finestCount(); count >= tree.coarsestCount(); --count) {
        const cv::Mat_<int> cut = tree.cut(count).labels;
        const std::vector<int> replayed = replayedCut(tree, finest, count);
        check(std::equal(cut.begin(), cut.end(), replayed.begin()), "cut differs from replay");
        const segmora::Segmentation direct = counted(count);
        check(direct.count == count && std::equal(cut.begin(), cut.end(), direct.labels.begin()),
              "counted run differs from the cut");
        int seen = 0;
        for (size_t p = 0; p < cut.total(); ++p) {
            const int l = cut(static_cast<int>(p));
            const bool inside = mask.empty() || mask(static_cast<int>(p)) != 0;
            check(inside ? l >= 1 && l <= seen + 1 : l == 0, "raster numbering");
            seen = std::max(seen, l);
        }
        check(seen == count, "exact count");
        if (!finer.empty()) {
            std::vector<int> inside(static_cast<size_t>(count) + 2, 0);
            for (size_t p = 0; p < cut.total(); ++p) {
                int& at = inside[finer(static_cast<int>(p))];
                if (at == 0) at = cut(static_cast<int>(p));
                check(at == cut(static_cast<int>(p)), "not nested");
            }
        }
        finer = cut;
    }
    return 0;
}
