// How many threads the host may put to work on one task: the processors,
// at most 4, or fewer when TALVEX_HOST_THREADS=N says so (1: no helpers).
#pragma once

namespace hostsim {

// Threads worth starting besides the caller's.
unsigned helperThreads();

}  // namespace hostsim
