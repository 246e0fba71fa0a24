// The run driver: one batch of creatures from the input line to the viewer.
#pragma once
#include <cstdint>

#include "generator/char.h"
#include "random/repro.h"

#include "runtime.h"

struct ScreenBuffer;

namespace RUNTIME_NS {

// Its records, size and CR are what saving and replaying see of it.
struct Batch : ReplayRecords {
  Char* chars = nullptr;             // size creatures
  ScreenBuffer** screens = nullptr;  // size + 1: screen 0 is the standard output
  int32_t* hitPoints = nullptr;      // remaining hit points per screen
};

extern Batch gBatch;

void AllocateBatch(int size);
// Builds one creature; a step back (-3) rebuilds it with the answers before the last
// question and asks that question again.
void BuildCreature(Char* c);
void ReleaseBatch();
int RunBatch();
int InitSource();
// Worktype 6: the same creatures built in all runtimes must agree.
int ConsistencyCheck();

}  // namespace RUNTIME_NS
