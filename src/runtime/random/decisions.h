// The random-decision service: every choice of the generator goes through here.
// A decision is answered by replay, a sticky answer, the user or the random source.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <source_location>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/state.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Identifies the code location that asks; shown in prompts and keys sticky answers.
uint32_t CallerIdOf(const std::source_location& where);

// A whole number from min to max. ask: -1 never asks, else the caller's ChooseClass-style
// flag. internal: no trace and no recording.
int32_t random(IsaacState* state, int32_t min, int32_t max, const char* label = "", int ask = -1, bool internal = false,
               std::source_location where = std::source_location::current());

// Weighted pick among n options. Weights are signed 32-bit numbers every weightStride
// bytes (0: all options weigh the same, the first weight counts). Texts every textStride
// bytes, inline or, with indirect, as pointers to text. Returns the index, -1 when all
// weights are 0 and that is allowed, -2 after a negative weight.
int AdvancedRand(IsaacState* state, int n, const void* weights, int weightStride, const void* texts, int textStride,
                 const char* label, int ask, bool indirect, uint32_t caller = 0, bool zeroTotalIsError = true,
                 std::source_location where = std::source_location::current());

// Repeated picks from one weight table of which only a few weights change between the
// picks (the attempts at a feat slot, the spells of one level): the sums of its blocks of
// options are kept up to date instead of summing the whole table for every pick. Every
// pick is exactly the one AdvancedRand would make, and is AdvancedRand itself whenever a
// user, a replay, a sticky answer or the debug output could see it. The table stays the
// caller's; it changes only through Set (or Resum after changing it directly).
class WeightedTable {
 public:
  WeightedTable(int32_t* weights, int n);
  WeightedTable(const WeightedTable&) = delete;
  WeightedTable& operator=(const WeightedTable&) = delete;
  void Resum();
  void Set(int i, int32_t weight) {
    int32_t old = weights_[i];
    weights_[i] = weight;
    Changed(i, old);
  }
  // The caller wrote weights[i] itself; it was `old` before.
  void Changed(int i, int32_t old) {
    int64_t delta = (int64_t)weights_[i] - old;
    runs_[i / kRun] += delta;
    sums_[i / (kRun * kRunsPerBlock)] += delta;
    total_ += delta;
    negatives_ += (weights_[i] < 0) - (old < 0);
  }
  int Pick(IsaacState* state, const void* texts, int textStride, const char* label, int ask, bool indirect,
           uint32_t caller = 0, bool zeroTotalIsError = true,
           std::source_location where = std::source_location::current());

 private:
  // Sums are kept for runs of 16 options and for blocks of four runs: a pick passes
  // whole blocks, then whole runs, then at most 16 single weights.
  static constexpr int kRun = 16, kRunsPerBlock = 4, kStackBlocks = 64;
  int32_t* weights_;
  int n_, runCount_, blocks_;
  int negatives_ = 0;
  int64_t total_ = 0;
  int64_t stackSums_[kStackBlocks];
  int64_t stackRuns_[kStackBlocks * kRunsPerBlock];
  int64_t* sums_;
  int64_t* runs_;
  TrackedPtr<int64_t> heapSums_;
};

struct RandOption {
  int32_t weight;
  const char* text;
};

// Weighted pick among the options up to the first whose weight equals the terminator.
int multirand(IsaacState* state, const char* label, int ask, uint32_t caller, int32_t terminator,
              std::initializer_list<RandOption> options, std::source_location where = std::source_location::current());

// 1 for yes, 0 for no.
int YesNo(IsaacState* state, const char* label, int32_t weightNo, int32_t weightYes, int ask, uint32_t caller = 0,
          std::source_location where = std::source_location::current());

// Yes with a chance growing linearly from low to high.
int LinearChance(IsaacState* state, const char* label, int32_t low, int32_t high, int32_t value, bool invert, int ask,
                 std::source_location where = std::source_location::current());

// Whether a decision's label can be read: by a user asked at every decision, or in the
// debug output. Without a reader, draws skip formatting their labels.
inline bool LabelWanted() { return gRandom.labelFlag || gDecide.chooseEverything || DebugOn(1); }
// snprintf of a label when LabelWanted(), an empty label otherwise; returns buf.
const char* FormatLabel(char* buf, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Console level from the manual-mode and debug settings; effective level from both.
void RecomputeOutputLevels();

// The sticky-answer table is emptied at every input prompt.
void ClearStickyAnswers();

// Points the decision stream at words and a position word (a record's stream, or the
// process-wide scratch stream outside creations).
void SetDecisionStream(int32_t* words, int32_t* position);
void UseScratchStream();

}  // namespace RUNTIME_NS
