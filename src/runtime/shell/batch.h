// The run driver: one batch of creatures from the input line to the viewer.
#pragma once
#include <cstdint>

#include "generator/char.h"

#include "runtime.h"

struct ScreenBuffer;

namespace RUNTIME_NS {

struct Batch {
  int size = 0;
  int cr = -1;        // -1 for a batch of one
  int firstCR = 0;    // the CR drawn for the first creature
  bool themeFromReplay = false;  // loaded from a file whose records do not keep the theme
  int32_t* records = nullptr;  // size records of 8216 words, back to back
  Char* chars = nullptr;       // size creatures
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
