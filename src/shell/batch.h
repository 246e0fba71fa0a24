// The batch of one run: its reproduction records and size. The creation stages, the
// screens and the threads attach here as they are built.
#pragma once
#include <cstdint>

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

struct Batch {
  int size = 0;
  int cr = -1;        // -1 for a batch of one
  int firstCR = 0;    // the CR drawn for the first creature
  int32_t* records = nullptr;  // size records of 8216 words, back to back
};

extern Batch gBatch;

void AllocateBatch(int size);
void ReleaseBatch();
int RunBatch();
int InitSource();
// Worktype 6: the same creatures built in all runtimes must agree.
int ConsistencyCheck();

}  // namespace RUNTIME_NS
