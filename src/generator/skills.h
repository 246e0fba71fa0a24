// Skills of a creature: the points its classes and level give, the ranks its feats and
// classes demand, the skills it cares most about, free choices, synergies, and the
// finishing of every entry with ability and armour penalty.
#pragma once

#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// The rank per skill that the owned feats and the classes demand (largest wins).
void RequiredSkillRanks(Char* c);

// Spends the skill points: mode 0 for characters, any other for the monster pass.
void CalculateSkills(Char* c, int mode);

// Chooses the skill of every skill-bound feat.
void SkillFeatChoice(Char* c);

// Entries for untrained class skills, ability modifiers and armour penalties.
void FinishSkills(Char* c);

// total = ranks + bonus + ability + penalty, for every entry.
void TotalSkills(Char* c);

// Entries sorted by skill name.
void ReArrangeSkills(Char* c);

// The armour check penalty the sheet shows: missing proficiencies and worn armour and
// shields (masterwork ones one less).
int ArmorCheckPenaltyShown(const Char* c);

// Skill points a character gets for its classes and level (before bonus points).
int CharacterSkillPoints(const Char* c);

}  // namespace RUNTIME_NS
