// The fixed memory region that holds the compacted rule database.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uintptr_t kFixedRegionAddress = 0x60000000;

// Reserve address space at the fixed address without access; fails when any of it is taken.
void* RegionReserve(uintptr_t address, size_t size);
// Make a reserved range readable and writable.
bool RegionCommit(void* address, size_t size);
bool RegionRelease(void* address, size_t size);
