#include "tiles_app.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <opencv2/core/utils/logger.hpp>
#include <stdexcept>

#include "option_words.h"
#include "stop_signals.h"
#include "tile_steps.h"

namespace segmora {

namespace {

constexpr int kBadCommandLine = 2;

// A fresh hidden folder beside the label file for the tiles' states of a whole run.
std::string makeTemporaryWorkFolder(const std::string& outputPath) {
    const std::filesystem::path output(outputPath);
    const std::filesystem::path folder = output.has_parent_path() ? output.parent_path() : ".";
    std::string pattern = (folder / ("." + output.filename().string() + ".tiles-XXXXXX")).string();
    if (::mkdtemp(&pattern[0]) == nullptr) {
        throw std::runtime_error("cannot make a work folder beside label file '" + outputPath +
                                 "'");
    }
    return pattern;
}

// Removes the temporary work folder of a whole run, however the run ends.
struct TemporaryFolder {
    std::string path;
    ~TemporaryFolder() {
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
};

int stopped(const StopSignals& signals, TileProgress& progress) {
    progress.note(std::string("stopped by ") + stopSignalName(signals.signalNumber()));
    return 128 + signals.signalNumber();
}

int runStep(const TilesOptions& options, StopSignals& signals, std::ostream& out,
            TileProgress& progress) {
    const std::atomic<bool>& stop = signals.stopRequested();
    TemporaryFolder temporary;
    std::string work = options.workFolder;
    if (options.step == TilesStep::Whole || options.step == TilesStep::Plan) {
        const TileRun run = planTileRun(options);
        if (work.empty()) work = temporary.path = makeTemporaryWorkFolder(run.outputPath);
        checkDiskSpace(run, work, true);
        saveTileRun(run, work);
        if (options.step == TilesStep::Plan) {
            out << tileCount(run.image) << std::endl;
            return out ? 0 : 1;
        }
    }
    if (options.step == TilesStep::Sweep) {
        return sweepFlatAreas(work, stop, progress) ? 0 : stopped(signals, progress);
    }
    if (options.step == TilesStep::Whole &&
        !sweepAndSegmentTiles(work, options.threads, stop, progress)) {
        return stopped(signals, progress);
    }
    if (options.step == TilesStep::Tiles) {
        if (!segmentTiles(work, options.share, options.threads, stop, progress)) {
            return stopped(signals, progress);
        }
        if (options.step == TilesStep::Tiles) return 0;
    }
    if (options.step == TilesStep::Whole || options.step == TilesStep::Join) {
        const int64_t count = joinTileStates(work, progress);
        if (stop) return stopped(signals, progress);
        if (options.step == TilesStep::Join) {
            printCount(out, count);
            return out ? 0 : 1;
        }
    }
    if (options.step == TilesStep::Labels) checkDiskSpace(loadTileRun(work), work, false);
    const int64_t count = writeTileLabels(work, stop, progress);
    printCount(out, count);
    return out ? 0 : 1;
}

}  // namespace

int runSegmoraTiles(const std::vector<std::string>& words, StopSignals& signals, std::ostream& out,
                    int messageFd) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    TileProgress progress(messageFd, ::isatty(messageFd) == 1);
    TilesOptions options;
    try {
        options = parseTilesOptions(words);
    } catch (const TilesUsageError& e) {
        progress.note(std::string(e.what()) + "; see segmora-tiles --help");
        return kBadCommandLine;
    }
    if (options.help || options.version) {
        out << (options.help ? tilesUsage() : versionLine("segmora-tiles") + "\n") << std::flush;
        return 0;
    }
    signals.beginWork(messageFd);
    try {
        return runStep(options, signals, out, progress);
    } catch (const std::bad_alloc&) {
        progress.end();
        progress.note("out of memory");
    } catch (const std::exception& e) {
        progress.end();
        if (signals.signalNumber() != 0) return stopped(signals, progress);
        progress.note(e.what());
    }
    return 1;
}

}  // namespace segmora
