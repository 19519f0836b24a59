// Which photos of the list a sweep scores: those with ground truths, and those it must
// report as failures (a photo that cannot be found, a folder that cannot be listed); the
// others, photos without a truth, are counted apart unless every photo must have one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "photo_list.h"
#include "sweep_app.h"
#include "sweep_options.h"

namespace segmora {

struct SweepPlan {
    std::vector<ListedPhoto> photos;          // to run, in list order
    std::vector<std::string> withoutTruth;    // paths of photos counted apart, in list order
    std::map<std::string, TruthFolder> truths;  // by the photos' folder below the inputs
};

// The truth folder of photos found at the top is options.truthDir, which must be listable
// (throws std::runtime_error naming it); that of photos found in SUB/ by -R is
// TRUTH_DIR/SUB, empty when missing.
SweepPlan planSweep(const std::vector<ListedPhoto>& photos, const SweepOptions& options);

}  // namespace segmora
