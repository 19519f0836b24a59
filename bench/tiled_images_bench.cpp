// Images in tiles against one piece on a photo that fits: the time per pixel of each phase
// (segmentTile on every tile, on 1 or 2 threads side by side; joinTiles once; labelTile),
// beside segmentPhoto's on the same photo, the share of edges handed to joinTiles, the
// join bytes, and the labels checked against one piece. With `swept`, the flat sweep runs
// first (timed, rows given 256 at a time) and every tile takes it.
//
// Usage: tiled_images_bench PHOTO [TILE_WIDTH TILE_HEIGHT [THREADS [swept]]]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "segmora/segmora.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process so far, in seconds.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// A stream over bytes held elsewhere, without copying them.
class BytesStream : public std::istream {
  public:
    explicit BytesStream(const std::vector<uint8_t>& bytes) : std::istream(&buffer) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        buffer.pubsetbuf(begin, static_cast<std::streamsize>(bytes.size()));
    }

  private:
    struct Buffer : std::streambuf {
        std::streambuf* setbuf(char* s, std::streamsize n) override {
            setg(s, s, s + n);
            return this;
        }
    } buffer;
};

// A little-endian number of the join bytes' header.
uint64_t headerNumber(const std::vector<uint8_t>& join, size_t at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t{join[at + i]} << (8 * i);
    return value;
}

cv::Rect cvRect(const segmora::TileRect& r) {
    return cv::Rect(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.width),
                    static_cast<int>(r.height));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(
            stderr, "usage: tiled_images_bench PHOTO [TILE_WIDTH TILE_HEIGHT [THREADS [swept]]]\n");
        return 2;
    }
    const cv::Mat bgr = cv::imread(argv[1], cv::IMREAD_COLOR);
    if (bgr.empty()) {
        std::fprintf(stderr, "tiled_images_bench: cannot read %s\n", argv[1]);
        return 1;
    }
    segmora::TiledImage image;
    image.width = bgr.cols;
    image.height = bgr.rows;
    image.tileWidth = argc > 3 ? std::stoll(argv[2]) : 2048;
    image.tileHeight = argc > 3 ? std::stoll(argv[3]) : 2048;
    const int threads = argc > 4 ? std::stoi(argv[4]) : 2;
    const bool swept = argc > 5 && std::string(argv[5]) == "swept";
    image.parameters.threads = 1;
    const double pixels = static_cast<double>(bgr.total());

    auto start = std::chrono::steady_clock::now();
    double cpu = processorSeconds();
    segmora::Parameters oneThread;
    oneThread.threads = 1;
    const segmora::Segmentation whole = segmora::segmentPhoto(bgr, oneThread);
    const double onePiece = secondsSince(start), onePieceCpu = processorSeconds() - cpu;
    segmora::Parameters sideBySide;
    sideBySide.threads = threads;
    start = std::chrono::steady_clock::now();
    cpu = processorSeconds();
    segmora::segmentPhoto(bgr, sideBySide);
    const double onePieceThreads = secondsSince(start),
                 onePieceThreadsCpu = processorSeconds() - cpu;

    start = std::chrono::steady_clock::now();
    cpu = processorSeconds();
    std::vector<uint8_t> sweepBytes;
    if (swept) {
        segmora::FlatSweep sweep(image);
        for (int y = 0; y < bgr.rows; y += 256)
            sweep.addRows(bgr.rowRange(y, std::min(bgr.rows, y + 256)));
        sweepBytes = sweep.finish();
    }
    const double sweepSeconds = secondsSince(start), sweepCpu = processorSeconds() - cpu;

    const int64_t tiles = segmora::tileCount(image);
    std::vector<segmora::TileState> states(static_cast<size_t>(tiles));
    std::atomic<int64_t> next{0};
    start = std::chrono::steady_clock::now();
    cpu = processorSeconds();
    std::vector<std::thread> workers;
    for (int w = 0; w < threads; ++w) {
        workers.emplace_back([&] {
            for (int64_t t; (t = next++) < tiles;) {
                const cv::Mat read = bgr(cvRect(segmora::tileReadRect(image, t)));
                states[static_cast<size_t>(t)] =
                    swept ? segmora::segmentTile(image, t, read, cv::Mat_<int>(), sweepBytes)
                          : segmora::segmentTile(image, t, read);
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double first = secondsSince(start), firstCpu = processorSeconds() - cpu;

    start = std::chrono::steady_clock::now();
    cpu = processorSeconds();
    const segmora::TiledJoin join = segmora::joinTiles(image, [&](int64_t t) {
        return std::make_unique<BytesStream>(states[static_cast<size_t>(t)].join);
    });
    const double second = secondsSince(start), secondCpu = processorSeconds() - cpu;

    start = std::chrono::steady_clock::now();
    int64_t differing = 0;
    for (int64_t t = 0; t < tiles; ++t) {
        const size_t i = static_cast<size_t>(t);
        const segmora::TileLabels labels =
            segmora::labelTile(image, t, states[i].labels, join.tables[i], join.count);
        const cv::Mat_<int> own = whole.labels(cvRect(segmora::tileRect(image, t)));
        size_t p = 0;
        for (auto it = own.begin(); it != own.end(); ++it, ++p)
            differing += *it != labels.labels32[p];
    }
    const double third = secondsSince(start);
    size_t joinBytes = 0, labelBytes = 0;
    uint64_t segments = 0, mergeEdges = 0, cleanupEdges = 0;
    for (const segmora::TileState& state : states) {
        joinBytes += state.join.size();
        labelBytes += state.labels.size();
        segments += headerNumber(state.join, 72);
        mergeEdges += headerNumber(state.join, 80);
        cleanupEdges += headerNumber(state.join, 88);
    }
    std::printf("photo %s: %d x %d, tiles %lld x %lld (%lld), %d threads side by side\n", argv[1],
                bgr.cols, bgr.rows, static_cast<long long>(image.tileWidth),
                static_cast<long long>(image.tileHeight), static_cast<long long>(tiles), threads);
    std::printf("ns/pixel                   wall  processor\n");
    std::printf("one piece, 1 thread     %8.1f %8.1f\n", 1e9 * onePiece / pixels,
                1e9 * onePieceCpu / pixels);
    std::printf("one piece, %d threads    %8.1f %8.1f\n", threads, 1e9 * onePieceThreads / pixels,
                1e9 * onePieceThreadsCpu / pixels);
    if (swept) {
        std::printf("flat sweep, 1 thread    %8.1f %8.1f (%zu bytes)\n",
                    1e9 * sweepSeconds / pixels, 1e9 * sweepCpu / pixels, sweepBytes.size());
    }
    std::printf("segmentTile, all tiles  %8.1f %8.1f\n", 1e9 * first / pixels,
                1e9 * firstCpu / pixels);
    std::printf("joinTiles               %8.1f %8.1f\n", 1e9 * second / pixels,
                1e9 * secondCpu / pixels);
    std::printf("labelTile and compare   %8.1f ns/pixel\n", 1e9 * third / pixels);
    std::printf("join bytes %.1f MB (%.2f bytes/pixel), label bytes %.1f MB\n", joinBytes / 1e6,
                joinBytes / pixels, labelBytes / 1e6);
    std::printf(
        "local segments %llu (%.2f%% of pixels), merge edges %llu, clean-up edges %llu "
        "(%.2f%% and %.2f%% of the edges)\n",
        static_cast<unsigned long long>(segments), 100.0 * segments / pixels,
        static_cast<unsigned long long>(mergeEdges), static_cast<unsigned long long>(cleanupEdges),
        100.0 * mergeEdges / (4 * pixels), 100.0 * cleanupEdges / (4 * pixels));
    std::printf("count %lld (one piece %d), pixels differing: %lld\n",
                static_cast<long long>(join.count), whole.count, static_cast<long long>(differing));
    return differing == 0 && join.count == whole.count ? 0 : 1;
}
