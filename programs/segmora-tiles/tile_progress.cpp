#include "tile_progress.h"

#include <unistd.h>

#include <cstdio>

namespace segmora {

namespace {

constexpr const char* kClearLine = "\r\033[K";
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

}  // namespace

std::string timeLeftText(double secondsSoFar, int64_t done, int64_t total) {
    const long long left =
        done > 0 ? static_cast<long long>(secondsSoFar / double(done) * double(total - done) + 0.5)
                 : 0;
    char text[32];
    if (left >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", left / 3600, left / 60 % 60,
                      left % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", left / 60, left % 60);
    }
    return text;
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
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0) return;  // messages that cannot be shown are dropped
        written += static_cast<size_t>(n);
    }
}

}  // namespace segmora
