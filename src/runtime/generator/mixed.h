// Mixed creatures: a monster with class levels. The class part is built as a character
// of its own and then merged into the monster.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Whether a monster's class levels replace its monster hit die. SRD 3.5: those of a
// creature of one hit die or less do. The system's own rules: class levels add to it.
bool ClassLevelsReplaceHitDice(const Char* monster);

// Merges the built class part (the context's class-part Char) into the monster.
void MergeMixed(Char* monster, Char* part);

// Adds a skill entry into a Char, combining it with an entry of the same skill.
void MergeSkill(Char* c, int skill, int ranks, int half, int bonus, int ability, int penalty);

}  // namespace RUNTIME_NS
