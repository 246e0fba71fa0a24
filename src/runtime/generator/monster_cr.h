// The monsters' CR table and the CR of an advanced monster.
#pragma once
#include <cstdint>

#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Builds the rule database from Build/ (SourceInit) with the script functions bound and
// the CR table derived; 0 on success. Nothing new when it is built already.
int BuildRules(bool warn = true);

// CR added by advancing a monster from d to h hit dice (doubling adds 4).
int32_t MonsterCRStep(int32_t h, int32_t d);

// Size steps a monster grows by at `dice` hit dice: the system's own rules grow one hit
// die after the bracket's first, SRD 3.5 at its first.
int MonsterSizeSteps(const MonsterSource& m, int dice, bool srd);

// CR a monster gains at `dice` hit dice: the system's own rules add 4 per doubling; SRD 3.5
// adds one per the type's number of added hit dice and one for growing to Large or larger.
int32_t AdvancedMonsterCR(int monster, int32_t dice, bool srd);

// Derives the CR table (both rule sets) from the loaded rule database; a template no
// monster type may take ends the program with its row named.
void BuildMonsterCRTable();
// Monster CR table: the lowest CR of an option; *high receives the highest.
int32_t DetermineCR(int monster, int variant, int templ, int32_t* high, bool mixed);
// The same under SRD 3.5 (the table's second half).
int32_t DetermineSrdCR(int monster, int variant, int templ, int32_t* high, bool mixed);
// The table of the creature's rule set.
inline int32_t OptionCRRange(bool srd, int monster, int variant, int templ, int32_t* high, bool mixed) {
  return srd ? DetermineSrdCR(monster, variant, templ, high, mixed) : DetermineCR(monster, variant, templ, high, mixed);
}

}  // namespace RUNTIME_NS
