// Clock, page size and sleep from the system, behind plain calls so the rest of the
// program needs no system headers for them.
#include "platform/timer.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

int64_t PerfCounter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

int64_t PerfFrequency() { return 1000000000; }

long SystemPageSize() {
  long n = sysconf(_SC_PAGESIZE);
  return n > 0 ? n : 4096;
}

void SleepMilliseconds(int ms) {
  if (ms <= 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
