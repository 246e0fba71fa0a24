// Building the rule database from the tables under Build/ and releasing it.
#pragma once
#include <cstdint>
#include <string>

#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

// 0 on success, 1 when a table file could not be opened or the profiles failed.
// `warn`: print the warnings of the tables (a rebuild reads them three times).
int SourceInit(bool warn = true);
void FreeSource();
int ResolveSource();

// Path of a file under Build/MonsterText/: the name as written, else the entry whose name
// differs only in the case of ASCII letters (names match so); empty when there is none.
std::string MonsterTextPath(const char* name);

// The resolvers of requirement lists and class feat lists (items ended by NUL, commas
// already blanks) into integer codes, and the spell resistance taken out of a monster text.
void ResolveRequirementList(const String& text, Owned& out, int32_t* dependency);
void ResolveFeatListText(const String& text, Owned& out);
int32_t TakeSpellResistanceFrom(String& text);

// Lookup used by the second compilation pass of scripts.
int32_t ResolveScriptName(int table, const char* name);

// CR added by advancing a monster from d to h hit dice (doubling adds 4).
int32_t MonsterCRStep(int32_t h, int32_t d);

// Size steps a monster grows by at `dice` hit dice: the system's own rules grow one hit
// die after the bracket's first, SRD 3.5 at its first.
int MonsterSizeSteps(const MonsterSource& m, int dice, bool srd);

// CR a monster gains at `dice` hit dice: the system's own rules add 4 per doubling; SRD 3.5
// adds one per the type's number of added hit dice and one for growing to Large or larger.
int32_t AdvancedMonsterCR(int monster, int32_t dice, bool srd);

// Monster CR table: the lowest CR of an option; *high receives the highest.
int32_t DetermineCR(int monster, int variant, int templ, int32_t* high, bool mixed, bool build);
// The same under SRD 3.5 (the table's second half).
int32_t DetermineSrdCR(int monster, int variant, int templ, int32_t* high, bool mixed);
// The table of the creature's rule set.
inline int32_t OptionCRRange(bool srd, int monster, int variant, int templ, int32_t* high, bool mixed) {
  return srd ? DetermineSrdCR(monster, variant, templ, high, mixed)
             : DetermineCR(monster, variant, templ, high, mixed, false);
}

// Rows and scripts read by the last SourceInit (for the report).
struct SourceStats {
  int rows = 0;
  int scripts = 0;
};
extern SourceStats gSourceStats;

}  // namespace RUNTIME_NS
