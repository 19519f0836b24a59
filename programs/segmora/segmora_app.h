#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace segmora {

// Runs the whole program on the words after the program name: progress
// lines go to `out`, error messages to `err`. Returns the exit status:
// 0 on success, 1 on an error, -1 on bad usage.
int runSegmora(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace segmora
