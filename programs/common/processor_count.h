#pragma once

namespace segmora {

// The processors this process may run on (its CPU affinity), at least 1.
int processorCount();

}  // namespace segmora
