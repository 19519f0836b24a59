#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "batch_console.h"
#include "photo_job.h"

namespace segmora {

// What a worker does with one photo: runPhotoJob and whatever the program adds around it;
// returns the superpixel count and throws as runPhotoJob does.
using PhotoRunner = std::function<int(const PhotoJob&, Segmenter&)>;

// Runs the photo jobs with `runJob` on `workers` threads at once, each with a Segmenter of
// its own that uses `threadsPerWorker` threads, and reports every photo to `console`, redrawing its
// progress line while they work. Once `stop` is set (or standard output is lost) no new
// photo is started; the photos under way are finished. Returns when all workers are done.
void runPhotoJobs(const std::vector<PhotoJob>& jobs, int workers, int threadsPerWorker,
                  const PhotoRunner& runJob, BatchConsole& console, const std::atomic<bool>& stop);

}  // namespace segmora
