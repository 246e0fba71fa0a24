// ISAAC generator per thread, the process-wide linear congruential source of the
// recorded mode, and the seeding of the per-thread states.
#pragma once
#include <cstdint>

#include "random/state.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

void IsaacGenerate(IsaacState* s);
// Initialises from the seed held in results (mem is overwritten).
void IsaacInit(IsaacState* s);
// A value from min to max; reseed first initialises the state from 512 seed words.
int32_t IsaacRange(IsaacState* s, int32_t min, int32_t max, bool reseed = false, const uint32_t* seed = nullptr);
void IsaacSave(const IsaacState* s, int32_t* destination);
void IsaacLoad(IsaacState* s, const int32_t* source);

// Linear congruential generator: one state for the whole process.
void LcgSeed(uint32_t state);
int32_t LcgDraw();
int32_t RecordedModeValue(int32_t min, int32_t max);

// Fresh seeds for every thread's state (deterministic with the benchmark flag).
void SeedThreads();
// Prints the character seed of a reproduction record as level-2 debug output.
void PrintCharacterSeed(const int32_t* record);

}  // namespace RUNTIME_NS
