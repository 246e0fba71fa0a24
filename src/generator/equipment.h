// Buying a character's equipment from its budget.
#pragma once
#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Fills the Char's items, budget and money.
void GenerateEquipment(Char* c);

// The equipment record of that name (which must exist).
int EquipmentNamed(const char* name);
// An enhancement for item `number` (base price, hand 0 or 1, divisor of the level).
void BuyEnhancement(Char* c, int number, int32_t base, int hand, int divisor);
// One wondrous item of a kind; money divisor and number of tries as the rules give them.
void BuyWondrousItem(Char* c, int divisor, int tries, const char* equipment, int kind);
// 1 when a specific magic item was chosen for item `number`.
int ChooseSpecificItem(Char* c, int number);

// What the masterwork quality adds to the price of magic arms (`own`: what the system's own
// rules charge at that place).
int32_t MasterworkCost(const Char* c, const CharItem& it, int32_t own);
// The gold of one step of the enhancement square for arms of that kind.
int64_t EnhancementUnit(const Char* c, int kind);
// The price of a magic double weapon's second head.
int64_t SecondHeadPrice(const Char* c, const CharItem& it);
// The highest enhancement bonus of arms and protective items.
int32_t EnhancementCeiling(const Char* c);
// The most one item of a creature's own equipment may cost.
int64_t ItemCeiling(const Char* c);

}  // namespace RUNTIME_NS
