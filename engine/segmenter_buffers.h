#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "block_pool.h"
#include "lab_conversion.h"
#include "parallel.h"
#include "segmora/segmora.h"
#include "weight_ids.h"
#include "workspace.h"

namespace segmora {

// The warm buffers: mappings released by earlier stages and calls, kept for
// the next ones.
struct Segmenter::Buffers {
    BlockPool pool;
    bool usedBefore = false;
    std::unique_ptr<LabTables> lab;  // made for the first photo
    std::vector<WeightIds> weightTables;

    // The workspace of a call; a moved-from Segmenter gets fresh buffers. A
    // first call (one-shot calls and the program have only that) puts the
    // labels in spent memory and frees its weight tables once counted, for
    // the smallest peak; later ones keep every buffer warm for the next call.
    static Workspace of(std::unique_ptr<Buffers>& buffers, int threads, bool photo) {
        if (!buffers) buffers = std::make_unique<Buffers>();
        if (photo && !buffers->lab) buffers->lab = std::make_unique<LabTables>();
        const bool first = !std::exchange(buffers->usedBefore, true);
        return Workspace{buffers->pool, threadCountFor(threads), first, buffers->lab.get(),
                         first ? nullptr : &buffers->weightTables};
    }
};

}  // namespace segmora
