#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "batch_console.h"
#include "photo_job.h"
#include "written_file.h"

namespace segmora {

// What a worker does with one photo: runPhotoJob with `written` as its hand-off list and
// whatever the program adds around it; returns the superpixel count and throws as
// runPhotoJob does.
using PhotoRunner =
    std::function<int(const PhotoJob&, Segmenter&, std::vector<WrittenFile>& written)>;
// Called once a photo's files are in place (and durable in a durable folder).
using PhotoPlaced = std::function<void(const PhotoJob&)>;

// Runs the photo jobs with `runJob` on `workers` threads at once, each with a Segmenter of
// its own that uses `threadsPerWorker` threads. The files a job wrote are put in place by a
// FilePlacer while the worker goes on; then `placed` is called and the photo is reported to
// `console`, whose progress line is redrawn while they work. Once `stop` is set (or
// standard output is lost) no new photo is started; the photos under way are finished.
// Returns when all workers are done and every file is in place.
void runPhotoJobs(const std::vector<PhotoJob>& jobs, int workers, int threadsPerWorker,
                  const PhotoRunner& runJob, const PhotoPlaced& placed, BatchConsole& console,
                  const std::atomic<bool>& stop);

}  // namespace segmora
