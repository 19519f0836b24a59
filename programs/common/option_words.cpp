#include "option_words.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "segmora_version.h"

namespace segmora {

OptionWord splitOptionWord(const std::string& word) {
    if (word.compare(0, 2, "--") == 0) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos) return {word, std::nullopt};
        return {word.substr(0, equals), word.substr(equals + 1)};
    }
    if (word.size() > 2 && word[0] == '-') return {word.substr(0, 2), word.substr(2)};
    return {word, std::nullopt};
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string versionLine(const std::string& program) {
    return program + " " + SEGMORA_VERSION;
}

std::optional<int64_t> parseLongCount(const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<int> parseCount(const std::string& text) {
    const std::optional<int64_t> value = parseLongCount(text);
    if (!value || *value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(*value);
}

}  // namespace segmora
