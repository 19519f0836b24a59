#include "batch_options.h"

#include <charconv>

#include "job_options.h"
#include "option_words.h"

namespace segmora {

namespace {

constexpr int kMaxJobs = 4096;

int parseJobs(const std::string& word, const std::string& text) {
    const std::optional<int> jobs = parseCount(text);
    if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
        throw UsageError(word + " wants a job count from 1 to " + std::to_string(kMaxJobs) +
                         ", not '" + text + "'");
    }
    return *jobs;
}

using Setter = void (*)(BatchOptions&, const std::string& word, const std::string& value);

// One option of the command line: its short and long spelling (either may be empty) and
// what its value sets; options without a value have no `set` but a `flag`.
struct BatchOption {
    const char* shortName;
    const char* longName;
    Setter set;
    bool BatchOptions::*flag;
};

void setFolder(std::string& folder, const std::string& word, const std::string& value) {
    if (value.empty()) throw UsageError(word + " wants a value, not an empty word");
    folder = value;
}

const std::vector<BatchOption>& batchOptionTable() {
    static const std::vector<BatchOption> table = {
        {"-o", "",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             setFolder(o.outputDir, w, v);
         },
         nullptr},
        {"-r", "",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             setFolder(o.regionDir, w, v);
         },
         nullptr},
        {"", "--masks",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             setFolder(o.maskDir, w, v);
         },
         nullptr},
        {"-v", "",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             setFolder(o.pictureDir, w, v);
         },
         nullptr},
        {"", "--mean-pictures",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             setFolder(o.meanPictureDir, w, v);
         },
         nullptr},
        {"-j", "--jobs",
         [](BatchOptions& o, const std::string& w, const std::string& v) {
             o.jobs = parseJobs(w, v);
         },
         nullptr},
        {"", "--shard",
         [](BatchOptions& o, const std::string&, const std::string& v) {
             const std::optional<Shard> shard = parseShard(v);
             if (!shard) throw UsageError("--shard wants K/N with 0 <= K < N, not '" + v + "'");
             o.shard = *shard;
         },
         nullptr},
        {"-R", "--recursive", nullptr, &BatchOptions::recursive},
        {"-0", "--null", nullptr, &BatchOptions::nullSeparated},
        {"", "--resume", nullptr, &BatchOptions::resume},
        {"", "--graph", nullptr, &BatchOptions::graph},
        {"", "--no-sync", nullptr, &BatchOptions::noSync},
        {"-h", "--help", nullptr, &BatchOptions::help},
        {"", "--version", nullptr, &BatchOptions::version},
    };
    return table;
}

// The option that `word` starts, and the value joined to it (after '=' or a short
// option's letter) when there is one.
const BatchOption* findOption(const std::string& word, std::string& name,
                              std::optional<std::string>& joined) {
    OptionWord split = splitOptionWord(word);
    name = std::move(split.name);
    joined = std::move(split.joined);
    for (const BatchOption& option : batchOptionTable()) {
        if (name == option.shortName || name == option.longName) return &option;
    }
    return nullptr;
}

// Reads the option at words[i] (and its value), advancing i past what it took.
void readOption(const std::vector<std::string>& words, size_t& i, BatchOptions& options) {
    const std::string& word = words[i];
    std::string name;
    std::optional<std::string> joined;
    const BatchOption* option = findOption(word, name, joined);
    const bool photoOption = option == nullptr && isJobOption(name);
    if (option == nullptr && isJobFlag(name)) {
        if (joined) throw UsageError(name + " takes no value, not '" + word + "'");
        setJobFlag(options.photoJob, name);
        return;
    }
    if (option == nullptr && !photoOption) throw UsageError("unknown option '" + word + "'");
    if (option != nullptr && option->flag != nullptr) {
        if (joined) throw UsageError(name + " takes no value, not '" + word + "'");
        options.*(option->flag) = true;
        return;
    }
    if (!joined && i + 1 == words.size()) throw UsageError(name + " wants a value");
    const std::string value = joined ? *joined : words[++i];
    if (photoOption) {
        try {
            setJobOption(options.photoJob, name, value);
        } catch (const BadOptionValue& e) {
            throw UsageError(e.what());
        }
    } else {
        option->set(options, name, value);
    }
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
        } else if (word == "--") {
            optionsEnded = true;
        } else {
            readOption(words, i, options);
        }
    }
    options.durable = !options.noSync;
    if (options.help || options.version) return options;
    if (options.outputDir.empty()) throw UsageError("no output folder: give one with -o");
    if (options.inputs.empty()) throw UsageError("no photos: give photos, folders or -");
    for (const std::string& input : options.inputs) {
        if (input.empty()) throw UsageError("an input is an empty word");
    }
    return options;
}

std::string batchUsage() {
    return "usage: segmora-batch -o OUT_DIR [OPTION]... INPUT...\n"
           "  INPUT              a photo, a folder (the photos in it) or - (photo paths on\n"
           "                     standard input, one per line; NUL-ended with -0)\n"
           "  -o OUT_DIR         label file OUT_DIR/NAME.csv (or .png, .npy, .tiff by --format)\n"
           "                     for each photo NAME.EXT\n"
           "  -j, --jobs JOBS    photos segmented at once (default: one per processor)\n"
           "  -r REGION_DIR      region map REGION_DIR/NAME.txt (or .png, .npy, .tif, .tiff,\n"
           "                     .csv: a label folder of an earlier run feeds back in)\n"
           "  --masks MASK_DIR   segment only inside the mask MASK_DIR/NAME.png (or .npy,\n"
           "                     .txt, .tif, .tiff, .csv; read as Segmora -m reads it)\n"
           "  -v PICTURE_DIR     boundary picture PICTURE_DIR/NAME.png for each photo\n"
           "  --mean-pictures DIR\n"
           "                     DIR/NAME.png: each superpixel painted in its mean colour\n"
           "  -R, --recursive    search folders below the given ones too; OUT_DIR, REGION_DIR,\n"
           "                     PICTURE_DIR and the mean-picture DIR mirror the folders below\n"
           "  -0, --null         the paths on standard input end with a NUL byte, not a line\n"
           "  --shard K/N        only the photos at positions K, K+N, K+2N, ... (from 0) of the\n"
           "                     path-ordered list\n"
           "  --graph            superpixel graph OUT_DIR/NAME.nodes.csv and NAME.edges.csv\n"
           "  --resume           skip photos whose label file (picture, graph) an earlier run\n"
           "                     finished with the same knobs, format and region file; redo\n"
           "                     the others\n"
           "  --no-sync          do not flush each file to the disk before it takes its name\n"
           "                     (faster, but a power cut may leave files cut short)\n" +
           jobOptionsUsage(2, 21, "csv") +
           "  -h, --help         this help\n"
           "  --version          the version\n"
           "Values follow their option as the next word, or joined: -j4, --jobs=4.\n"
           "Prints PHOTO<TAB>SUPERPIXELS for each finished photo (backslash, tab, line feed\n"
           "and carriage return in PHOTO written as \\\\, \\t, \\n, \\r). Exit status: 0 all\n"
           "done, 1 some photos failed, 2 bad command line or output folder, 128 + N stopped\n"
           "by signal N.\n";
}

}  // namespace segmora
