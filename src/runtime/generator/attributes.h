// Ability scores and race of a character: dice, weak-set rejection, placement by
// class or profile weights, race and subrace, racial adjustments, the increase every
// fourth level, and inherent bonuses bought with surplus wealth.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Score and modifier of ability i (0 Strength … 5 Charisma).
int32_t& AbilityScore(Char* c, int i);
int32_t& AbilityModifier(Char* c, int i);
// Modifiers from scores; absent abilities keep 0.
void ComputeModifiers(Char* c);
// An absent ability (a construct's Constitution) is 0 again after the steps that
// compute with a stand-in score.
void ZeroAbsentAbilities(Char* c);

// Method 1: 3W6 seven times, the weakest dropped; 2: 4W6 keep three; other: 3W6.
void RollAttributes(Char* c, int method);
void ArrangeAttributes(Char* c);
void SetRace(Char* c, int race);
void ChooseRace(Char* c);
// The levels a race takes off a character's level for its CR. SRD 3.5: the CR a race
// adds to a character with class levels; the system's own rules: its level adjustment.
int RaceCRModifier(const Char* c, int levelAdjustment);
void ApplyRaceAdjustments(Char* c);
void IncreaseAttributes(Char* c);
void InherentBonus(Char* c);

}  // namespace RUNTIME_NS
