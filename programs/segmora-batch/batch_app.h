#pragma once

#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch_outputs.h"
#include "photo_job.h"
#include "stop_signals.h"

namespace segmora {

// The work of one segmora-batch run.
struct BatchPlan {
    std::vector<PhotoJob> jobs;
    int workers = 1;                              // photos at once
    int threadsPerWorker = 1;                     // threads each worker's Segmenter may use
    std::shared_ptr<const BatchOutputs> outputs;  // the jobs' output folders
    // With --resume: the photos found done before and left out of `jobs`.
    std::optional<size_t> skipped;
    // Folders below a searched one that could not be listed, by path, with why: each is a
    // job of its own that fails with that reason.
    std::map<std::string, std::string> unlisted;
};

// Reads the command line (the words after the program name) and makes the photo list,
// reading `pathList` for "-". Returns nothing when the program is done already, with its
// exit status in `status`: 0 after --help, 2 for a bad command line or an output folder
// that cannot be used (reported on stderr).
std::optional<BatchPlan> planBatch(const std::vector<std::string>& words, std::istream& pathList,
                                   int& status);

// Segments the photos of the plan and returns the exit status: 0 when every photo
// succeeded, 1 when any failed or their lines could not be written to `outFd` (standard
// output, or -1 when it was closed), 128 + the signal's number when `signals` stopped it.
// Messages and progress go to `messageFd`, a copy of standard error: the image reader
// silences descriptor 2 while it decodes, which must not swallow the other workers'
// messages.
int runBatch(const BatchPlan& plan, StopSignals& signals, int outFd, int messageFd);

}  // namespace segmora
