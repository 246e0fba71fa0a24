// Feats of a character: how many it gets, which it takes (a weighted draw over the
// feat table that its classes, style, region, profile and owned feats shape), their
// parameters, their scripts and the penalties for missing proficiencies.
#pragma once

#include <cstdint>

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Codes of the rows the generator treats specially (-1 when a table lacks one),
// looked up once per Source build and thread.
struct KnownRows {
  uint32_t generation = UINT32_MAX;
  int finesse, familiarSpell, alignmentCasting, arrowOfDeath, spellCasting, spellKnowledge, instantReload;
  int psionicBody, mindOverBody, improvised, toughness;
  int weaponFocus, greaterFocus, epicFocus, specialization, greaterSpecialization, epicSpecialization;
  int improvedSneak, improvedFamiliar, improvedCritical, keen;
  int fighter, bard, human, robe, war, claw;
};
const KnownRows& Known();

// A melee weapon that weapon finesse applies to: light ones, the rapier, whip and chain,
// natural weapons.
bool FinesseWeapon(const CharItem& item);

// Whether the Char owns the feat, with any parameter.
bool OwnsFeat(const Char* c, int feat);
// The feat covers the item: owned in general, for this very item, or without parameter
// (feat -1: the item needs none).
bool Covers(const Char* c, int feat, int equipment);

// Prerequisites, impossible skill ranks and the feats with conditions of their own.
// A failure other than a missing feat blocks the feat for the rest of the creation.
bool CanTakeFeat(Char* c, int feat, int slot, int32_t* weights);

// The commoner's one simple weapon. SRD 3.5: the commoner chooses it, so it is a simple
// weapon it carries and costs no feat; the system's own rules fix the dagger and buy
// the proficiency for another weapon with a feat.
void CommonerWeapon(Char* c);

// The feats still owed per feat group (MIN_FIGHTER and the like in a class's feat list).
void ClassFeatGroups(Char* c);

// Bonus feats a class grants at `level` by its BonusFeats schedule.
int BonusFeatCount(int cls, int level);

// The weight of every feat for a pass of DoFeats, before its slots are filled; the owned
// feats (the first feat-count entries) have had their again draws.
void FeatDrawWeights(Char* c, const int32_t* extra, int cls, bool bonus, int epic, int32_t* prob);

// Fills the slots from *first up to the feat count; *first becomes the feat count.
// extra: per feat extra weight × Level (may be null). cls/bonus: a class's bonus pass.
void DoFeats(Char* c, const int32_t* extra, int cls, bool bonus, int32_t* first, int epic);

// Chooses the parameter (weapon, school, discipline) of the feat in `slot`.
void DoFeatDep(Char* c, int slot);

// The feat stage: counts every feat slot and fills it.
void CalculateFeats(Char* c);

// Runs the feat scripts, marks the feats the sheet lists and applies the penalties for
// weapons, armour and shields without proficiency. With `tpGiven` (one entry per feat
// slot) each slot receives the hit points its feat added.
void RunFeatScripts(Char* c, int32_t* tpGiven = nullptr);

void RemoveDuplicateFeats(Char* c);
void ReArrangeFeats(Char* c);

// Feats and skill ranks for the hit dice from oldDice to newDice.
void IncreaseHDFeatSkill(Char* c, int oldDice, int newDice, int skillPointsPerDie, int featInterval);

// The parameter of a feat entry as the sheet and export name it ("" without one).
const char* FeatParameterText(const Char* c, int entry);

// The class-major feat weights kept between creatures (freed with the other creation
// caches).
void ReleaseClassFeatWeights();

}  // namespace RUNTIME_NS
