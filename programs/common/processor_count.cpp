#include "processor_count.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace segmora {

int processorCount() {
    cpu_set_t cpus;
    if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0) return std::max(1, CPU_COUNT(&cpus));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace segmora
