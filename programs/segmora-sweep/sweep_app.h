// segmora-sweep: every photo of a folder segmented with each setting and scored against its
// ground truths, into a table, a summary and a picture.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "photo_list.h"
#include "stop_signals.h"
#include "sweep_options.h"
#include "sweep_table.h"

namespace segmora {

class Segmenter;

// Where a photo's ground truths are: the folder, the names in it that are the photo's (see
// assignTruths) and the inputs its rows are made from (see inputsKey).
struct PhotoTruths {
    std::string folder;
    std::vector<std::string> files;
    std::string inputs;
};

// Where the ground truths of the photos of one folder are: the folder and the names in it
// (as listTruthFolder gives them).
struct TruthFolder {
    std::string path;
    std::vector<std::string> files;
};

// The rows of one photo, named `name` in the table: for each setting in order, its labels
// scored against its truths. Throws std::runtime_error naming the photo when it cannot be
// read (before any word about truths), a truth that cannot be read, or a photo without
// truths.
std::vector<SweepRow> sweepPhoto(const std::string& path, const std::string& name,
                                 const PhotoTruths& truths, const SweepOptions& options,
                                 Segmenter& segmenter);

// Runs a sweep; messages go to `messageFd` as "segmora-sweep: ...", a line per finished
// photo (PHOTO<TAB>SETTINGS) to `outFd`. Returns the exit status: 0, 1 when any photo
// failed, 2 for a bad command line or a folder that cannot be used, 128 + the signal's
// number when `signals` (null: none taken) stopped it.
// The input "-" reads the photo list from `pathList`.
int runSweep(const std::vector<std::string>& words, StopSignals* signals, int outFd, int messageFd,
             std::istream& pathList = std::cin);

}  // namespace segmora
