#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace segmora {

// An option word of a command line split into the option's name and the value joined to
// it: a long option ("--name") joins its value after '=' ("--threshold=300"), a short one
// ("-x") right after its letter ("-j4"). A word without a joined value is the name alone.
struct OptionWord {
    std::string name;
    std::optional<std::string> joined;
};

OptionWord splitOptionWord(const std::string& word);

// A whole decimal number of digits only (no sign, no spaces) that fits an int, as counts
// such as -j take them.
std::optional<int> parseCount(const std::string& text);
// The same for numbers that fit 63 bits.
std::optional<int64_t> parseLongCount(const std::string& text);

// A default or limit of segmora.h as a help text says it: "500", "0", "100".
std::string numberText(double value);

// "PROGRAM VERSION" (one line, no line feed): what --version prints.
std::string versionLine(const std::string& program);

}  // namespace segmora
