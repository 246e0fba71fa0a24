// Buying a character's equipment from its budget.
#pragma once
#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Fills the Char's items, budget and money.
void GenerateEquipment(Char* c);

// The equipment record of that name (which must exist).
int EquipmentNamed(const char* name);
// An enhancement for item `number` (base price, hand 0 or 1, divisor of the level).
void BuyEnhancement(Char* c, int number, int32_t base, int hand, int divisor);
// One wondrous item of a kind; money divisor and number of tries as the rules give them.
void BuyWondrousItem(Char* c, int divisor, int tries, const char* equipment, int kind);
// Runs a specific item's script for the creature that owns it.
void RunSpecificScript(Char* c, CharItem& it);
// 1 when a specific magic item was chosen for item `number`.
int ChooseSpecificItem(Char* c, int number);

// What the masterwork quality adds to the price of magic arms (`own`: what the system's own
// rules charge at that place).
int32_t MasterworkCost(const Char* c, const CharItem& it, int32_t own);
// An enhancement costs its square times this: SRD 3.5 prices a bundle of fifty missiles
// as a weapon.
inline int64_t EnhancementUnit(const Char* c, int kind) {
  if (Srd35(c)) return kind == 0 || kind == 11 ? 2000 : 1000;
  return kind == 0 ? 2000 : 1000;
}

// SRD 3.5: both heads of a magic double weapon carry its enhancement and each pays for it;
// the special abilities sit on the first head. The system's own rules price one head.
inline int64_t SecondHeadPrice(const Char* c, const CharItem& it) {
  if (!Srd35(c) || it.equipType != 0 || it.attackType != 2 || it.enhancement <= 0) return 0;
  return (int64_t)it.enhancement * it.enhancement * EnhancementUnit(c, 0);
}

// The highest enhancement bonus of arms and protective items: +5 under SRD 3.5 (an
// artifact's +6 only prices abilities); the system's own rules set none.
inline int32_t EnhancementCeiling(const Char* c) { return Srd35(c) ? 5 : 1000; }

// The most one item of a creature's own equipment may cost.
int64_t ItemCeiling(const Char* c);

// How much the creature's classes want an item: the sum, over its classes, of the item's
// weights of the class groups (fighter, arcane, rogue, divine) the class belongs to.
int64_t GroupWeight(const Char* c, const int32_t groups[4]);
// SRD 3.5: the potions, scrolls, wands, staffs, rods and slotless wondrous items a
// character carries, bought from the money its gear left.
void CarriedItems(Char* c);

}  // namespace RUNTIME_NS
