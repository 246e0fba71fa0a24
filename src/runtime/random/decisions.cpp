// Every choice of the generator is asked here, so that recording, replay, sticky answers
// and the manual mode work alike for all of them; the weighted pick lives here too.
#include "random/decisions.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/settings.h"

namespace RUNTIME_NS {

CreationSettings gSettings;

void RecomputeOutputLevels() {
  int console = 0;
  if (gProcess.extendedDebug)
    console = 3;
  else if (gProcess.debugOutput != 0)
    console = 2;
  else if (gSettings.ChooseClass || gDecide.chooseEverything)
    console = 1;
  SetOutputLevels(console, gOutput.log);
}

namespace {

// Weighted picks sum and search their options in blocks of this many.
constexpr int kPickBlock = 64;

// The first option from `from` on whose running sum reaches the threshold (the last one
// when none does). The weights are not negative: groups of four that stay below it are
// passed over whole.
int FirstReaching(const int32_t* w, int from, int n, int64_t running, int64_t threshold) {
  int i = from;
  for (; i + 4 <= n; i += 4) {
    int64_t four = (int64_t)w[i] + w[i + 1] + w[i + 2] + w[i + 3];
    if (running + four >= threshold) break;
    running += four;
  }
  for (; i < n; ++i) {
    running += w[i];
    if (running >= threshold) return i;
  }
  return n - 1;
}

// The sums of the blocks of `block` weights among n (sums has (n + block - 1) / block
// places); returns how many weights are negative. Weights are mostly small: 32-bit sums
// are exact while the OR of all weights stays below 2^25 (64 of them below 2^31);
// otherwise, and with negative weights, the sums are taken again in 64 bits.
template <int block = kPickBlock>
int SumBlocks(const int32_t* w, int n, int64_t* sums) {
  int blocks = (n + block - 1) / block, full = n / block;
  // Whole blocks four weights at a time; then the rest.
  static_assert(block % 4 == 0);
  typedef uint32_t Four __attribute__((vector_size(16)));
  Four orFour = {0, 0, 0, 0};
  for (int b = 0; b < full; ++b) {
    const int32_t* x = w + (size_t)b * block;
    Four sumFour = {0, 0, 0, 0};
    for (int i = 0; i < block; i += 4) {
      Four v;
      memcpy(&v, x + i, sizeof v);
      sumFour += v;
      orFour |= v;
    }
    sums[b] = sumFour[0] + sumFour[1] + sumFour[2] + sumFour[3];
  }
  uint32_t bits = orFour[0] | orFour[1] | orFour[2] | orFour[3];
  if (full < blocks) {
    uint32_t sum = 0;
    for (int i = full * block; i < n; ++i) {
      sum += (uint32_t)w[i];
      bits |= (uint32_t)w[i];
    }
    sums[full] = sum;
  }
  int negatives = 0;
  if (bits >= (1u << 25))
    for (int b = 0; b < blocks; ++b) {
      int end = std::min(n, (b + 1) * block);
      int64_t sum = 0;
      for (int i = b * block; i < end; ++i) {
        sum += w[i];
        negatives += w[i] < 0;
      }
      sums[b] = sum;
    }
  return negatives;
}

constexpr const char* kRandomHeader =
    "\n-------------------------------------------------------------------------------\n"
    "Manuel Random (%s):\n"
    "Bitte Zahl zwischen %d und %d eingeben! (-1 = This Random, -2 = All Random, -3 = One Step Back)  ";

// Appends one answered decision to the stream while recording. The last words of the
// stream stay free for the end marker that saving writes behind the position.
void Record(int32_t value) {
  if (gRandom.recordFlag != 1 || !gDecide.stream) return;
  int32_t& pos = *gDecide.streamPos;
  if (pos < 0 || pos + 3 >= kStreamWords) {
    if (!gDecide.streamFullReported) {
      ConsolePrint("Decision stream full: further decisions of this creature are not recorded\n");
      gDecide.streamFullReported = true;
    }
    return;
  }
  gDecide.stream[pos] = gDecide.chooseEverything ? 1 : 0;
  gDecide.stream[pos + 1] = value;
  pos += 2;
}

enum class Replay { kInactive, kValue, kEnded };

// Takes the next value of the replayed stream.
Replay ReplayNext(bool asks, int32_t* value) {
  if (!gDecide.replayActive || !gDecide.stream) return Replay::kInactive;
  int32_t* s = gDecide.stream;
  int32_t& pos = *gDecide.streamPos;
  if (pos >= 1 && pos + 1 < kStreamWords && s[pos] != kStreamEnd) {
    if (asks) {
      gDecide.backPosition = pos - 1;
      DebugPrint(2, "reposused Set to %d\n", gDecide.backPosition);
    }
    if (s[pos - 1] == 0) {
      gDecide.chooseEverything = false;
      if (gRandom.savedChooseEverything) gRandom.savedChooseEverything = false;
    }
    *value = s[pos];
    int32_t next = s[pos + 1];
    pos += 2;
    if (next == 1) {
      gDecide.chooseEverything = true;
      if (!gRandom.savedChooseEverything) gRandom.savedChooseEverything = true;
    }
    return Replay::kValue;
  }
  if (pos >= 1) pos -= 1;
  gDecide.replayActive = false;
  return Replay::kEnded;
}

void AddSticky(uint32_t caller, int32_t value) {
  if (gRandom.stickyCount >= kStickyCapacity) {
    ConsolePrint("Stack Table Overflow, Increase BufferLen and recompile!\n");
    RaiseError("random");
  }
  gRandom.sticky[gRandom.stickyCount++] = StickyEntry{caller, value};
}

// The answers -1 (this one at random), -2 (everything at random), -3 (step back).
void LeaveManualMode(int32_t answer) {
  if (answer == -3) throw xRestartChar();
  gDecide.chooseEverything = false;
  if (answer == -2) {
    gRandom.savedChooseEverything = false;
    gSettings.ChooseClass = 0;
  }
  RecomputeOutputLevels();
}

using Validator = bool (*)(int32_t value, const void* context);
// Says what a valid answer is, after the user typed something else.
using Explainer = void (*)(const void* context);

// The manual part of a decision: sticky answers, then the user. Returns true with
// *answer set for a valid answer; false when the decision falls to chance.
bool ManualAnswer(uint32_t caller, bool asks, Validator valid, Explainer explain, const void* context,
                  int32_t* answer) {
  int skip = 0;
  for (;;) {
    int seen = 0;
    const StickyEntry* found = nullptr;
    for (int i = 0; i < gRandom.stickyCount; ++i)
      if (gRandom.sticky[i].caller == caller && seen++ == skip) {
        found = &gRandom.sticky[i];
        break;
      }
    if (!found) break;
    int32_t v = found->value;
    if (v >= -3 && v <= -1) {
      LeaveManualMode(v);
      return false;
    }
    if (valid(v, context)) {
      *answer = v;
      return true;
    }
    ++skip;
  }
  if (!asks) return false;

  for (;;) {
    char word[256];
    int32_t v;
    bool sticky = false;
    if (!ReadWord(word, sizeof word)) {
      // Nobody is left to answer: the rest of the creature falls to chance.
      v = -2;
    } else {
      const char* p = word;
      if (*p == '*') {
        sticky = true;
        ++p;
      }
      // The word counts by its leading number (0 for none), as typed answers always have;
      // the user sees which number that was.
      const char* rest = p;
      v = 0;
      ParseIntegers(p, &v, 1, &rest);
      if (*rest) ConsolePrint("\"%s\" ist keine ganze Zahl, gelesen als %d\n", p, v);
    }
    if (v != -3 && gDecide.streamPos) {
      gDecide.backPosition = *gDecide.streamPos;
      DebugPrint(2, "reposused Set to %d\n", gDecide.backPosition);
    }
    if (v >= -3 && v <= -1) {
      if (sticky) AddSticky(caller, v);
      LeaveManualMode(v);
      return false;
    }
    if (valid(v, context)) {
      if (sticky) AddSticky(caller, v);
      *answer = v;
      return true;
    }
    explain(context);
  }
}

struct Range {
  uint32_t min, max;
};

bool InRange(int32_t value, const void* context) {
  const Range* r = static_cast<const Range*>(context);
  return (uint32_t)value >= r->min && (uint32_t)value <= r->max;
}

void ExplainRange(const void* context) {
  const Range* r = static_cast<const Range*>(context);
  ConsolePrint("\nUngültige Eingabe: eine Zahl von %d bis %d (oder -1, -2, -3) eingeben!  ", (int32_t)r->min,
               (int32_t)r->max);
}

struct Options {
  int n;
  const void* weights;
  int stride;
};

int32_t WeightAt(const Options& o, int i) {
  int32_t w;
  memcpy(&w, static_cast<const char*>(o.weights) + (size_t)i * o.stride, sizeof w);
  return w;
}

bool ValidOption(int32_t value, const void* context) {
  const Options* o = static_cast<const Options*>(context);
  return value >= 0 && value < o->n && WeightAt(*o, value) > 0;
}

void ExplainOption(const void*) {
  ConsolePrint("Ungültige Eingabe: eine der oben aufgeführten Nummern (oder -1, -2, -3) eingeben!\n");
}

// A replayed answer of a weighted pick: what the pick itself can return for these
// weights. Besides an option of positive weight, that is -1 for an allowed table
// without weight and, under maximal weighting, the first option when none weighs.
bool ReplayedOptionValid(int32_t value, const Options& o, bool zeroTotalIsError) {
  if (ValidOption(value, &o)) return true;
  // Quadratic weighting squares a negative weight like any other: it can be drawn.
  if (gSettings.calctype == 1 && value >= 0 && value < o.n && WeightAt(o, value) < 0) return true;
  bool positive = false, negative = false;
  for (int i = 0; i < o.n; ++i) {
    int32_t w = WeightAt(o, i);
    positive = positive || w > 0;
    negative = negative || w < 0;
  }
  if (positive) return false;
  if (value == -1) return !zeroTotalIsError && !negative;
  return value == 0 && o.n > 0 && gSettings.calctype == 2;
}

[[noreturn]] void InconsistentReproduction() {
  ConsolePrint("Inconsistent Reproduction, maybe the Saved file corresponds to an old version?...\n");
  QuitOnError(false);
}

const char* TextAt(const void* texts, int stride, bool indirect, int i) {
  if (!texts) return "";
  const char* at = static_cast<const char*>(texts) + (size_t)i * stride;
  if (!indirect) return at;
  const char* p;
  memcpy(&p, at, sizeof p);
  return p ? p : "";
}

}  // namespace

uint32_t CallerIdOf(const std::source_location& where) {
  // File and column hash, then the line: constant for the run, readable enough in a prompt.
  // A file's name is one string for the whole run: its hash is remembered by address
  // (draws alternate between files all the time).
  struct Known {
    const char* file;
    uint32_t hash;
  };
  constexpr int kKnownFiles = 64;
  thread_local Known known[kKnownFiles];
  const char* file = where.file_name();
  Known& k = known[(reinterpret_cast<uintptr_t>(file) >> 3) & (kKnownFiles - 1)];
  if (k.file != file) {
    uint32_t f = 2166136261u;
    for (const char* p = file; *p; ++p) f = (f ^ (unsigned char)*p) * 16777619u;
    k.file = file;
    k.hash = f;
  }
  uint32_t h = k.hash;
  h = (h ^ where.column()) * 16777619u;
  return (h % 20000u) * 100000u + (where.line() % 100000u);
}

const char* FormatLabel(char* buf, size_t size, const char* format, ...) {
  if (size == 0) return buf;
  buf[0] = 0;
  if (!LabelWanted()) return buf;
  va_list args;
  va_start(args, format);
  vsnprintf(buf, size, format, args);
  va_end(args);
  return buf;
}

void SetDecisionStream(int32_t* words, int32_t* position) {
  gDecide.stream = words;
  gDecide.streamPos = position;
  gDecide.streamFullReported = false;
}

void UseScratchStream() {
  gRandom.scratchPos = 0;
  SetDecisionStream(gRandom.scratchStream, &gRandom.scratchPos);
}

void ClearStickyAnswers() { gRandom.stickyCount = 0; }

int32_t random(IsaacState* state, int32_t min, int32_t max, const char* label, int ask, bool internal,
               std::source_location where) {
  if (min == max) return min;
  if (min > max) RaiseError("random");
  if (!label) label = "";
  bool asks = ask != -1 && *label && (ask == 1 || gDecide.chooseEverything);

  if (gRandom.isaacMode) {
    if (!state) RaiseError("random");  // a draw outside any creation and test run
    int32_t v = IsaacRange(state, min, max);
    if (!internal && DebugOn(1)) {
      DebugPrint(2, kRandomHeader, label, min, max);
      DebugPrint(2, "\n(Called from %d)   :", CallerIdOf(where));
      DebugPrint(1, "\nSelected: %d\n\n", v);
    }
    return v;
  }

  uint32_t caller = CallerIdOf(where);
  int32_t v;
  Range range{(uint32_t)min, (uint32_t)max};
  if (ReplayNext(asks, &v) == Replay::kValue) {
    if (InRange(v, &range)) return v;
    InconsistentReproduction();
  }

  if (asks || DebugOn(2)) DebugPrint(asks ? 0 : 2, kRandomHeader, label, min, max);
  if (DebugOn(2)) DebugPrint(2, "\n(Called from %d)   :", caller);

  if (!ManualAnswer(caller, asks, InRange, ExplainRange, &range, &v)) v = RecordedModeValue(min, max);
  if (!internal) Record(v);
  return v;
}

namespace {

// The share of each option in a draw by the weighting: linear, squared (the weights scaled
// down first when large) or root.
struct Shares {
  const Options& opts;
  int calctype;
  int32_t divisor;
  int64_t operator()(int i) const {
    int64_t w = WeightAt(opts, i);
    if (calctype == 1) {
      if (divisor) w /= divisor;
      // Only a negative weight can square past 2^30; capped, any number of them sums exactly.
      return std::min<int64_t>(w * w, int64_t{1} << 44);
    }
    if (calctype == -1) return (int64_t)std::sqrt((double)w);
    return w;
  }
};

// The option of the largest weight, and the divisor that keeps large weights from
// squaring past the draw's range.
int LargestOption(const Options& opts, int32_t* divisor) {
  int32_t largest = 0;
  int index = 0;
  for (int i = 0; i < opts.n; ++i)
    if (WeightAt(opts, i) > largest) {
      largest = WeightAt(opts, i);
      index = i;
    }
  if (largest > 30000)
    *divisor = largest / 16384 > 1 ? largest / 16384 : 1;
  else if (largest > 15000)
    *divisor = 1;
  return index;
}

// The total of the shares; with `blockSums` (plain int32 weights) also the sums of their
// blocks, so that the pick skips whole blocks. -1 when a weight is negative.
int64_t ShareTotal(const Shares& share, bool dense, int blocks, int64_t* blockSums) {
  const Options& opts = share.opts;
  int64_t total = 0;
  if (dense) {
    if (SumBlocks(static_cast<const int32_t*>(opts.weights), opts.n, blockSums) > 0) return -1;
    for (int b = 0; b < blocks; ++b) total += blockSums[b];
    return total;
  }
  for (int i = 0; i < opts.n; ++i) {
    // Squaring leaves no weight negative; a root of one fails like a linear one.
    if (WeightAt(opts, i) < 0 && share.calctype != 1) return -1;
    total += share(i);
  }
  return total;
}

// A question the user must answer shows its options whatever the output level (a listing
// asks with the level of a normal run).
void ShowOptions(const Shares& share, int64_t total, int shift, const void* texts, int textStride, bool indirect,
                 const char* label, bool asks, uint32_t caller) {
  int level = asks ? 0 : 1;
  DebugPrint(level,
             "\n-------------------------------------------------------------------------------\n"
             "Manuel AdvancedRand (-1 = This Random, -2 = All Random, -3 = One Step Back)\n");
  DebugPrint(level, "(%s:)\n", label);
  DebugPrint(2, "(Called from %d)\n", caller);
  if (DebugOn(level))
    for (int i = 0; i < share.opts.n; ++i)
      if (WeightAt(share.opts, i) > 0)
        DebugPrint(level, "%d: (%d / %d): %s\n", i, (int)share(i), (int)(total >> shift),
                   TextAt(texts, textStride, indirect, i));
}

// The first option whose running sum reaches `threshold`; it always has a share, since
// the sum before it stayed below.
int FirstOptionReaching(const Shares& share, bool dense, int blocks, const int64_t* blockSums, int64_t threshold) {
  const Options& opts = share.opts;
  int64_t running = 0;
  if (dense) {
    int b = 0;
    while (b + 1 < blocks && running + blockSums[b] < threshold) running += blockSums[b++];
    return FirstReaching(static_cast<const int32_t*>(opts.weights), b * kPickBlock, opts.n, running, threshold);
  }
  for (int i = 0; i < opts.n; ++i) {
    running += share(i);
    if (running >= threshold) return i;
  }
  return opts.n - 1;
}

}  // namespace

int AdvancedRand(IsaacState* state, int n, const void* weights, int weightStride, const void* texts, int textStride,
                 const char* label, int ask, bool indirect, uint32_t caller, bool zeroTotalIsError,
                 std::source_location where) {
  if (!caller) caller = CallerIdOf(where);
  if (n == 1) return 0;
  if (!label) label = "";
  bool asks = false;
  if (ask != -1 && (*label || (n > 0 && *TextAt(texts, textStride, indirect, 0))))
    asks = ask == 1 || gDecide.chooseEverything;

  Options opts{n < 0 ? 0 : n, weights, weightStride};
  int32_t replayed;
  Replay r = ReplayNext(asks, &replayed);
  if (r == Replay::kValue) {
    // The caller uses the answer as an index: a damaged file must not reach it.
    if (ReplayedOptionValid(replayed, opts, zeroTotalIsError)) return replayed;
    InconsistentReproduction();
  }
  if (r == Replay::kEnded) zeroTotalIsError = true;

  Shares share{opts, gSettings.calctype, 0};
  if (share.calctype == 1 || share.calctype == 2) {
    int largest = LargestOption(opts, &share.divisor);
    if (share.calctype == 2 && ask != 1 && !gDecide.chooseEverything) {
      Record(largest);
      return largest;
    }
  }

  bool dense = share.calctype != 1 && share.calctype != -1 && weightStride == (int)sizeof(int32_t);
  constexpr int kStackBlocks = 64;
  int blocks = dense ? (opts.n + kPickBlock - 1) / kPickBlock : 0;
  int64_t stackBlockSums[kStackBlocks];
  TrackedPtr<int64_t> heapBlockSums;
  if (blocks > kStackBlocks)
    heapBlockSums.reset(static_cast<int64_t*>(mallocloga(sizeof(int64_t) * (size_t)blocks, "AdvancedRand-tempvals")));
  int64_t* blockSums = blocks > kStackBlocks ? heapBlockSums.get() : stackBlockSums;
  const int64_t total = ShareTotal(share, dense, blocks, blockSums);
  if (total < 0) {
    ConsolePrint("Negative Probability...\n");
    QuitOnError(true);
    return -2;
  }
  if (total == 0) {
    if (zeroTotalIsError) {
      gProcess.loopRunning = false;
      ConsolePrint("No Probability given\n");
      QuitOnError(true);
    }
    Record(-1);
    DebugPrint(asks ? 0 : 2, "Rückgabe -1 da keine wahrscheinlichkeit\n");
    return -1;
  }

  // Squared weights can pass the 31 bits a draw covers; scale the sums down together
  // (options of weight 0 keep an empty share).
  int shift = 0;
  while ((total >> shift) > INT32_MAX) ++shift;
  if (asks || gProcess.debugOutput || gOutput.log >= 1)
    ShowOptions(share, total, shift, texts, textStride, indirect, label, asks, caller);

  int32_t answer;
  if (ManualAnswer(caller, asks, ValidOption, ExplainOption, &opts, &answer)) {
    Record(answer);
    return answer;
  }
  int64_t drawn = random(state, 1, (int32_t)(total >> shift), "", 0, true);
  // (running >> shift) >= drawn, without a shift per option.
  int chosen = FirstOptionReaching(share, dense, blocks, blockSums, drawn << shift);
  DebugPrint(2, "Selected: %d\n", chosen);
  Record(chosen);
  return chosen;
}

namespace {

// Chance alone decides a draw: nobody is asked or shown anything, no stream is replayed
// or recorded, the weights count as they are. Everything else is AdvancedRand's.
bool ChanceAlone(const IsaacState* state, int ask) {
  int calctype = gSettings.calctype;
  return gRandom.isaacMode && state && !gDecide.replayActive && !gDecide.chooseEverything && ask != 1 &&
         gRandom.stickyCount == 0 && !DebugOn(1) && calctype != 1 && calctype != -1 && calctype != 2;
}

// The running sum a pick by chance alone must reach among weights summing to total > 0:
// AdvancedRand's draw of 1..total, sums past 31 bits scaled down together.
int64_t ChanceThreshold(IsaacState* state, int64_t total) {
  int shift = 0;
  while ((total >> shift) > INT32_MAX) ++shift;
  int32_t top = (int32_t)(total >> shift);
  int64_t drawn = top == 1 ? 1 : IsaacRange(state, 1, top);
  return drawn << shift;
}

}  // namespace

WeightedTable::WeightedTable(int32_t* weights, int n)
    : weights_(weights),
      n_(n < 0 ? 0 : n),
      runCount_((n_ + kRun - 1) / kRun),
      blocks_((runCount_ + kRunsPerBlock - 1) / kRunsPerBlock),
      sums_(stackSums_),
      runs_(stackRuns_) {
  static_assert(kRun * kRunsPerBlock == kPickBlock);
  if (blocks_ > kStackBlocks) {
    // One allocation: the block sums, then the run sums.
    size_t places = (size_t)blocks_ * (1 + kRunsPerBlock);
    heapSums_.reset(static_cast<int64_t*>(mallocloga(sizeof(int64_t) * places, "WeightedTable-Sums")));
    sums_ = heapSums_.get();
    runs_ = sums_ + blocks_;
  }
  Resum();
}

void WeightedTable::Resum() {
  negatives_ = SumBlocks<kRun>(weights_, n_, runs_);
  total_ = 0;
  for (int b = 0; b < blocks_; ++b) {
    int64_t sum = 0;
    for (int r = b * kRunsPerBlock; r < std::min(runCount_, (b + 1) * kRunsPerBlock); ++r) sum += runs_[r];
    sums_[b] = sum;
    total_ += sum;
  }
}

int WeightedTable::Pick(IsaacState* state, const void* texts, int textStride, const char* label, int ask, bool indirect,
                        uint32_t caller, bool zeroTotalIsError, std::source_location where) {
  bool plain = ChanceAlone(state, ask) && n_ > 1 && negatives_ == 0 && total_ > 0;
  if (!plain)
    return AdvancedRand(state, n_, weights_, 4, texts, textStride, label, ask, indirect, caller, zeroTotalIsError,
                        where);
  const int64_t threshold = ChanceThreshold(state, total_);
  int64_t running = 0;
  int b = 0;
  while (b + 1 < blocks_ && running + sums_[b] < threshold) running += sums_[b++];
  // The block reaches the threshold (or is the last): so does one of its runs.
  int r = b * kRunsPerBlock, lastRun = std::min(runCount_, r + kRunsPerBlock) - 1;
  while (r < lastRun && running + runs_[r] < threshold) running += runs_[r++];
  int chosen = FirstReaching(weights_, r * kRun, std::min(n_, (r + 1) * kRun), running, threshold);
  Record(chosen);
  return chosen;
}

int multirand(IsaacState* state, const char* label, int ask, uint32_t caller, int32_t terminator,
              std::initializer_list<RandOption> options, std::source_location where) {
  if (!caller) caller = CallerIdOf(where);
  int count = 0;
  for (const RandOption& o : options) {
    if (o.weight == terminator) break;
    ++count;
  }
  // A handful of options written out at the call: their tables live on the stack.
  constexpr int kStackOptions = 32;
  int32_t stackWeights[kStackOptions];
  const char* stackTexts[kStackOptions];
  TrackedPtr<int32_t> heapWeights;
  TrackedPtr<const char*> heapTexts;
  int32_t* weights = stackWeights;
  const char** texts = stackTexts;
  if (count > kStackOptions) {
    heapWeights.reset(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)count, "multirand-prob")));
    heapTexts.reset(static_cast<const char**>(mallocloga(sizeof(const char*) * (size_t)count, "multirand-texts")));
    weights = heapWeights.get();
    texts = heapTexts.get();
  }
  weights[0] = 0;
  texts[0] = "";
  int i = 0;
  for (const RandOption& o : options) {
    if (i == count) break;
    weights[i] = o.weight;
    texts[i] = o.text;
    ++i;
  }
  return AdvancedRand(state, count, weights, sizeof(int32_t), texts, sizeof(const char*), label, ask, true, caller,
                      true);
}

int YesNo(IsaacState* state, const char* label, int32_t weightNo, int32_t weightYes, int ask, uint32_t caller,
          std::source_location where) {
  if (weightNo == 0) return 1;
  if (weightYes == 0) return 0;
  if (weightNo > 0 && weightYes > 0 && ChanceAlone(state, ask)) {
    // AdvancedRand's draw over the two weights, without building its tables (a creature
    // asks some thirty of these).
    int chosen = weightNo >= ChanceThreshold(state, (int64_t)weightNo + weightYes) ? 0 : 1;
    Record(chosen);
    return chosen;
  }
  if (!caller) caller = CallerIdOf(where);
  return multirand(state, label, ask, caller, INT32_MIN, {{weightNo, "Nein"}, {weightYes, "Ja"}});
}

int LinearChance(IsaacState* state, const char* label, int32_t low, int32_t high, int32_t value, bool invert, int ask,
                 std::source_location where) {
  if (value >= high) return invert ? 0 : 1;
  if (value <= low) return invert ? 1 : 0;
  uint32_t caller = CallerIdOf(where);
  if (invert) return YesNo(state, label, value - low, high - value, ask, caller);
  return YesNo(state, label, high - value, value - low, ask, caller);
}

}  // namespace RUNTIME_NS
