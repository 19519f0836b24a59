#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace segmora {

// A flat sweep's bytes handed from the thread that sweeps to the threads that segment
// tiles, so that a tile starts as soon as the sweep has passed it: the sweep publishes its
// bytes so far after each band, a tile waits until they cover the rows it needs.
class SweepFeed {
  public:
    // Bytes covering the first `rows` rows of the photo.
    void publish(std::vector<uint8_t> bytes, int64_t rows);
    // No more bytes will come (the sweep is over, stopped or failed): waiting ends.
    void close();
    // The latest bytes once they cover `rows` rows; null when the feed closed first.
    std::shared_ptr<const std::vector<uint8_t>> await(int64_t rows);

  private:
    std::mutex lock;
    std::condition_variable changed;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    int64_t covered = 0;
    bool closed = false;
};

}  // namespace segmora
