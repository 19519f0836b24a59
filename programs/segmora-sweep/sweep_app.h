// segmora-sweep: every photo of a folder segmented with each setting and scored against its
// ground truths, into a table, a summary and a picture.
#pragma once

#include <string>
#include <vector>

#include "photo_list.h"
#include "stop_signals.h"
#include "sweep_options.h"
#include "sweep_table.h"

namespace segmora {

class Segmenter;

// The rows of one photo: for each setting in order, its labels scored against the truths
// (truthFiles: the photo's files in options.truthDir, see assignTruths), recording
// `inputs` (its inputsKey) for --resume. Throws std::runtime_error naming the photo or a
// truth that cannot be read, or a photo without truths.
std::vector<SweepRow> sweepPhoto(const std::string& path, const SweepOptions& options,
                                 const std::vector<std::string>& truthFiles,
                                 const std::string& inputs, Segmenter& segmenter);

// Runs a sweep; messages go to `messageFd` as "segmora-sweep: ...", a line per finished
// photo (PHOTO<TAB>SETTINGS) to `outFd`. Returns the exit status: 0, 1 when any photo
// failed, 2 for a bad command line or a folder that cannot be used, 128 + the signal's
// number when `signals` (null: none taken) stopped it.
int runSweep(const std::vector<std::string>& words, StopSignals* signals, int outFd, int messageFd);

}  // namespace segmora
