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
// Access to a committed range: read-write, or none (a guard that faults once).
bool RegionProtect(void* address, size_t size, bool access);

// Guard-page recording: every page of [base, base + size) is guarded; the first access
// to a guarded page opens that page again and calls `onFault` with the data address
// and the instruction address, then the access is repeated. Faults outside the range
// keep their normal meaning. The callback runs in signal context: it may only re-arm
// pages (RegionProtect) and write memory prepared beforehand.
using GuardCallback = void (*)(uintptr_t address, uintptr_t instruction);
bool GuardStart(uintptr_t base, size_t size, size_t pageSize, GuardCallback onFault);
// Opens the whole range again and restores the previous fault handler; false when the
// recording stopped early because a fault in it came without its address.
bool GuardStop();
