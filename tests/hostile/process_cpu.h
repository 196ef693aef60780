// Processor time of the whole process, for showing that a wait blocks instead of spinning.
#pragma once

#include <time.h>

namespace tovalin::test {

inline double ProcessCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace tovalin::test
