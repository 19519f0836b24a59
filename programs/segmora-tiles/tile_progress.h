#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace segmora {

// What segmora-tiles tells its user on standard error: lines starting with the program's
// name, and on a terminal one line of progress per step ("segmora-tiles: segmenting tiles
// 12/200, 0:40 left") that each finished tile redraws in place. Safe from any thread.
class TileProgress {
  public:
    TileProgress(int fd, bool onTerminal);

    // Starts a step of `total` tiles (0: not counted); `doing` says what it does
    // ("segmenting tiles").
    void start(const std::string& doing, int64_t total);
    void tileDone();
    // Ends the progress line, if one is shown.
    void end();
    // A line "segmora-tiles: MESSAGE" (below the progress line, which is redrawn).
    void note(const std::string& message);

  private:
    void draw();
    void writeText(const std::string& text);

    const int fd;
    const bool onTerminal;
    std::mutex lock;
    std::string doing;
    int64_t total = 0, done = 0;
    bool shown = false;
    std::chrono::steady_clock::time_point started, drawn;
};

// "0:40", "1:02:03": the time left at the rate so far.
std::string timeLeftText(double secondsSoFar, int64_t done, int64_t total);

}  // namespace segmora
