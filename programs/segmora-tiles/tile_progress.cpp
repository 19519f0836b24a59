#include "tile_progress.h"

#include <unistd.h>

#include "batch_console.h"

namespace segmora {

namespace {

constexpr const char* kClearLine = "\r\033[K";
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

std::string timeLeftText(double secondsSoFar, int64_t done, int64_t total) {
    return clockText(done > 0 ? secondsSoFar / double(done) * double(total - done) : 0);
}

TileProgress::TileProgress(int fd, bool onTerminal) : fd(fd), onTerminal(onTerminal) {}

void TileProgress::start(const std::string& what, int64_t count) {
    std::lock_guard<std::mutex> guard(lock);
    doing = what;
    total = count;
    done = 0;
    started = drawn = std::chrono::steady_clock::now();
    if (onTerminal) draw();
}

void TileProgress::tileDone() {
    std::lock_guard<std::mutex> guard(lock);
    ++done;
    const auto now = std::chrono::steady_clock::now();
    if (onTerminal && (now - drawn >= kRedrawEvery || done == total)) draw();
}

void TileProgress::end() {
    std::lock_guard<std::mutex> guard(lock);
    if (shown) writeText("\n");
    shown = false;
}

void TileProgress::note(const std::string& message) {
    std::lock_guard<std::mutex> guard(lock);
    writeText(std::string(shown ? kClearLine : "") + "segmora-tiles: " + message + "\n");
    if (shown) draw();
}

void TileProgress::draw() {
    drawn = std::chrono::steady_clock::now();
    std::string text = std::string(kClearLine) + "segmora-tiles: " + doing;
    if (total > 0) text += " " + std::to_string(done) + "/" + std::to_string(total);
    if (done > 0 && done < total) {
        const double seconds = std::chrono::duration<double>(drawn - started).count();
        text += ", " + timeLeftText(seconds, done, total) + " left";
    }
    writeText(text);
    shown = true;
}

void TileProgress::writeText(const std::string& text) {
    writeAll(fd, text);  // messages that cannot be shown are dropped
}

}  // namespace segmora
