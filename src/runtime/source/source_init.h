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

// Rows and scripts read by the last SourceInit (for the report).
struct SourceStats {
  int rows = 0;
  int scripts = 0;
};
extern SourceStats gSourceStats;

}  // namespace RUNTIME_NS
