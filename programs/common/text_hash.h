// A fingerprint of a text that the programs write into their records (finished-file lists,
// the sweep's table): the same on every run, build and machine.
#pragma once

#include <string>

namespace segmora {

// 64-bit FNV-1a of `text`, as 16 lowercase hexadecimal digits.
std::string hashText(const std::string& text);

}  // namespace segmora
