#include "tile_steps.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <future>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "output_file.h"
#include "output_folder.h"
#include "processor_count.h"
#include "sweep_feed.h"
#include "tiff_photo.h"
#include "tile_files.h"
#include "tile_states.h"

namespace segmora {

namespace {

// What the tiles' states hold per pixel of the photo, about and rather more: runs of segment
// numbers, and the edges and segments handed to the join, which grow as the tiles shrink
// (measured on the sample photos: 1.6 to 2.6 bytes a pixel in tiles of 4096, 3.5 to 8.7 in
// tiles of 1024, 13 to 28 in tiles of 256, 21 to 39 in tiles of 128, 31 to 49 in tiles of
// 64).
double stateBytesPerPixel(const TiledImage& image) {
    return 3 + 7000.0 / double(std::min(image.tileWidth, image.tileHeight));
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string folderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// "12.3 GB", or "4.5 MB" below a tenth of a gigabyte.
std::string sizeText(double bytes) {
    char text[32];
    if (bytes >= 1e8) {
        std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    }
    return text;
}

struct FreeSpace {
    double bytes = 0;
    dev_t device = 0;
};

// Rows of the photo a band of the sweep reads: as many whole blocks of the TIFF (strips or
// rows of tiles) as fit in a tile's pixels, one at least.
int64_t sweepBandRows(const TiledImage& image, int64_t blockRows) {
    const int64_t rows = image.tileWidth * image.tileHeight / image.width;
    return std::min(image.height, std::max<int64_t>(1, rows / blockRows) * blockRows);
}

FreeSpace freeSpaceOf(const std::string& folder) {
    struct statvfs space;
    struct stat info;
    if (::statvfs(folder.c_str(), &space) != 0 || ::stat(folder.c_str(), &info) != 0) {
        throw std::runtime_error("cannot tell the free space of '" + folder + "'");
    }
    return {double(space.f_bavail) * double(space.f_frsize), info.st_dev};
}

}  // namespace

TileRun planTileRun(const TilesOptions& options) {
    TileRun run;
    run.photoPath = absolutePath(options.photoPath);
    run.outputPath = absolutePath(options.outputPath);
    if (!options.regionsPath.empty()) run.regionsPath = absolutePath(options.regionsPath);
    for (const std::string* path : {&run.photoPath, &run.outputPath, &run.regionsPath}) {
        if (path->find('\n') != std::string::npos) {
            throw std::runtime_error("cannot take a path with a line feed: '" + *path + "'");
        }
    }
    checkLabelFileName(options.outputPath);
    { OutputFile probe(options.outputPath, "label file"); }  // its folder must take it
    stampPhoto(run);
    const TiffPhoto photo(run.photoPath);
    TiledImage& image = run.image;
    image.width = photo.width();
    image.height = photo.height();
    image.tileWidth = std::min(options.tileWidth, image.width);
    image.tileHeight = std::min(options.tileHeight, image.height);
    image.parameters = options.parameters;
    image.parameters.threads = 1;  // the tiles themselves keep the processors busy
    image.withRegions = !run.regionsPath.empty();
    if (image.withRegions) TileRegionMap(run.regionsPath, image.width, image.height);
    try {
        checkTiledImage(image);
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error("cannot segment '" + options.photoPath +
                                 "' in tiles: " + e.what());
    }
    return run;
}

void checkDiskSpace(const TileRun& run, const std::string& workFolder, bool states) {
    const double pixels = double(run.image.width) * double(run.image.height);
    const double labels = pixels * 4;
    const double tileStates = states ? pixels * stateBytesPerPixel(run.image) : 0;
    const std::string labelFolder = folderOf(run.outputPath);
    std::error_code error;
    std::filesystem::create_directories(workFolder, error);  // a missing one is named below
    const FreeSpace atLabels = freeSpaceOf(labelFolder);
    const FreeSpace atWork = freeSpaceOf(workFolder);
    const bool shared = atLabels.device == atWork.device;
    const auto refuse = [&](const std::string& folder, double needed, double free) {
        throw std::runtime_error("not enough free space in '" + folder + "': the run needs about " +
                                 sizeText(needed) + " there (labels " + sizeText(labels) +
                                 ", tile states " + sizeText(tileStates) + "), " + sizeText(free) +
                                 " are free");
    };
    if (shared && labels + tileStates > atLabels.bytes) {
        refuse(labelFolder, labels + tileStates, atLabels.bytes);
    }
    if (!shared && labels > atLabels.bytes) refuse(labelFolder, labels, atLabels.bytes);
    if (!shared && tileStates > atWork.bytes) refuse(workFolder, tileStates, atWork.bytes);
}

void saveTileRun(const TileRun& run, const std::string& workFolder) {
    std::error_code error;
    std::filesystem::create_directories(workFolder, error);
    const OutputFolder work(workFolder, "work folder", true);
    OutputFile file(work, kRunFileName, "run description");
    const std::string text = run.text();
    file.write(text.data(), text.size());
    file.commit();
}

namespace {

// segmentTile with the sweep's bytes, in the worker's warm buffers; bytes it refuses are the
// sweep file's fault.
void segmentSweptTile(Segmenter& segmenter, const TileRun& run, int64_t tile, const cv::Mat& pixels,
                      const cv::Mat_<int>& ids, const std::vector<uint8_t>& sweep,
                      const std::string& workFolder, TileState& state) {
    try {
        segmenter.segmentTile(run.image, tile, pixels, ids, &sweep, state);
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error("sweep file '" + workFolder + "/" + kSweepFileName +
                                 "' is refused: " + e.what() + ": run the sweep step again");
    }
}

}  // namespace

bool sweepFlatAreas(const std::string& workFolder, const std::atomic<bool>& stop,
                    TileProgress& progress, SweepFeed* feed) {
    const TileRun run = loadTileRun(workFolder);
    checkPhotoUnchanged(run);
    const OutputFolder work(workFolder, "work folder", true);
    if (feed == nullptr) work.removeLeftoverTemporaryFiles();  // else the tiles' could go
    TiffPhoto photo(run.photoPath);
    std::unique_ptr<TileRegionMap> regions;
    if (run.image.withRegions) {
        regions =
            std::make_unique<TileRegionMap>(run.regionsPath, run.image.width, run.image.height);
    }
    const int64_t band = sweepBandRows(run.image, photo.blockRows());
    FlatSweep sweep(run.image);
    progress.start("sweeping the rows", (run.image.height + band - 1) / band);
    for (int64_t y = 0; y < run.image.height; y += band) {
        if (stop) {
            progress.end();
            return false;
        }
        const TileRect rect{0, y, run.image.width, std::min(band, run.image.height - y)};
        const cv::Mat pixels = photo.readRect(rect.x, rect.y, rect.width, rect.height);
        sweep.addRows(pixels, regions ? regions->read(rect) : cv::Mat_<int>());
        if (feed != nullptr && sweep.sweptRows() < run.image.height) {
            feed->publish(sweep.bytesSoFar(), sweep.sweptRows());
        }
        progress.tileDone();
    }
    std::vector<uint8_t> bytes = sweep.finish();
    writeSweep(work, run.key(), bytes);
    if (feed != nullptr) feed->publish(std::move(bytes), run.image.height);
    progress.end();
    return true;
}

bool segmentTiles(const std::string& workFolder, const TileShare& share, int threads,
                  const std::atomic<bool>& stop, TileProgress& progress, SweepFeed* feed) {
    const TileRun run = loadTileRun(workFolder);
    checkPhotoUnchanged(run);
    const OutputFolder work(workFolder, "work folder", true);
    if (feed == nullptr) work.removeLeftoverTemporaryFiles();
    const std::string key = run.key();
    // From the file, or from the feed tile by tile (the sweep still going on).
    const auto fromFile =
        feed == nullptr ? std::make_shared<const std::vector<uint8_t>>(readSweep(workFolder, key))
                        : nullptr;
    std::vector<int64_t> pending;
    int64_t skipped = 0;
    for (int64_t tile = share.part; tile < tileCount(run.image); tile += share.parts) {
        std::string why;
        const StateCheck check = checkTileState(workFolder, key, tile, &why);
        if (check == StateCheck::Complete) ++skipped;
        if (check == StateCheck::Damaged || check == StateCheck::OtherRun) {
            progress.note("redoing tile " + std::to_string(tile) + ": its state " + why);
        }
        if (check != StateCheck::Complete) pending.push_back(tile);
    }
    if (skipped > 0) progress.note(std::to_string(skipped) + " tiles done before, skipped");
    const int workers = static_cast<int>(
        std::clamp<int64_t>(int64_t(pending.size()), 1, threads > 0 ? threads : processorCount()));
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    progress.start("segmenting tiles", int64_t(pending.size()));
    const auto work1 = [&]() {
        try {
            TiffPhoto photo(run.photoPath);
            std::unique_ptr<TileRegionMap> regions;
            if (run.image.withRegions) {
                regions = std::make_unique<TileRegionMap>(run.regionsPath, run.image.width,
                                                          run.image.height);
            }
            Segmenter segmenter;  // warm from one tile to the next, as is the state's memory
            TileState state;
            for (size_t i = next++; i < pending.size() && !stop && !failed; i = next++) {
                const int64_t tile = pending[i];
                const auto sweep =
                    fromFile ? fromFile : feed->await(sweptRowsNeeded(run.image, tile));
                if (!sweep) break;  // the sweep stopped or failed: it says why
                const TileRect rect = tileReadRect(run.image, tile);
                const cv::Mat pixels = photo.readRect(rect.x, rect.y, rect.width, rect.height);
                const cv::Mat_<int> ids = regions ? regions->read(rect) : cv::Mat_<int>();
                segmentSweptTile(segmenter, run, tile, pixels, ids, *sweep, workFolder, state);
                writeTileState(work, key, tile, state);
                progress.tileDone();
            }
        } catch (...) {
            std::lock_guard<std::mutex> guard(failureLock);
            if (!failure) failure = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < workers; ++w) pool.emplace_back(work1);
    work1();
    for (std::thread& thread : pool) thread.join();
    progress.end();
    if (failure) std::rethrow_exception(failure);
    return !stop;
}

bool sweepAndSegmentTiles(const std::string& workFolder, int threads, const std::atomic<bool>& stop,
                          TileProgress& progress) {
    {
        const OutputFolder work(workFolder, "work folder", true);
        work.removeLeftoverTemporaryFiles();
    }
    SweepFeed feed;
    TileProgress quiet(-1, false);
    std::exception_ptr sweepFailure;
    bool swept = false;
    std::thread sweeper([&] {
        try {
            swept = sweepFlatAreas(workFolder, stop, quiet, &feed);
        } catch (...) {
            sweepFailure = std::current_exception();
        }
        feed.close();
    });
    bool done = false;
    try {
        done = segmentTiles(workFolder, TileShare{}, threads, stop, progress, &feed);
    } catch (...) {
        sweeper.join();
        throw;
    }
    sweeper.join();
    if (sweepFailure) std::rethrow_exception(sweepFailure);
    return done && swept;
}

int64_t joinTileStates(const std::string& workFolder, TileProgress& progress) {
    const TileRun run = loadTileRun(workFolder);
    const std::string key = run.key();
    const int64_t tiles = tileCount(run.image);
    for (int64_t tile = 0; tile < tiles; ++tile) openTileJoin(workFolder, key, tile);
    const OutputFolder work(workFolder, "work folder", true);
    progress.start("joining the tiles", 0);
    TiledImage image = run.image;
    image.parameters.threads = 0;  // the join reads the tiles on a thread of its own
    TiledJoin join;
    try {
        join = joinTiles(image, [&](int64_t tile) { return openTileJoin(workFolder, key, tile); });
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error("cannot join the tile states of '" + workFolder +
                                 "': " + e.what() + ": run the tile step again");
    }
    writeJoin(work, key, join);
    progress.end();
    return join.count;
}

int64_t writeTileLabels(const std::string& workFolder, const std::atomic<bool>& stop,
                        TileProgress& progress) {
    const TileRun run = loadTileRun(workFolder);
    const std::string key = run.key();
    const int64_t tiles = tileCount(run.image);
    JoinFile join(workFolder, key, tiles);
    for (int64_t tile = 0; tile < tiles; ++tile) openTileJoin(workFolder, key, tile);
    const bool wide = join.count() > std::numeric_limits<int32_t>::max();
    TileLabelFile labels(run.outputPath, run.image, wide);
    progress.start("writing labels", tiles);
    // The next tile's labels are read and numbered in a thread of their own while this
    // tile's are written; two buffers in turn, which keep their memory.
    std::array<TileLabels, 2> buffers;
    std::vector<uint8_t> own;
    const auto labelsInto = [&](int64_t tile) {
        readTileLabels(workFolder, key, tile, own);
        labelTile(run.image, tile, own, join.table(tile), join.count(), buffers[size_t(tile % 2)]);
    };
    std::future<void> next = std::async(std::launch::async, labelsInto, 0);
    for (int64_t tile = 0; tile < tiles; ++tile) {
        next.get();
        if (stop) throw std::runtime_error("stopped before the labels were written");
        if (tile + 1 < tiles) next = std::async(std::launch::async, labelsInto, tile + 1);
        labels.write(tile, buffers[size_t(tile % 2)]);
        progress.tileDone();
    }
    labels.commit();
    progress.end();
    return join.count();
}

void printCount(std::ostream& out, int64_t count) {
    out << "Super-pixel num: " << count << std::endl;
}

}  // namespace segmora
