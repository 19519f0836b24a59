#include "option_words.h"

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

std::string versionLine(const std::string& program) {
    return program + " " + SEGMORA_VERSION;
}

}  // namespace segmora
