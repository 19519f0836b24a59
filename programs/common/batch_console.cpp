#include "batch_console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace segmora {

namespace {

constexpr const char* kClearLine = "\r\033[K";

}  // namespace

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string clockText(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string escapedName(const std::string& name) {
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        switch (c) {
            case '\\':
                text += "\\\\";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            default:
                text += c;
        }
    }
    return text;
}

std::string skippedText(size_t skipped) {
    return std::to_string(skipped) + " done before, skipped";
}

std::string progressText(size_t done, size_t total, size_t failed, double seconds,
                         std::optional<size_t> skipped) {
    std::string text = std::to_string(done) + "/" + std::to_string(total) + " photos";
    if (skipped) text += " (" + skippedText(*skipped) + ")";
    text += ", " + std::to_string(failed) + " failed";
    if (done > 0 && seconds > 0) {
        const double rate = static_cast<double>(done) / seconds;
        char rateText[32];
        std::snprintf(rateText, sizeof rateText, "%.1f", rate);
        text += std::string(", ") + rateText + " photos/s, " +
                clockText(static_cast<double>(total - done) / rate) + " left";
    }
    return text;
}

BatchConsole::BatchConsole(int outFd, int errFd, bool showProgress, size_t total,
                           std::optional<size_t> skipped, std::string program)
    : outFd(outFd),
      errFd(errFd),
      showProgress(showProgress),
      outputOnTerminal(outFd >= 0 && ::isatty(outFd) == 1),
      total(total),
      skipped(skipped),
      program(std::move(program)),
      start(std::chrono::steady_clock::now()) {}

void BatchConsole::finished(const std::string& photo, int count) {
    const std::string line = escapedName(photo) + "\t" + std::to_string(count) + "\n";
    std::lock_guard<std::mutex> guard(lock);
    ++finishedPhotos;
    if (progressShown && outputOnTerminal && !lost) {
        writeAll(errFd, kClearLine);
        progressShown = false;
    }
    if (!lost && !writeAll(outFd, line)) {
        lost = true;
        writeError(program + ": cannot write to standard output: " + std::strerror(errno) + "\n");
    }
}

void BatchConsole::failed(const std::string& photo, const std::string& reason) {
    std::lock_guard<std::mutex> guard(lock);
    ++failedPhotos;
    writeError(program + ": " + escapedName(photo) + ": " + escapedName(reason) + "\n");
}

void BatchConsole::note(const std::string& message) {
    std::lock_guard<std::mutex> guard(lock);
    writeError(program + ": " + message + "\n");
}

void BatchConsole::redraw() {
    std::lock_guard<std::mutex> guard(lock);
    if (showProgress) drawProgress();
}

void BatchConsole::endProgress() {
    std::lock_guard<std::mutex> guard(lock);
    if (!showProgress) return;
    drawProgress();
    writeAll(errFd, "\n");
    progressShown = false;
}

bool BatchConsole::outputLost() {
    std::lock_guard<std::mutex> guard(lock);
    return lost;
}

size_t BatchConsole::finishedCount() {
    std::lock_guard<std::mutex> guard(lock);
    return finishedPhotos;
}

size_t BatchConsole::failedCount() {
    std::lock_guard<std::mutex> guard(lock);
    return failedPhotos;
}

// A message line replaces the progress line, which the next redraw brings back.
void BatchConsole::writeError(const std::string& line) {
    writeAll(errFd, progressShown ? kClearLine + line : line);
    progressShown = false;
}

void BatchConsole::drawProgress() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t done = finishedPhotos + failedPhotos;
    writeAll(errFd, kClearLine + progressText(done, total, failedPhotos, seconds, skipped));
    progressShown = true;
}

}  // namespace segmora
