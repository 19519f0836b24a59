#include "sweep_options.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "job_options.h"
#include "option_words.h"
#include "photo_job.h"

namespace segmora {

namespace {

constexpr int kMaxJobs = 4096;
constexpr size_t kMaxSettings = 10000;
constexpr size_t kUsageColumn = 23;  // where the descriptions of the usage start

// The knobs a sweep varies, in the order of their combinations (the last varies fastest):
// each knob's option, its help and how it is read from and set in the knobs.
struct SweptKnob {
    const char* option;
    const char* jobOption;  // the programs' option that checks one value
    std::string help;  // its default follows
    double (*of)(const Parameters&);
    void (*set)(Parameters&, const Parameters& from);
};

const std::vector<SweptKnob>& sweptKnobs() {
    static const std::vector<SweptKnob> knobs = {
        {"--threshold", "--threshold", "merge thresholds, e.g. 100,300,1000",
         [](const Parameters& k) { return double(k.threshold); },
         [](Parameters& k, const Parameters& from) { k.threshold = from.threshold; }},
        {"--sigma", "--sigma", "smoothing, 0 to " + numberText(kMaxSigma),
         [](const Parameters& k) { return double(k.sigma); },
         [](Parameters& k, const Parameters& from) { k.sigma = from.sigma; }},
        {"--cap-divisor", "--cap-divisor", "cap divisors >= 1",
         [](const Parameters& k) { return double(k.capDivisor); },
         [](Parameters& k, const Parameters& from) { k.capDivisor = from.capDivisor; }},
        {"--min-size", "--min-size", "minimum sizes >= 0",
         [](const Parameters& k) { return double(k.minSize); },
         [](Parameters& k, const Parameters& from) { k.minSize = from.minSize; }},
        {"--counts", "--count", "exact superpixel counts, e.g. 100,200,500: each photo\n"
         "                       cut to each count from one run of the other knobs",
         [](const Parameters& k) { return double(k.count); },
         [](Parameters& k, const Parameters& from) { k.count = from.count; }},
    };
    return knobs;
}

std::vector<std::string> split(const std::string& list) {
    std::vector<std::string> items;
    size_t from = 0;
    while (true) {
        const size_t comma = list.find(',', from);
        items.push_back(list.substr(from, comma - from));
        if (comma == std::string::npos) return items;
        from = comma + 1;
    }
}

// The knob's values, each checked by the programs' own rules into a copy of `base`. A value
// equal to an earlier one as the engine takes it (300 and 300.00001 as float thresholds)
// is taken once, and said so on `notes`.
std::vector<PhotoJob> knobValues(size_t knob, const std::string& list,
                                 std::vector<std::string>& notes) {
    const SweptKnob& swept = sweptKnobs()[knob];
    std::vector<PhotoJob> values;
    std::vector<std::string> texts;
    for (const std::string& item : split(list)) {
        PhotoJob job;
        try {
            setJobOption(job, swept.jobOption, item);
        } catch (const BadOptionValue& e) {
            const std::string message = e.what();  // names the programs' option
            throw SweepUsageError(swept.option + message.substr(std::string(swept.jobOption).size()));
        }
        const double value = swept.of(job.parameters);  // as the engine takes it
        const auto same = [&](const PhotoJob& v) { return swept.of(v.parameters) == value; };
        const auto earlier = std::find_if(values.begin(), values.end(), same);
        if (earlier != values.end()) {
            notes.push_back(std::string(swept.option) + ": '" + item + "' is the engine's '" +
                            texts[size_t(earlier - values.begin())] + "'; taken once");
            continue;
        }
        values.push_back(job);
        texts.push_back(item);
    }
    return values;
}

std::vector<Parameters> combinations(const std::vector<std::vector<PhotoJob>>& lists) {
    std::vector<Parameters> settings{photoParameters(false)};
    for (size_t knob = 0; knob < lists.size(); ++knob) {
        if (lists[knob].empty()) continue;
        std::vector<Parameters> next;
        for (const Parameters& p : settings) {
            for (const PhotoJob& value : lists[knob]) {
                next.push_back(p);
                sweptKnobs()[knob].set(next.back(), value.parameters);
            }
        }
        if (next.size() > kMaxSettings) {
            throw SweepUsageError("more than " + std::to_string(kMaxSettings) +
                                  " combinations of knob values");
        }
        settings = std::move(next);
    }
    for (Parameters& p : settings) p.threads = 1;
    return settings;
}

void setOption(SweepOptions& o, std::vector<std::vector<PhotoJob>>& lists, const std::string& name,
               const std::string& value) {
    for (size_t knob = 0; knob < lists.size(); ++knob) {
        if (name == sweptKnobs()[knob].option) {
            if (!lists[knob].empty()) throw SweepUsageError(name + " is given twice");
            lists[knob] = knobValues(knob, value, o.notes);
            return;
        }
    }
    if (name == "-t" || name == "-o" || name == "--masks") {
        if (value.empty()) throw SweepUsageError(name + " wants a folder, not an empty word");
        (name == "-t" ? o.truthDir : name == "-o" ? o.outputDir : o.maskDir) = value;
    } else if (name == "--tolerance") {
        const std::optional<int> r = parseCount(value);
        if (!r) throw SweepUsageError("--tolerance wants a whole number >= 0, not '" + value + "'");
        o.evaluation.tolerance = *r;
    } else if (name == "-j" || name == "--jobs") {
        const std::optional<int> jobs = parseCount(value);
        if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
            throw SweepUsageError(name + " wants a job count from 1 to " +
                                  std::to_string(kMaxJobs) + ", not '" + value + "'");
        }
        o.jobs = *jobs;
    } else {
        throw SweepUsageError("unknown option '" + name + "'");
    }
}

bool takesValue(const std::string& name) {
    for (const SweptKnob& knob : sweptKnobs()) {
        if (name == knob.option) return true;
    }
    return name == "-t" || name == "-o" || name == "--masks" || name == "--tolerance" ||
           name == "-j" || name == "--jobs";
}

bool isFlag(SweepOptions& o, const std::string& word) {
    if (word == "--resume") return o.resume = true;
    if (word == "-R" || word == "--recursive") return o.recursive = true;
    if (word == "-0" || word == "--null") return o.nullSeparated = true;
    if (word == "--require-truths") return o.requireTruths = true;
    if (word == "--ignore-zero") return o.evaluation.ignoreZero = true;
    if (word == "--ignore-orientation") return o.ignoreOrientation = true;
    if (word == "-q" || word == "--quiet") return o.quiet = true;
    if (word == "-h" || word == "--help") return o.help = true;
    if (word == "--version") return o.version = true;
    return false;
}

// The knobs' usage lines, each with its default in a sweep (without regions).
std::string knobsUsage() {
    const Parameters defaults = photoParameters(false);
    std::string text;
    for (const SweptKnob& knob : sweptKnobs()) {
        std::string line = std::string("  ") + knob.option + " LIST";
        line.resize(kUsageColumn, ' ');
        const bool counted = std::string(knob.jobOption) == "--count";  // no count by default
        text += line + knob.help +
                (counted ? "\n" : " (default " + numberText(knob.of(defaults)) + ")\n");
    }
    return text;
}

}  // namespace

SweepOptions parseSweepOptions(const std::vector<std::string>& words) {
    SweepOptions o;
    std::vector<std::vector<PhotoJob>> lists(sweptKnobs().size());
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            o.inputs.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (!isFlag(o, word)) {
            const OptionWord split = splitOptionWord(word);
            const std::string& name = split.name;
            if (!takesValue(name)) throw SweepUsageError("unknown option '" + word + "'");
            std::string value;
            if (split.joined) {
                value = *split.joined;
            } else if (i + 1 < words.size()) {
                value = words[++i];
            } else {
                throw SweepUsageError(name + " wants a value");
            }
            setOption(o, lists, name, value);
        }
    }
    if (o.help || o.version) return o;
    if (o.truthDir.empty()) throw SweepUsageError("no ground-truth folder: give one with -t");
    if (o.outputDir.empty()) throw SweepUsageError("no output folder: give one with -o");
    if (o.inputs.empty()) throw SweepUsageError("no photos: give photos or folders");
    for (const std::string& input : o.inputs) {
        if (input.empty()) throw SweepUsageError("an input is an empty word");
    }
    o.settings = combinations(lists);
    return o;
}

std::string sweepUsage() {
    return "usage: segmora-sweep -t TRUTH_DIR -o OUT_DIR [OPTION]... INPUT...\n"
           "Segments every photo for each combination of knob values, scores it against\n"
           "the photo's ground truths TRUTH_DIR/NAME{,_*,-*,.*}.{png,npy,csv} and writes\n"
           "OUT_DIR/sweep.csv (one row per photo and setting), OUT_DIR/summary.csv (the\n"
           "means and standard deviations per setting) and OUT_DIR/sweep.png (boundary\n"
           "recall and undersegmentation error against the mean superpixel count).\n"
           "Photos without a ground truth are counted apart, not scored, and listed in\n"
           "OUT_DIR/no-truth.txt.\n"
           "  INPUT                a photo, a folder (the photos in it) or - (the paths on\n"
           "                       standard input, one a line)\n"
           "  -R, --recursive      search folders below the given ones too; a photo found\n"
           "                       in SUB/ has its truths in TRUTH_DIR/SUB/\n"
           "  -0, --null           the paths on standard input end with a NUL byte\n"
           "  --require-truths     a photo without a ground truth is a failure\n"
           "  --masks MASK_DIR     segment and score only inside MASK_DIR/NAME.png (or\n"
           "                       .npy, .txt, .tif, .tiff, .csv; read as Segmora -m reads it)\n" +
           knobsUsage() + "  --tolerance N        boundary tolerance in pixels (default " +
           std::to_string(EvaluationOptions{}.tolerance) +
           ")\n"
           "  --ignore-zero        label 0 in a ground truth marks unlabelled pixels\n"
           "  --ignore-orientation take the photos as stored, not turned as they record\n"
           "  -j, --jobs N         photos at once (default: one per processor)\n"
           "  --resume             keep the rows of photos a stopped run finished\n"
           "  -q, --quiet          no progress line\n"
           "  -h, --help           this text\n"
           "  --version            the version\n"
           "Exit status: 0 when every photo with a ground truth was scored, 1 when any\n"
           "failed, 2 for a bad command line.\n";
}

}  // namespace segmora
