#include "shell/batch.h"

#include <cstring>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/timer.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/types.h"
#include "shell/entry.h"

namespace RUNTIME_NS {

Batch gBatch;

void AllocateBatch(int size) {
  ReleaseBatch();
  try {
    gBatch.records =
        static_cast<int32_t*>(mallocloga((size_t)(size > 0 ? size : 1) * kRecordBytes, "run_alloc-CT"));
  } catch (const Error&) {
    QuitOnError(true);
  }
  memset(gBatch.records, 0, (size_t)(size > 0 ? size : 1) * kRecordBytes);
  gBatch.size = size;
  gBatch.cr = -1;
  gBatch.firstCR = 0;
}

void ReleaseBatch() {
  if (gBatch.records) freeloga(gBatch.records);
  gBatch = Batch{};
}

namespace {

// Until the creation stages exist, a batch ends here and the prompt returns.
void NotBuiltYet() {
  ConsolePrint("Creature generation is not built yet: no creature was made.\n");
  gProcess.loopRunning = false;
  gProcess.firstLoop = false;
  gInput.restart = true;
}

}  // namespace

int RunBatch() {
  UseScratchStream();
  LcgSeed((uint32_t)PerfCounter());
  gProcess.savedChooseEverything = gProcess.chooseEverything;

  if (gProcess.recordFlag == 2) {
    if (LoadReproduction()) {
      ReleaseBatch();
      gInput.restart = true;
      return 0;
    }
    ConsolePrint("Loaded %d reproduction record(s).\n", gBatch.size);
    gProcess.reproFileOpen = false;
  }
  NotBuiltYet();
  ReleaseBatch();
  return 0;
}

int ConsistencyCheck() {
  NotBuiltYet();
  return 0;
}

}  // namespace RUNTIME_NS
