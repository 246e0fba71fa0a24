#pragma once
#include <cstddef>
#include <cstdint>

// Loads the source dump: the fixed-region image at its fixed address, the root and
// one tracked block per slot (the slot list ends with a null). 0 on success, 1 after
// printing the reason.
int LoadSourceDump(const char* name, void* root, int rootSize, void** const* slots, uint32_t* sizes = nullptr);

// Releases the fixed region when it is held; false when the release failed.
bool ReleaseFixedRegion();
