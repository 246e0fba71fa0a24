// The prerequisite language of feats and prestige classes: a counted list of two-letter
// tests, each with its arguments, that must all pass.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Checks `rules` (word 0 = count) for the Char. `feat` is the feat being checked (-1
// for a class), `featCount` how many owned feats count for PF and MF, `level` the level
// for LV. A failing test of a feat other than PR and PG sets the feat's not-again mark
// and, with `weights`, its weight to 0.
bool CheckRules(Char* c, int feat, int featCount, const int32_t* rules, int level, int32_t* weights);

// Prerequisites and required skill ranks of a class for a later class slot.
bool ClassPrerequisitesMet(Char* c, int cls, int levelTotal);

}  // namespace RUNTIME_NS
