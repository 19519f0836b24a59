#include "text_hash.h"

#include <cstdio>

namespace segmora {

std::string hashText(const std::string& text) {
    unsigned long long hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", hash);
    return digits;
}

}  // namespace segmora
