#include "tiles_options.h"

#include <optional>

#include "job_options.h"
#include "option_words.h"
#include "photo_job.h"

namespace segmora {

namespace {

constexpr int kMaxThreads = 256;
// Smaller tiles would only make a run of many small files: the tiles' files grow with their
// borders.
constexpr int64_t kMinTileSide = 16;

bool isKnob(const std::string& name) {
    return name == "--threshold" || name == "--sigma" || name == "--cap-divisor" ||
           name == "--min-size";
}

bool takesValue(const std::string& name) {
    return name == "-o" || name == "-r" || name == "--tile" || name == "--work" ||
           name == "--threads" || name == "--shard" || isKnob(name);
}

// The steps an option belongs to.
bool allowedIn(const std::string& name, TilesStep step) {
    const bool planning = step == TilesStep::Whole || step == TilesStep::Plan;
    if (name == "-o" || name == "-r" || name == "--tile" || isKnob(name)) return planning;
    if (name == "--threads") return step == TilesStep::Whole || step == TilesStep::Tiles;
    if (name == "--shard") return step == TilesStep::Tiles;
    return name == "--work";
}

const char* stepWord(TilesStep step) {
    switch (step) {
        case TilesStep::Plan:
            return "plan";
        case TilesStep::Sweep:
            return "sweep";
        case TilesStep::Tiles:
            return "tile";
        case TilesStep::Join:
            return "join";
        case TilesStep::Labels:
            return "labels";
        case TilesStep::Whole:
            break;
    }
    return "a whole run";
}

TileShare parseShare(const std::string& text) {
    const size_t slash = text.find('/');
    const std::optional<int64_t> part =
        slash == std::string::npos ? std::nullopt : parseLongCount(text.substr(0, slash));
    const std::optional<int64_t> parts =
        slash == std::string::npos ? std::nullopt : parseLongCount(text.substr(slash + 1));
    if (!part || !parts || *part >= *parts) {
        throw TilesUsageError("--shard wants K/N with 0 <= K < N, not '" + text + "'");
    }
    return {*part, *parts};
}

void setOption(TilesOptions& options, const std::string& name, const std::string& value) {
    if (name == "-o" || name == "-r" || name == "--work") {
        if (value.empty()) throw TilesUsageError(name + " wants a path, not an empty word");
        (name == "-o"   ? options.outputPath
         : name == "-r" ? options.regionsPath
                        : options.workFolder) = value;
    } else if (name == "--tile") {
        parseTileSize(value, options.tileWidth, options.tileHeight);
    } else if (name == "--threads") {
        const std::optional<int> threads = parseCount(value);
        if (!threads || *threads < 1 || *threads > kMaxThreads) {
            throw TilesUsageError("--threads wants a count from 1 to " +
                                  std::to_string(kMaxThreads) + ", not '" + value + "'");
        }
        options.threads = *threads;
    } else if (name == "--shard") {
        options.share = parseShare(value);
    } else {
        PhotoJob job;
        job.parameters = options.parameters;
        try {
            setJobOption(job, name, value);
        } catch (const BadOptionValue& e) {
            throw TilesUsageError(e.what());
        }
        options.parameters = job.parameters;
    }
}

void checkComplete(const TilesOptions& options) {
    const bool planning = options.step == TilesStep::Whole || options.step == TilesStep::Plan;
    if (planning && options.photoPath.empty()) throw TilesUsageError("no photo given");
    if (planning && options.outputPath.empty()) {
        throw TilesUsageError("no label file given: -o LABELS.tif or -o LABELS.npy");
    }
    if (options.step != TilesStep::Whole && options.workFolder.empty()) {
        throw TilesUsageError(std::string(stepWord(options.step)) + " wants --work FOLDER");
    }
}

}  // namespace

void parseTileSize(const std::string& text, int64_t& width, int64_t& height) {
    const size_t x = text.find('x');
    const std::optional<int64_t> w = parseLongCount(text.substr(0, x));
    const std::optional<int64_t> h =
        x == std::string::npos ? w : parseLongCount(text.substr(x + 1));
    if (!w || !h || *w < kMinTileSide || *h < kMinTileSide) {
        throw TilesUsageError("--tile wants a size N or WxH of whole numbers from " +
                              std::to_string(kMinTileSide) + " up, not '" + text + "'");
    }
    width = *w;
    height = *h;
}

TilesOptions parseTilesOptions(const std::vector<std::string>& words) {
    TilesOptions options;
    for (const std::string& word : words) {
        options.help |= word == "-h" || word == "--help";
        options.version |= word == "--version";
    }
    if (options.help || options.version) return options;
    size_t i = 0;
    if (!words.empty()) {
        const std::string& first = words[0];
        for (TilesStep step : {TilesStep::Plan, TilesStep::Sweep, TilesStep::Tiles, TilesStep::Join,
                               TilesStep::Labels}) {
            if (first == stepWord(step)) options.step = step;
        }
        if (options.step != TilesStep::Whole) i = 1;
    }
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 2 || word[0] != '-') {
            if (!options.photoPath.empty()) {
                throw TilesUsageError("one photo only: '" + options.photoPath + "' and '" + word +
                                      "'");
            }
            options.photoPath = word;
            continue;
        }
        const OptionWord option = splitOptionWord(word);
        if (!takesValue(option.name)) throw TilesUsageError("unknown option '" + word + "'");
        if (!allowedIn(option.name, options.step)) {
            throw TilesUsageError(option.name + " has no use in " + stepWord(options.step));
        }
        if (!option.joined && i + 1 == words.size()) {
            throw TilesUsageError("option " + option.name + " wants a value");
        }
        setOption(options, option.name, option.joined ? *option.joined : words[++i]);
    }
    const bool planning = options.step == TilesStep::Whole || options.step == TilesStep::Plan;
    if (!planning && !options.photoPath.empty()) {
        throw TilesUsageError(std::string(stepWord(options.step)) +
                              " reads the photo named by plan, not '" + options.photoPath + "'");
    }
    checkComplete(options);
    return options;
}

std::string tilesUsage() {
    return "Usage: segmora-tiles PHOTO.tif -o LABELS.tif|LABELS.npy [OPTION VALUE]...\n"
           "       segmora-tiles plan PHOTO.tif -o LABELS --work FOLDER [OPTION VALUE]...\n"
           "       segmora-tiles sweep --work FOLDER\n"
           "       segmora-tiles tile --work FOLDER [--shard K/N] [--threads N]\n"
           "       segmora-tiles join --work FOLDER\n"
           "       segmora-tiles labels --work FOLDER\n"
           "Segments a photo of any size tile by tile, with the labels Segmora gives it in\n"
           "one piece; prints their number. The photo: a TIFF or BigTIFF of 8-bit grey or\n"
           "colour, striped or tiled. The labels: a tiled BigTIFF or a .npy file, 32-bit\n"
           "while the count is below 2^31, else 64-bit.\n"
           "  -o LABELS         label file, .tif, .tiff or .npy\n"
           "  -r REGIONS.npy    region ids, an integer .npy array of the photo's shape: no\n"
           "                    superpixel crosses two\n"
           "  --tile N|WxH      tile size (default 4096); larger than the photo: one tile\n"
           "  --work FOLDER     the run's files (default: a fresh folder beside LABELS,\n"
           "                    removed at the end); a run again with the same folder and\n"
           "                    options redoes only the tiles not finished\n"
           "  --threads N       tiles at once (default: one per processor)\n"
           "  --shard K/N       tile: only the tiles at positions K, K+N, ... (from 0)\n"
           "  --threshold T     merges within the size cap: lower splits more (default " +
           numberText(kDefaultThreshold) +
           ")\n"
           "  --sigma S         Gaussian smoothing before the edges (default 0: none)\n"
           "  --cap-divisor N   at most pixels/N + 20 pixels a superpixel (default " +
           std::to_string(kPhotoCapDivisor) + ", " + std::to_string(kPhotoCapDivisorWithRegions) +
           " with regions)\n"
           "  --min-size N      smaller superpixels are absorbed by a neighbour (default " +
           std::to_string(kMinSegmentSize) +
           ")\n"
           "  -h, --help        this help\n"
           "  --version         the version\n"
           "plan writes the run's description into FOLDER and prints the number of tiles;\n"
           "sweep reads the photo's rows once for its flat areas (tile wants it first),\n"
           "tile segments the tiles not finished yet, join joins them, labels writes\n"
           "LABELS. See docs/huge-images.md.\n";
}

}  // namespace segmora
