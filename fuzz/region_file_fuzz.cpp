// The region-file reader on arbitrary file contents. A read must either fill
// the map exactly as a plain split (at white space, and at single commas between
// numbers) and integer parse of the text says, or fail with a message that names the
// file; never crash or accept a malformed number.
#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <vector>

#include "fuzz_data.h"
#include "region_text.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The numbers the reader should return, or nothing when it should fail.
std::optional<std::vector<int>> expectedCells(std::string text, size_t cells) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<int> numbers;
    size_t i = 0;
    while (numbers.size() < cells) {
        while (i < text.size() && isBlank(text[i])) ++i;
        size_t end = i;
        while (end < text.size() && !isBlank(text[end]) && text[end] != ',') ++end;
        if (end == i) return std::nullopt;
        if (end - i > 64) return std::nullopt;  // longer than any number, leading zeros included
        // from_chars takes no plus sign, and "-+1" must stay malformed.
        size_t begin = i;
        if (text[begin] == '+' && end - begin > 1 && text[begin + 1] != '-') ++begin;
        int value = 0;
        const auto [stop, error] = std::from_chars(text.data() + begin, text.data() + end, value);
        if (error != std::errc() || stop != text.data() + end) return std::nullopt;
        numbers.push_back(value);
        i = end;
        if (numbers.size() == cells) break;
        // One comma may follow a number, with white space on either side.
        while (i < text.size() && isBlank(text[i])) ++i;
        if (i < text.size() && text[i] == ',') {
            ++i;
            while (i < text.size() && isBlank(text[i])) ++i;
            if (i < text.size() && text[i] == ',') return std::nullopt;
        }
    }
    return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    segmora::fuzz::FuzzData in(data, size);
    const int rows = 1 + in.below(6), cols = 1 + in.below(6);
    const std::string text = in.rest();
    const std::string path = segmora::fuzz::scratchDirectory() + "/regions.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;

    cv::Mat_<int> regions(rows, cols, 1);
    std::string message;
    try {
        segmora::readRegionFile(path, regions);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    const auto expected = expectedCells(text, regions.total());
    segmora::fuzz::check(message.empty() == expected.has_value(),
                         expected ? "valid file rejected: " + message : "malformed file accepted");
    if (expected) {
        segmora::fuzz::check(std::equal(regions.begin(), regions.end(), expected->begin()),
                             "cells differ from the file's numbers");
    } else {
        segmora::fuzz::check(message.find("region file '" + path + "'") != std::string::npos,
                             "message does not name the file: " + message);
    }
    return 0;
}
