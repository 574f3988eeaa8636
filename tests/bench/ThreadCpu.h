#pragma once

#include <ctime>

// CPU seconds of the calling thread alone (a simulator in a thread of its own is not counted).
inline double threadCpuSeconds() {
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
#else
    return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}
