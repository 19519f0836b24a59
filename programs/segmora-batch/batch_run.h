#pragma once

#include <atomic>
#include <vector>

#include "batch_console.h"
#include "photo_job.h"

namespace segmora {

// Runs the photo jobs on `workers` threads at once, each with a Segmenter of its own that
// uses `threadsPerWorker` threads, and reports every photo to `console`, redrawing its
// progress line while they work. Once `stop` is set (or standard output is lost) no new
// photo is started; the photos under way are finished. Returns when all workers are done.
void runPhotoJobs(const std::vector<PhotoJob>& jobs, int workers, int threadsPerWorker,
                  BatchConsole& console, const std::atomic<bool>& stop);

}  // namespace segmora
