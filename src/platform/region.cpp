#include "platform/region.h"

#include <sys/mman.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

void* RegionReserve(uintptr_t address, size_t size) {
  if (size == 0) return nullptr;
  void* want = reinterpret_cast<void*>(address);
  void* got = mmap(want, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE,
                   -1, 0);
  if (got == MAP_FAILED) return nullptr;
  if (got != want) {  // an old kernel took the flag as a hint
    munmap(got, size);
    return nullptr;
  }
  return got;
}

bool RegionCommit(void* address, size_t size) {
  return size && mprotect(address, size, PROT_READ | PROT_WRITE) == 0;
}

bool RegionRelease(void* address, size_t size) { return munmap(address, size) == 0; }
