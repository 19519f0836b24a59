#include "batch_options.h"

#include <charconv>

namespace segmora {

namespace {

constexpr int kMaxJobs = 4096;

// A whole decimal number of digits only (no sign, no spaces) that fits an int.
std::optional<int> parseCount(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

int parseJobs(const std::string& text) {
    const std::optional<int> jobs = parseCount(text);
    if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
        throw UsageError("-j wants a job count from 1 to " + std::to_string(kMaxJobs) + ", not '" +
                         text + "'");
    }
    return *jobs;
}

}  // namespace

std::optional<Shard> parseShard(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::optional<int> index = parseCount(text.substr(0, slash));
    const std::optional<int> count = parseCount(text.substr(slash + 1));
    if (!index || !count || *index >= *count) return std::nullopt;
    return Shard{*index, *count};
}

BatchOptions parseBatchOptions(const std::vector<std::string>& words) {
    BatchOptions options;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
            options.inputs.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            options.help = true;
        } else if (word == "--resume") {
            options.resume = true;
        } else if (word == "--no-sync") {
            options.durable = false;
        } else if (word == "-o" || word == "-r" || word == "-v" || word == "-j" ||
                   word == "--shard") {
            if (i + 1 == words.size()) throw UsageError(word + " wants a value");
            const std::string& value = words[++i];
            if (value.empty()) throw UsageError(word + " wants a value, not an empty word");
            if (word == "-o") options.outputDir = value;
            if (word == "-r") options.regionDir = value;
            if (word == "-v") options.pictureDir = value;
            if (word == "-j") options.jobs = parseJobs(value);
            if (word == "--shard") {
                const std::optional<Shard> shard = parseShard(value);
                if (!shard)
                    throw UsageError("--shard wants K/N with 0 <= K < N, not '" + value + "'");
                options.shard = *shard;
            }
        } else {
            throw UsageError("unknown option '" + word + "'");
        }
    }
    if (options.help) return options;
    if (options.outputDir.empty()) throw UsageError("no output folder: give one with -o");
    if (options.inputs.empty()) throw UsageError("no photos: give photos, folders or -");
    for (const std::string& input : options.inputs) {
        if (input.empty()) throw UsageError("an input is an empty word");
    }
    return options;
}

const char* batchUsage() {
    return "usage: segmora-batch -o OUT_DIR [-j JOBS] [-r REGION_DIR] [-v PICTURE_DIR]\n"
           "                     [--shard K/N] [--resume] [--no-sync] INPUT...\n"
           "  INPUT           a photo, a folder (the photos directly in it) or - (photo\n"
           "                  paths on standard input, one per line)\n"
           "  -o OUT_DIR      label file OUT_DIR/NAME.csv for each photo NAME.EXT\n"
           "  -j JOBS         photos segmented at once (default: one per processor)\n"
           "  -r REGION_DIR   region file REGION_DIR/NAME.txt for each photo\n"
           "  -v PICTURE_DIR  boundary picture PICTURE_DIR/NAME.png for each photo\n"
           "  --shard K/N     only the photos at positions K, K+N, K+2N, ... (from 0) of the\n"
           "                  name-ordered list\n"
           "  --resume        skip photos whose label file (and picture) an earlier run\n"
           "                  finished; redo the others\n"
           "  --no-sync       do not flush each file to the disk before it takes its name\n"
           "                  (faster, but a power cut may leave files cut short)\n"
           "Prints PHOTO<TAB>SUPERPIXELS for each finished photo (backslash, tab, line feed\n"
           "and carriage return in PHOTO written as \\\\, \\t, \\n, \\r). Exit status: 0 all\n"
           "done, 1 some photos failed, 2 bad command line or output folder, 128 + N stopped\n"
           "by signal N.\n";
}

}  // namespace segmora
