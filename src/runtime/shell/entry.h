// The runtime entry: input line, command codes and the per-runtime input fields.
#pragma once
#include <cstdint>

#include "runtime.h"

namespace RUNTIME_NS {

constexpr int kFieldCount = 10;

// The ten values of the input line; DebugOutput lives in the process state.
struct InputFields {
  int CreatureType = 0;
  int CRMin = 0;
  int CRMax = 0;
  int AmountMin = 0;
  int AmountMax = 0;
  int worktype = 0;  // the draw type, choice and weighting are in gSettings
  // Treasure amounts handed on to treasure generation.
  int treasureLow = 0;
  int treasureHigh = 0;
  // Flags of this runtime.
  bool testScript = false;
  bool restart = false;
};

extern InputFields gInput;

int RuntimeMain(int argc, char** argv);
double FloatProbe(double x);

// Releases the per-thread seed memory (the next batch allocates it again).
void FreeSeeds();

// One prompt line into the ten values (those it leaves out keep what `values` held);
// false for "q", which ends the runtime.
bool DecodeInputLine(const char* line, int* values);

// What a line asks for once its fields are in `in`. Command codes are applied to the
// fields, counts and CRs put in order and the ranges checked; for a runtime switch,
// a thread count or logging, *argument holds the runtime, the threads or the on flag;
// for a rule set (70X) the X, which may name no rule set.
enum class LineAction { kRun, kInvalid, kSwitchRuntime, kThreads, kLogging, kRules };
LineAction DecodeCommand(InputFields& in, int* argument);
// Integer value of one word, 0 when it is no number (saturating like ParseIntegers).
int WordToInt(const char* word);

// The rule set's name as the prompt and the sheet show it.
const char* RuleSetName(int32_t rules);

}  // namespace RUNTIME_NS
