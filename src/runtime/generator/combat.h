// Combat values of a character: the fighting style, and with it the hand wishes that
// decide which weapons the character buys.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Style and second style (0 "-", 1 "Waffe und Schild", 2 "Zwei Waffen", 3 "Zweihänder",
// 4 "Fernkampf"); the first sets the wish of the main hand, the second that of the other.
void ChooseFightingStyle(Char* c);

// "-", "Waffe und Schild", ... for 0 to 5; an empty text for other values.
const char* StyleName(int style);

// Attack and damage of every weapon (traced at debug level 2), armour class, saves and
// initiative; with `finish` also healing potions and the equipment that goes to treasure.
void CalcWeapons(Char* c, bool finish);

// Healing potions bought with the money left.
void BuyPotions(Char* c);

// Items drawn into the treasure while the wealth allows.
void DoFinalVals(Char* c);

// What selling the treasure brings.
void SaleValue(Char* c);

// Sneak attack, evasion, smite, vision and the like as special-ability lines.
void FamiliarLines(Char* c);
void SpecialTexts(Char* c);

// The lowest natural roll that threatens a critical hit with the weapon: its range
// doubles once, by keenness or by Improved Critical for a weapon the Char fights with.
int32_t ThreatLowest(const Char* c, const CharItem& it);

// Two-weapon fighting: the attack penalties of a pair of weapons and of a double weapon's
// two ends, on the weapons' own attack modifiers. The system's own rules fix them when the
// weapons are bought (`featsKnown` false), SRD 3.5 once the feats are known (true); the
// other call does nothing.
void TwoWeaponPenalties(Char* c, bool featsKnown);

// Penalties for weapons, armour and shields without proficiency, once the feats are known:
// on the weapons' attack modifiers and, by the system's own rules, the check penalty.
void ProficiencyPenalties(Char* c);

// How many attacks a round a weapon in use makes, each 5 below the one before. The system's
// own rules: the iterative attacks, one with a weapon in the second hand only. SRD 3.5: the
// off-hand weapon of a pair as many as two-weapon fighting gives (Attacks2), any other
// weapon the iterative attacks.
int WeaponAttackCount(const Char* c, const CharItem& it);

// The damage an adamantine weapon adds. The system's own rules: 1, 2 for a weapon of more
// than 6 points of base damage; SRD 3.5: none (it is masterwork and passes hardness).
int32_t AdamantineDamage(const Char* c, bool large);

// Save totals: base, epic, ability and both script bonuses.
int32_t SaveTotal(const Char* c, int which);

}  // namespace RUNTIME_NS
