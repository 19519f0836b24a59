#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

namespace segmora {

// One step of the join: the edge of `weight` between the segments a and b (dense ids).
struct JoinStep {
    float weight;
    uint64_t a, b;
};

// Batches of join steps handed from the thread that reads and orders the tiles' records to
// the thread that merges, at most a few batches ahead, so that reading and merging overlap.
class JoinStepQueue {
  public:
    static constexpr size_t kBatchSteps = size_t{1} << 15;

    // Waits while the queue is full; drops the batch once the merging side has given up.
    void put(std::vector<JoinStep>&& batch);
    // No more batches: `failure` (if any) is rethrown to the merging side once the batches
    // before it are taken.
    void close(std::exception_ptr failure = nullptr);
    // The next batch; false once the queue is closed and empty (rethrows a failure then).
    bool take(std::vector<JoinStep>& batch);
    // The merging side stops taking: put() no longer waits.
    void abandon();
    // An emptied batch back to the reading side, which reuses its memory.
    void recycle(std::vector<JoinStep>&& batch);
    std::vector<JoinStep> freshBatch();

  private:
    static constexpr size_t kBatchesAhead = 4;

    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::vector<JoinStep>> full;
    std::vector<std::vector<JoinStep>> spare;
    std::exception_ptr failure;
    bool closed = false;
    bool abandoned = false;
};

}  // namespace segmora
