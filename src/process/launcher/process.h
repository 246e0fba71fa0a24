// State that exists once in the process and is shared by all five runtimes,
// plus the output primitive and the error exception.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <source_location>

#include "random/types.h"

constexpr int kSourceRootSize = 732;
constexpr int kBuildNumber = 1033;
constexpr int kRuntimeCount = 5;

// The program's one error exception; carries only its text (no heap use, so it
// can be raised from inside the memory tracker).
class Error {
 public:
  explicit Error(const char* text, std::source_location where);
  const char* what() const { return text_; }
  const char* function() const { return function_; }

 private:
  char text_[256];
  const char* function_;
};

[[noreturn]] void RaiseError(const char* text,
                             std::source_location where = std::source_location::current());

struct OutputLevels {
  int message = 0;
  int console = 0;
  int log = -1;
  int effective = 0;
  FILE* logFile = nullptr;  // null: log goes to standard output (logging off)
};

// A growable text buffer in tracked memory (the consistency output of a runtime).
struct TextBuffer {
  char* data = nullptr;
  size_t length = 0;
  size_t capacity = 0;
};
TextBuffer* TextCreate(const char* tag);
void TextAppend(TextBuffer* text, const char* bytes, size_t n);
void TextDestroy(TextBuffer* text);

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
  bool rebuildOnly = false;  // runtime 0 only rebuilds the dump and returns (for a runtime that cannot)
  bool dumpWritten = false;  // a rebuild of this process wrote source.mrg
  bool rebuildFailed = false;  // a rebuild handed to runtime 0 failed: the run has failed
  const char* programName = "schmiede";  // as the user started it, for the lines that say what to type
  bool silent = false;
  int64_t perfFrequency = 1000000000;
  long pageSize = 4096;
  OutputLevels out;

  // Run settings shared by the runtimes.
  int threadCount = 1;
  int debugOutput = 0;
  bool extendedDebug = false;
  int32_t ruleSet = kRulesOwn;  // the rules new creatures are built by (command 70X)

  // Random service.
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

// printf-style output to console and log by message level; returns 0.
int ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
int ConsolePrintV(const char* format, va_list args);
// Before a wait for one key: one line that says so, ending or going on.
constexpr const char* kEndNote = "Taste drücken zum Beenden\n";
constexpr const char* kContinueNote = "Taste drücken zum Fortfahren\n";
// Prints the note, then reads one key (a byte when input is no terminal).
void WaitForKey(const char* note);
// Debug print of level k: printed only when the effective level admits it. The level is
// tested before the call (the interpreter prints at every node when tracing).
void DebugPrintAt(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
inline bool DebugOn(int level) { return gProcess.out.effective >= level; }
#define DebugPrint(level, ...) (DebugOn(level) ? DebugPrintAt((level), __VA_ARGS__) : void())
void SetOutputLevels(int console, int log);

// Opens "debug.out" (log level 2) or closes it (log level -1).
void SetLogging(bool on);
