#pragma once
#include <cstdint>

// Monotonic high-resolution counter in nanoseconds; its frequency is 1e9.
int64_t PerfCounter();
int64_t PerfFrequency();
long SystemPageSize();
void SleepMilliseconds(int ms);  // 0 yields the processor
