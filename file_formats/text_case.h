// Lower case of ASCII text, for names matched in any case: file extensions, host option
// names. Header only, so that the MEX functions compile it in too.
#pragma once

#include <cctype>
#include <string>

namespace segmora {

inline std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace segmora
