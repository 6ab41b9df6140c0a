#include "hostsim/threads.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace hostsim {

unsigned helperThreads() {
    unsigned total = std::thread::hardware_concurrency();
    if (total == 0) total = 1;
    total = std::min(total, 4u);
    if (const char* cap = std::getenv("TALVEX_HOST_THREADS")) {
        const int wanted = std::atoi(cap);
        if (wanted >= 1) total = std::min(total, static_cast<unsigned>(wanted));
    }
    return total - 1;
}

}  // namespace hostsim
