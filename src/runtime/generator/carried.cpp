// What a character carries beside its worn gear (SRD 3.5): a few consumable and slotless
// magic items of its kind, a cleric's wand, a wizard's scrolls, a rogue's potions.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "generator/equipment.h"
#include "generator/scratch.h"
#include "generator/treasure.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

constexpr int kMostCarried = 5;
constexpr int kMostPotions = 4;

// The families a character carries and how much each class group wants them
// (fighter, arcane, rogue, divine).
struct CarriedFamily {
  ItemFamily family;
  int32_t groups[4];
};
constexpr CarriedFamily kCarried[] = {
    {ItemFamily::kPotion, {6, 2, 6, 3}}, {ItemFamily::kScroll, {0, 5, 1, 4}}, {ItemFamily::kWand, {0, 4, 1, 4}},
    {ItemFamily::kStaff, {0, 1, 0, 1}},  {ItemFamily::kRod, {1, 1, 1, 1}},    {ItemFamily::kWondrous, {2, 2, 2, 2}},
};
constexpr int kFamilies = sizeof kCarried / sizeof kCarried[0];
const char* const kFamilyNames[kFamilies] = {"Trank", "Schriftrolle", "Zauberstab", "Stab", "Zepter", "Wundersam"};

// The level at which the creature's domains grant `spell`, -1 when they do not.
int DomainLevel(const Char* c, const SpellSource& x) {
  for (int e = 0; e < x.domainCount && e < 2; ++e)
    for (int d = 0; d < c->domainCount && d < 16; ++d)
      if (x.domains[e] >= 0 && x.domains[e] == c->domains[d]) return x.DomainLevel(e);
  return -1;
}

// A casting class of the creature (its slot) whose list holds `spell` at a level it casts
// (a class with domains also its domain spells); with spell -1 one that casts spells of
// `level`. -1 when none.
int CastingSlot(const Char* c, int spell, int level) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k) continue;
    int at = level;
    if (spell >= 0) {
      const SpellSource& x = gSource.spells[spell];
      at = x.Levels()[c->classes[s]];
      if (at < 0 && k->domains > 0) at = DomainLevel(c, x);
    }
    if (at >= 0 && at <= 9 && c->spellsPerDay[s][at] > 0) return s;
  }
  return -1;
}

// Whether the creature can use a named item of the family: spell items only with the spell
// on the list of a class that casts spells of its level (scrolls: of the scroll's level).
bool Usable(const Char* c, ItemFamily family, int row) {
  const SpecificSource& x = gSource.specifics[row];
  if (family == ItemFamily::kWand) return x.spell >= 0 && CastingSlot(c, x.spell, 0) >= 0;
  if (family == ItemFamily::kScroll) return x.spellLevel >= 0 && CastingSlot(c, -1, x.spellLevel) >= 0;
  if (family == ItemFamily::kWondrous) return SpecificKind(row) == 21;
  return true;
}

// A named item of the family within `limit` gold, by the creature's class groups and the
// item's SRD table widths; -1 for none.
int DrawCarried(Char* c, ItemFamily family, int64_t limit) {
  FamilyRows rows = RowsOf(family);
  Scratch<int32_t, 512> weights((size_t)std::max(rows.count, 1), 0);
  bool any = false;
  for (int k = 0; k < rows.count; ++k) {
    const SpecificSource& x = gSource.specifics[rows.rows[k]];
    if (x.price <= 0 || x.price > limit || !Usable(c, family, rows.rows[k])) continue;
    int64_t w = GroupWeight(c, x.groups) * std::max(1, rows.widths[0][k] + rows.widths[1][k] + rows.widths[2][k]);
    weights[(size_t)k] = (int32_t)std::min<int64_t>(w, 500000000);
    any = any || w > 0;
  }
  if (!any) return -1;
  int k = AdvancedRand(c->context.random, rows.count, weights.data(), 4, rows.names, sizeof(const char*),
                       "Mitgeführter Gegenstand", 0, true, 0, false);
  return k >= 0 ? rows.rows[k] : -1;
}

}  // namespace

void CarriedItems(Char* c) {
  IsaacState* s = c->context.random;
  int most = std::clamp(1 + c->Level / 4, 1, kMostCarried);
  int count = random(s, 0, most, "Mitgeführte Gegenstände", 0);
  for (int k = 0; k < count && c->itemCount < kMaxItems; ++k) {
    int64_t limit = std::min<int64_t>(c->money, ItemCeiling(c));
    int32_t weights[kFamilies];
    for (int f = 0; f < kFamilies; ++f) weights[f] = (int32_t)GroupWeight(c, kCarried[f].groups);
    int f = AdvancedRand(s, kFamilies, weights, 4, kFamilyNames, sizeof(const char*),
                         "Art des mitgeführten Gegenstands", 0, true, 0, false);
    if (f < 0) return;
    int specific = DrawCarried(c, kCarried[f].family, limit);
    if (specific <= 0) continue;
    const SpecificSource& x = gSource.specifics[specific];
    int number = c->itemCount++;
    EquipItem(c, x.base, number, false);
    CharItem& it = c->items[number];
    it.specific = specific;
    it.magic = 1;
    int pieces = 1;
    if (kCarried[f].family == ItemFamily::kPotion)
      pieces = random(s, 1, (int)std::clamp<int64_t>(limit / x.price, 1, kMostPotions), "Anzahl?", 0);
    if (pieces > 1) snprintf(it.label, sizeof it.label, "%d Stück", pieces);
    it.value = x.price * pieces;
    int slot = kCarried[f].family == ItemFamily::kScroll ? CastingSlot(c, -1, x.spellLevel) : -1;
    MakeNamedItem(c, it, slot >= 0 ? c->classes[slot] : -1);
    Pay(c, it.value);
    RunSpecificScript(c, it);
  }
}

}  // namespace RUNTIME_NS
