// The Source rebuild of the debug runtime: build from Build/, lay the blocks out in the
// fixed region, watch one creation to learn which blocks are used together, lay them
// out again by that, and write the dump.
#pragma once
#include <cstdint>

#include "runtime.h"

namespace RUNTIME_NS {

// 0 when the compact Source is ready (the dump may still have failed to write), 1 when
// the tables could not be read. `start` is the performance counter at the start of the
// initialisation, for the "Init took" line.
int RebuildCompactSource(int64_t start);

}  // namespace RUNTIME_NS
