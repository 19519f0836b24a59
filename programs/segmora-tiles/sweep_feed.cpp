#include "sweep_feed.h"

namespace segmora {

void SweepFeed::publish(std::vector<uint8_t> latest, int64_t rows) {
    auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(latest));
    {
        std::lock_guard<std::mutex> guard(lock);
        bytes = std::move(shared);
        covered = rows;
    }
    changed.notify_all();
}

void SweepFeed::close() {
    {
        std::lock_guard<std::mutex> guard(lock);
        closed = true;
    }
    changed.notify_all();
}

std::shared_ptr<const std::vector<uint8_t>> SweepFeed::await(int64_t rows) {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return covered >= rows || closed; });
    return covered >= rows ? bytes : nullptr;
}

}  // namespace segmora
