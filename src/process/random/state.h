// The random service's state that exists once in the process: the runtimes share how
// creations are seeded and recorded, and runtime 0 replays a record another runtime hands
// it. Each thread's own decisions are in gDecide.
#pragma once
#include <cstdint>

#include "random/types.h"

struct RandomState {
  uint32_t lcg = 1;
  bool isaacMode = false;
  bool seededThisBatch = false;
  bool benchmark = false;
  int recordFlag = 1;
  bool recordFlagWasOne = false;
  bool savedChooseEverything = false;  // every decision asked, as the batch started
  bool labelFlag = false;
  int32_t scratchStream[kStreamWords + 1] = {};
  int32_t scratchPos = 0;
  StickyEntry sticky[kStickyCapacity] = {};
  int stickyCount = 0;

  // Per-thread ISAAC states (seed memory), allocated by the runtime entry per batch.
  IsaacState** seeds = nullptr;
  uint8_t* seedData = nullptr;
  int seedThreads = 0;

  // Reproduction.
  bool reproduceInRuntime0 = false;
  int32_t transferRecord[kRecordWords] = {};
  bool savingAllowed = false;
  bool reproFileOpen = false;  // a loaded reproduction's first creation is still to come
  bool replayAtStart = false;
};

extern RandomState gRandom;

// The decisions of the creation running on this thread: each thread of a batch makes its
// own creature from its own record, so none of this is shared.
struct CreationDecisions {
  int32_t* stream = nullptr;     // decision stream of the running creation
  int32_t* streamPos = nullptr;  // its position word
  bool replayActive = false;
  bool chooseEverything = false;  // ask the user at every decision
  bool streamFullReported = false;
  int32_t backPosition = 0;  // where a step back resumes the replay
};
// constinit: no per-access initialisation check through the TLS wrapper.
extern thread_local constinit CreationDecisions gDecide;
