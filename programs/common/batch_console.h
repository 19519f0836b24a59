#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

namespace segmora {

// The progress line: "12/200 photos, 1 failed, 95.3 photos/s, 0:02 left" (rate and time
// left once a photo is done); with `skipped` (a resumed batch) "12/200 photos (71 done
// before, skipped), 1 failed, ...".
std::string progressText(size_t done, size_t total, size_t failed, double seconds,
                         std::optional<size_t> skipped = std::nullopt);

// A time as a progress line says it: "0:40", "1:02:03" (rounded to the second).
std::string clockText(double seconds);

// Writes all of `text` to `fd`; false when the file refuses it.
bool writeAll(int fd, const std::string& text);

// The last line of a resumed batch: "N done before, skipped".
std::string skippedText(size_t skipped);

// A photo's path as the batch prints it: a backslash, tab, line feed and carriage return
// become \\, \t, \n and \r, so that every PHOTO<TAB>COUNT line (and every message) is
// one line with one tab. Other bytes are kept.
std::string escapedName(const std::string& name);

// What a batch tells its user, from any thread: one line on standard output for each
// finished photo (PHOTO<TAB>COUNT), one line on standard error for each failure, and when
// `showProgress`, a progress line on standard error that redraw() rewrites in place (and
// clears before a PHOTO<TAB>COUNT line is written to a terminal).
class BatchConsole {
  public:
    // `skipped`: the photos a resumed batch found done before (nothing: not resumed);
    // `program`: the name that starts every message.
    BatchConsole(int outFd, int errFd, bool showProgress, size_t total,
                 std::optional<size_t> skipped = std::nullopt,
                 std::string program = "segmora-batch");

    void finished(const std::string& photo, int count);
    void failed(const std::string& photo, const std::string& reason);
    // A line "PROGRAM: MESSAGE" on standard error.
    void note(const std::string& message);
    void redraw();
    // Draws the progress line a last time and ends it.
    void endProgress();

    // True once standard output could not be written (e.g. its reader went away).
    bool outputLost();
    size_t finishedCount();
    size_t failedCount();

  private:
    void writeError(const std::string& line);
    void drawProgress();

    const int outFd, errFd;
    const bool showProgress;
    const bool outputOnTerminal;  // perhaps the terminal of the progress line
    const size_t total;
    const std::optional<size_t> skipped;
    const std::string program;
    const std::chrono::steady_clock::time_point start;
    std::mutex lock;
    size_t finishedPhotos = 0, failedPhotos = 0;
    bool lost = false;
    bool progressShown = false;
};

}  // namespace segmora
