// Items and treasure: putting equipment into items, magic effects and their prices,
// protective wondrous items, goods and treasure hoards.
#pragma once
#include <cstdint>

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Fills item `number` from an equipment record; with buy its price is paid.
void EquipItem(Char* c, int equipment, int number, bool buy);
// Chooses and prices the magic effects of one item.
void DoEffects2(Char* c, int number);
// Protection or effects for the wondrous item being bought (the item at the item count).
void ProtectiveItem(Char* c);
// Goods bought from the treasure money.
void InsertTreasure(Char* c);
// A hoard into the Char's items; itemTreasure 0 for a treasure-only creature.
void CreateTreasure(Char* c, int itemTreasure);
// Turns part of a Char's treasure money into a hoard of items.
void ItemTreasure(Char* c);

// Whether an item of a treasure sells at its full value (gems, art objects, trade goods)
// under SRD 3.5 rather than at half its price.
bool SellsAtFullValue(const CharItem& it);

// The families of named items (rows of the specific item table) on the SRD's random
// magic item tables, told apart by the kind of the row's base item.
enum class ItemFamily { kRing, kWondrous, kPotion, kRod, kScroll, kStaff, kWand, kArmour, kShield, kWeapon };
constexpr int kFamilyCount = 10;
bool OfFamily(ItemFamily family, int kind);
// The kind of a named item's base item, -1 for none.
int SpecificKind(int specific);
// The family of a named item (an ItemFamily), -1 for none.
int SpecificFamily(int specific);
// The rows of a family in the item table, their names and their widths on the minor,
// medium and major tables.
struct FamilyRows {
  const int32_t* rows;
  int count;
  const char* const* names;
  const int32_t* widths[3];
};
FamilyRows RowsOf(ItemFamily family);
// What a named item gets when it is made: a wand's or staff's charges, a scroll's spell
// (from the list of class `spellClass`; -1: the SRD's arcane or divine scroll).
void MakeNamedItem(Char* c, CharItem& it, int spellClass);

// Pays a price: a shortfall raises the budget and leaves the money at 0.
void Pay(Char* c, int64_t price);

}  // namespace RUNTIME_NS
