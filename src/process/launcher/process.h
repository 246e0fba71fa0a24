// State that exists once in the process and is shared by all five runtimes.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "memory/tracker.h"
#include "platform/output.h"

constexpr int kSourceRootSize = 732;
constexpr int kBuildNumber = 1033;
constexpr int kRuntimeCount = 5;

struct ProcessState {
  // Launcher.
  alignas(8) uint8_t sourceRoot[kSourceRootSize];
  void* symbolNames = nullptr;
  uint32_t symbolNamesSize = 0;  // bytes of the name block
  bool regionHeld = false;
  bool sourceLoaded = false;   // gSource lives in a loaded image (nothing of it is tracked)
  bool sourceRebuilt = false;  // this process built the Source from Build/ already
  bool plainLayout = false;    // lay the compact Source out in allocation order (no analysis)
  bool rebuild = false;
  bool rebuildOnly = false;              // runtime 0 only rebuilds the dump and returns (for a runtime that cannot)
  bool dumpWritten = false;              // a rebuild of this process wrote source.mrg
  bool rebuildFailed = false;            // a rebuild handed to runtime 0 failed: the run has failed
  const char* programName = "schmiede";  // as the user started it, for the lines that say what to type
  bool silent = false;
  int64_t perfFrequency = 1000000000;
  long pageSize = 4096;

  // Run settings shared by the runtimes.
  int threadCount = 1;
  int debugOutput = 0;
  bool extendedDebug = false;
  int32_t ruleSet = 0;  // the rules new creatures are built by (command 70X; 0: the own rules)

  // Run state.
  bool loopRunning = false;
  bool scriptTrace = false;  // trace every script node (the test script run)
  bool firstLoop = false;

  // Consistency check across runtimes.
  bool consistencyCleanup = false;
  TextBuffer* consistencyText = nullptr;
  const TextBuffer* consistencyReference = nullptr;  // runtime 0's text while the others run
  bool lineInconsistencyShown = false;               // the first differing line of a check is shown
};

extern ProcessState gProcess;
