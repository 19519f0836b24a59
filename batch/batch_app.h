#pragma once

#include <istream>
#include <string>
#include <vector>

#include "stop_signals.h"

namespace segmora {

// segmora-batch on the words after the program name: builds the photo list (reading
// `pathList` for "-"), segments the photos and returns the exit status: 0 when every photo
// succeeded, 1 when any failed, 2 for a bad command line, 128 + the signal's number when
// `signals` stopped it.
int runSegmoraBatch(const std::vector<std::string>& words, std::istream& pathList,
                    StopSignals& signals);

}  // namespace segmora
