#include "join_step_queue.h"

namespace segmora {

void JoinStepQueue::put(std::vector<JoinStep>&& batch) {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return full.size() < kBatchesAhead || abandoned; });
    if (abandoned) return;
    full.push_back(std::move(batch));
    guard.unlock();
    changed.notify_all();
}

void JoinStepQueue::close(std::exception_ptr why) {
    {
        std::lock_guard<std::mutex> guard(lock);
        closed = true;
        failure = std::move(why);
    }
    changed.notify_all();
}

bool JoinStepQueue::take(std::vector<JoinStep>& batch) {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return !full.empty() || closed; });
    if (full.empty()) {
        if (failure) std::rethrow_exception(failure);
        return false;
    }
    batch = std::move(full.front());
    full.pop_front();
    guard.unlock();
    changed.notify_all();
    return true;
}

void JoinStepQueue::abandon() {
    {
        std::lock_guard<std::mutex> guard(lock);
        abandoned = true;
    }
    changed.notify_all();
}

void JoinStepQueue::recycle(std::vector<JoinStep>&& batch) {
    batch.clear();
    std::lock_guard<std::mutex> guard(lock);
    spare.push_back(std::move(batch));
}

std::vector<JoinStep> JoinStepQueue::freshBatch() {
    std::vector<JoinStep> batch;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!spare.empty()) {
            batch = std::move(spare.back());
            spare.pop_back();
        }
    }
    batch.reserve(kBatchSteps);
    return batch;
}

}  // namespace segmora
