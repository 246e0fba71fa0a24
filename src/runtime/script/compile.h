// From matched script text to executable form: symbol redirection, the two
// compilation passes, and the script front ends.
#pragma once
#include <cstddef>
#include <cstdint>

#include "script/interp.h"

#include "runtime.h"

namespace RUNTIME_NS {

enum Extractor : uint32_t { kExtractNone = 0, kExtractText = 1, kExtractFirstChar = 2, kExtractNumber = 3 };

// Binds every symbol name of the name block to its action (the engine's and those of
// BindScriptSubject) and value extractor; 0 on success. Later calls do nothing until ReleaseRedirection.
int RedirectSymbols();
void ReleaseRedirection();
bool SymbolsRedirected();

ScriptAction ActionOf(uint32_t nameOffset);
const ActionBinding* BindingOf(uint32_t nameOffset);
const SubjectBinding& BoundSubject();
Extractor ExtractorOf(uint32_t nameOffset);
// Name offsets the compiler and interpreter test for (UINT32_MAX when absent).
uint32_t OrderBlockOffset();
uint32_t ConditionInverseOffset();
uint32_t ValOffset();

// First pass: replaces the parse tree in *script (a tracked block) with the
// compiled script and returns its length (at least 1).
size_t OptimizeScript(uint8_t** script, size_t length);

// What the second pass resolves names in.
enum NameTable { kNamesSchool, kNamesBonusType, kNamesFeat, kNamesSkill, kNamesRace, kNamesClass };
// Code of a named record; the rule database supplies it.
using NameResolver = int32_t (*)(NameTable table, const char* name);
// Second pass over one script (a tracked block, replaced).
void OptimizeScript2(uint8_t** script, NameResolver resolve);

// True when running the compiled script cannot change its creature: it only reads the
// creature, writes texts and assigns to one-letter temporaries.
bool ScriptKeepsCreature(const uint8_t* script);
// True when whatever the script changes of its creature is fields and typed bonuses,
// which a ScriptUndo takes back.
bool ScriptUndoable(const uint8_t* script);
// For a plain formula (assignments to temporaries of arithmetic, Max and Min over numbers
// and creature fields; no branch, function or temporary read): the temporaries it
// assigns, as bits a = 1 upwards. Its result depends on the creature's fields alone.
// -1 for any other script.
int32_t ScriptFormulaTemporaries(const uint8_t* script);

// Matches and compiles one script; *out receives a tracked block ("bnfparse-ppTree").
// 0 on success, 1 after the mismatch message.
int bnfparse(const char* text, uint8_t** out, size_t* outLength = nullptr);
// Matches and compiles a whole file; *out receives the compiled script.
int SplitFile(const char* name, uint8_t** out);

}  // namespace RUNTIME_NS
