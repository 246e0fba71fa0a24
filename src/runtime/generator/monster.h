// Monsters: the choice of a monster for a CR, and its build from the monster row with
// template, advanced hit dice and size, abilities and spellcasting.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Collects the options whose CR range holds the creature's CR, draws a type and a
// monster and builds it. 0 when built, 1 when no monster fits the CR.
int DetermineMonster(Char* c);

// Builds the chosen monster (c->monster and its options) into the Char.
void SetMonster(Char* c);

// Class slots from the monster's spellcasting text ("Hexenmeister 7").
void SetMonsterSpellChar(Char* c);

// One size category larger: armour, attacks, abilities and damage dice.
void MonsterSizeIncrease(Char* c);

// Adds changes to the first `count` ability scores. With flag 0 it carries the
// modifier changes into armour class, saves and hit points, and every natural attack
// takes the current size row's size change and one damage-die step.
void SizeAndAbilityChange(Char* c, const int32_t* changes, int count, int flag = 0);

// Strength on natural attacks: what a change of the Strength modifier from `before` to
// `after` adds to the damage of natural attack `i`. The system's own rules: the change;
// SRD 3.5: 1 1/2 times it for a sole attack, once for primary and 1/2 for secondary
// attacks, a penalty in full.
int NaturalAttackStrengthDamage(const Char* c, int i, int before, int after);

// Size modifier of attack and armour class for a row of the size table (Medium 0).
int SizeModifier(int sizeIndex);

// Damage die one size larger (d8 becomes 2d6 and so on).
void StepDamageDie(int32_t* dice, int32_t* die);

// Base attack and saves of the monster's type at its hit dice, with the changes carried
// into the totals; the values the sheet shows for attacks and armour class.
void MonsterFinalValues(Char* c);

// Skill totals with the ability part of the current scores (the stat block's ranks and
// racial parts stay): after a size step, a template or a companion's gifts.
void MonsterSkillAbilities(Char* c);

// The viewer's + (one hit die more), - (one less) and * (a monster one size larger).
void ChangeHitDice(Char* c, int key);

// Forgets the batch's reference monster (every batch starts without one).
void ResetReferenceMonster();
// The batch's reference monster (-1 = none yet); a replayed record sets it back.
int ReferenceMonster();
void SetReferenceMonster(int m);
// Frees what the monster choice keeps between creatures (at the end of a runtime).
void ReleaseMonsterCaches();

// A character made a zombie: under SRD 3.5 it has no Intelligence either (the system's
// own rules take only Constitution).
void TemplateTakesIntelligence(Char* c, int templateIndex);

}  // namespace RUNTIME_NS
