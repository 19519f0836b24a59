#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace segmora {

class StopSignals;

// segmora-tiles: reads the command line and runs what it asks for. The count line goes to
// `out`, messages and the progress line to `messageFd`. Returns the exit status: 0, 1 for
// a run that failed, 2 for a command line that cannot be run, 128 + N when signal N
// stopped it.
int runSegmoraTiles(const std::vector<std::string>& words, StopSignals& signals, std::ostream& out,
                    int messageFd);

}  // namespace segmora
