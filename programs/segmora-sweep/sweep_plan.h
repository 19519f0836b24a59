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
    // By each photo's resultName(): the files of its truth folder that are its truths (see
    // assignTruths), and the inputs its rows are made from (see inputsKey).
    std::map<std::string, std::vector<std::string>> truthFiles;
    std::map<std::string, std::string> inputs;
    std::vector<std::string> warnings;  // truths that fit several photos: whose they are
};

// The truth folder of photos found at the top is options.truthDir, which must be listable
// (throws std::runtime_error naming it); that of photos found in SUB/ by -R is
// TRUTH_DIR/SUB, empty when missing. Each truth file counts for one photo of its folder.
SweepPlan planSweep(const std::vector<ListedPhoto>& photos, const SweepOptions& options);

}  // namespace segmora
