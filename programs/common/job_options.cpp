#include "job_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "option_words.h"

namespace segmora {

namespace {

// A decimal number: digits, at most one point, an optional exponent; a leading sign.
std::optional<double> parseNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> parseWhole(const std::string& text, int lowest) {
    const std::optional<double> value = parseNumber(text);
    if (!value || *value != std::floor(*value) || *value < lowest ||
        *value > std::numeric_limits<int>::max() || text.find_first_of(".eE") != std::string::npos)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<float> parseFloat(const std::string& text, double highest) {
    const std::optional<double> value = parseNumber(text);
    if (!value || *value < 0 || *value > highest) return std::nullopt;
    return static_cast<float>(*value);
}

struct JobOption {
    const char* word;
    const char* valueName;
    std::string wants;  // for messages: "--sigma wants WANTS, not 'x'"
    std::string help;
};

const std::vector<JobOption>& jobOptions() {
    static const std::vector<JobOption> options = {
        {"--threshold", "T", "a number from 0 up",
         "merges within the size cap: lower splits more (default " + numberText(kDefaultThreshold) +
             ")"},
        {"--sigma", "S", "a number from 0 to " + numberText(kMaxSigma),
         "Gaussian smoothing before the edges (default " + numberText(kDefaultSigma) + ": none)"},
        {"--cap-divisor", "N", "a whole number from 1 up",
         "sets the scale: at most pixels/N + 20 pixels a superpixel,\n"
         "so about N or more of them (default " +
             std::to_string(kPhotoCapDivisor) + ", " + std::to_string(kPhotoCapDivisorWithRegions) +
             " with regions)"},
        {"--min-size", "N", "a whole number from 0 up",
         "smaller superpixels are absorbed by a neighbour (default " +
             std::to_string(kMinSegmentSize) + ")"},
        {"--bit-depth", "B", "a whole number from 8 to 16",
         "16-bit photos hold B-bit values: kept as value >> (B - 8)\n"
         "(default 16: the high byte; docs/knobs.md)"},
        {"--count", "N[,N...]", "whole numbers from 1 up, separated by commas",
         "exactly N superpixels, cut from the run the knobs make; several\n"
         "counts from one run, each output named NAME.N.EXT (docs/knobs.md)"},
        {"--format", "F", "csv, png, npy or tiff", "label file form: csv, png, npy or tiff"},
        {"--boundary-colour", "R,G,B", "red,green,blue, three whole numbers from 0 to 255",
         "-v's superpixel boundary colour (default 0,255,0: green)"},
        {"--region-colour", "R,G,B", "red,green,blue, three whole numbers from 0 to 255",
         "-v's region boundary colour (default 255,0,255: magenta)"},
        {"--boundary-mode", "M", "thin or thick",
         "-v lines: thin (1 pixel, default) or thick (2 pixels)"},
    };
    return options;
}

const JobOption* findOption(const std::string& word) {
    for (const JobOption& option : jobOptions()) {
        if (word == option.word) return &option;
    }
    return nullptr;
}

// "R,G,B", each a whole number from 0 to 255, as blue, green, red.
std::optional<cv::Vec3b> parseColour(const std::string& text) {
    cv::Vec3b bgr;
    size_t start = 0;
    for (int c = 2; c >= 0; --c) {
        const size_t comma = c > 0 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return std::nullopt;
        const std::string part = text.substr(start, comma - start);
        const std::optional<int> v = part.find_first_not_of("0123456789") == std::string::npos
                                         ? parseWhole(part, 0)
                                         : std::nullopt;
        if (!v || *v > 255) return std::nullopt;
        bgr[c] = static_cast<uint8_t>(*v);
        start = comma + 1;
    }
    return bgr;
}

bool applyPictureValue(BoundaryStyle& style, const std::string& word, const std::string& value) {
    if (word == "--boundary-mode") {
        if (value != "thin" && value != "thick") return false;
        style.mode = value == "thin" ? BoundaryMode::Thin : BoundaryMode::Thick;
        return true;
    }
    const std::optional<cv::Vec3b> colour = parseColour(value);
    if (colour) (word == "--boundary-colour" ? style.segmentColour : style.regionColour) = *colour;
    return colour.has_value();
}

// "N" or "N,N,...", each a whole number from 1 up.
std::optional<std::vector<int>> parseCounts(const std::string& text) {
    std::vector<int> counts;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<int> count = parseWhole(text.substr(start, comma - start), 1);
        if (!count) return std::nullopt;
        counts.push_back(*count);
        start = comma + 1;
    }
    return counts;
}

bool applyValue(PhotoJob& job, const std::string& word, const std::string& value) {
    Parameters& knobs = job.parameters;
    if (word == "--count") {
        const std::optional<std::vector<int>> counts = parseCounts(value);
        if (counts) job.counts = *counts;
        if (counts) knobs.count = counts->size() == 1 ? counts->front() : 0;
        return counts.has_value();
    }
    if (word == "--boundary-colour" || word == "--region-colour" || word == "--boundary-mode") {
        return applyPictureValue(job.pictureStyle, word, value);
    }
    if (word == "--threshold") {
        const std::optional<float> v = parseFloat(value, std::numeric_limits<float>::max());
        if (v) knobs.threshold = *v;
        return v.has_value();
    }
    if (word == "--sigma") {
        const std::optional<float> v = parseFloat(value, kMaxSigma);
        if (v) knobs.sigma = *v;
        return v.has_value();
    }
    if (word == "--bit-depth") {
        const std::optional<int> v = parseWhole(value, 8);
        if (v && *v <= 16) job.sampleBits = *v;
        return v && *v <= 16;
    }
    if (word == "--cap-divisor" || word == "--min-size") {
        const std::optional<int> v = parseWhole(value, word == "--min-size" ? 0 : 1);
        if (v) (word == "--min-size" ? knobs.minSize : knobs.capDivisor) = *v;
        return v.has_value();
    }
    const std::optional<LabelFormat> format = labelFormatNamed(value);
    if (format) job.labelFormat = *format;
    return format.has_value();
}

// What an option wants, said for a number above the largest it may be (which "from 0 up"
// does not tell); nothing for options whose words say their largest already.
std::optional<std::string> wantsAtMost(const std::string& word, double number) {
    if (word == "--threshold" && number > std::numeric_limits<float>::max())
        return "a number from 0 to 3.4028235e38 (the largest single-precision float)";
    if ((word == "--cap-divisor" || word == "--min-size") &&
        number > std::numeric_limits<int>::max()) {
        return std::string("a whole number from ") + (word == "--min-size" ? "0" : "1") + " to " +
               std::to_string(std::numeric_limits<int>::max());
    }
    return std::nullopt;
}

constexpr const char* kIgnoreOrientation = "--ignore-orientation";

}  // namespace

bool isJobOption(const std::string& word) {
    return findOption(word) != nullptr;
}

bool isJobFlag(const std::string& word) {
    return word == kIgnoreOrientation;
}

void setJobFlag(PhotoJob& job, const std::string& word) {
    if (!isJobFlag(word)) throw std::logic_error("not a photo flag: " + word);
    job.orientation = Orientation::Ignore;
}

void setJobOption(PhotoJob& job, const std::string& word, const std::string& value) {
    const JobOption* option = findOption(word);
    if (option == nullptr) throw std::logic_error("not a photo option: " + word);
    if (!applyValue(job, word, value)) {
        const std::optional<double> number = parseNumber(value);
        const std::optional<std::string> above = number ? wantsAtMost(word, *number) : std::nullopt;
        throw BadOptionValue(word + " wants " + above.value_or(option->wants) + ", not '" + value +
                             "'");
    }
}

std::string jobOptionsUsage(int indent, int column, const std::string& formatDefault) {
    std::string text;
    for (const JobOption& option : jobOptions()) {
        std::string line =
            std::string(static_cast<size_t>(indent), ' ') + option.word + " " + option.valueName;
        // A name that reaches the column has its description on the next line.
        const int width = static_cast<int>(line.size());
        if (width >= column) line += "\n";
        line.append(static_cast<size_t>(width >= column ? column : column - width), ' ');
        std::string help = option.help;
        if (std::string(option.word) == "--format") help += " (default: " + formatDefault + ")";
        // A description of two lines goes on below the first, at the same column.
        const size_t lineEnd = help.find('\n');
        if (lineEnd != std::string::npos) {
            help.insert(lineEnd + 1, std::string(static_cast<size_t>(column), ' '));
        }
        text += line + help + "\n";
    }
    // The flag's name reaches the column: its description goes on the lines below.
    const std::string margin(static_cast<size_t>(column), ' ');
    return text + std::string(static_cast<size_t>(indent), ' ') + kIgnoreOrientation + "\n" +
           margin + "take the pixels as stored (default: turn the photo upright\n" + margin +
           "by its Exif orientation, as OpenCV's reader does)\n";
}

}  // namespace segmora
