#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "photo_job.h"
#include "written_file.h"

namespace segmora {

// A photo's job that a worker is done with: the files it wrote (not yet named), and its
// superpixel count or why it failed.
struct EndedJob {
    const PhotoJob* job = nullptr;
    std::vector<WrittenFile> files;
    int count = 0;
    std::string failure;  // empty: the job succeeded
};

// Puts the files of ended jobs in place on a thread of its own, so that a worker goes on with
// its next photo while the disk catches up. Files are taken in the order they were handed
// on; each is flushed to the disk (durable folders) before it is renamed to its name, and
// every folder written into is flushed once after the renames of the jobs placed together.
// Only then is each job passed to `report` (on the placing thread); a file that cannot be
// placed makes its job's `failure`, and the job's files after it are dropped. At most
// `maxWaiting` jobs wait: hand() blocks while that many do. When no thread can be started,
// hand() places the files itself.
class FilePlacer {
  public:
    using Report = std::function<void(EndedJob&)>;

    FilePlacer(Report report, size_t maxWaiting);
    ~FilePlacer();  // finish()
    FilePlacer(const FilePlacer&) = delete;
    FilePlacer& operator=(const FilePlacer&) = delete;

    void hand(EndedJob ended);
    // Places and reports everything handed on so far and stops the thread.
    void finish();

  private:
    void run();
    void place(std::vector<EndedJob>& jobs);

    const Report report;
    const size_t maxWaiting;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<EndedJob> waiting;
    bool stopping = false;
    std::thread thread;
};

}  // namespace segmora
