// The shipped named magic items against the SRD's random tables and price lists: every table
// row is there, the d% widths of each grade fill the die, and prices, spells and charges are
// the SRD's.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "generator/source_fixture.h"
#include "generator/treasure.h"

using namespace debugspace;

namespace {

class MagicItems : public generator_test::SourceFixture {
 protected:
  static int BySrdName(const std::string& name) {
    for (int i = 1; i < gSource.specificCount; ++i)
      if (name == gSource.specifics[i].srd.c_str()) return i;
    return -1;
  }
  // The lowest level at which any class or domain casts the spell, 99 when none does.
  static int LowestListLevel(int spell) {
    const SpellSource& x = gSource.spells[spell];
    int lowest = x.domainCount > 0 ? x.domainLevel : 99;
    for (int k = 0; k < gSource.classCount; ++k)
      if (x.Levels()[k] >= 0 && x.Levels()[k] < lowest) lowest = x.Levels()[k];
    return lowest;
  }
};

// Rows of each SRD random table and the width its minor, medium and major table gives the
// family (0: the SRD has no table of that grade for it).
TEST_F(MagicItems, EveryTableRowIsARowAndTheWidthsFillTheDie) {
  struct Family {
    const char* name;
    ItemFamily family;
    int rows;
    int widths[3];
  };
  const Family kFamilies[] = {
      {"rings", ItemFamily::kRing, 46, {100, 100, 100}},
      {"wondrous items", ItemFamily::kWondrous, 100 + 100 + 100, {100, 100, 100}},
      {"potions and oils", ItemFamily::kPotion, 85, {100, 100, 100}},
      {"wands", ItemFamily::kWand, 81, {100, 100, 100}},
      {"staffs", ItemFamily::kStaff, 21, {0, 100, 100}},
      {"rods", ItemFamily::kRod, 36, {0, 100, 100}},
      {"scrolls (one row a spell level)", ItemFamily::kScroll, 10, {100, 100, 100}},
      {"specific weapons", ItemFamily::kWeapon, 34, {100, 100, 100}},
      {"specific armours", ItemFamily::kArmour, 12, {100, 100, 100}},
      {"specific shields", ItemFamily::kShield, 8, {100, 100, 100}},
  };
  int all = 0;
  for (const Family& f : kFamilies) {
    int rows = 0, widths[3] = {};
    for (int i = 1; i < gSource.specificCount; ++i) {
      if (!OfFamily(f.family, SpecificKind(i))) continue;
      ++rows;
      for (int g = 0; g < 3; ++g) widths[g] += gSource.specifics[i].grades[g];
    }
    all += rows;
    EXPECT_EQ(rows, f.rows) << f.name;
    for (int g = 0; g < 3; ++g) EXPECT_EQ(widths[g], f.widths[g]) << f.name << ", grade " << g;
  }
  EXPECT_EQ(all, gSource.specificCount - 1) << "a named item outside every family";
}

// Market prices typed from the SRD's tables; where a table and the item's entry disagree, the
// entry's (assassin's dagger).
TEST_F(MagicItems, PricesAreTheSrds) {
  // A few per family and grade (name=gp|...); formula-priced spell items are checked below.
  const std::string kPrices =
      "Ring of Feather Falling=2200|Ring of Protection +3=18000|Ring of Three Wishes=97950|"
      "Cloak of Resistance +1=1000|Bracers of Armor +8=64000|Manual of Gainful Exercise +5=137500|"
      "Potion of Cure Light Wounds=50|Potion of Resist Energy 20=700|Wand of Stoneskin=33500|Staff of Charming=16500|"
      "Staff of Power=211000|Immovable Rod=5000|Greater Metamagic Rod of Quicken=170000|Scroll (0-level spell)=13|"
      "Assassin's Dagger=18302|Luck Blade (3 wishes)=142960|Mithral Shirt=1100|Demon Armor=52260|"
      "Darkwood Buckler=205|Absorbing Shield=50170";
  std::stringstream in(kPrices);
  for (std::string entry; std::getline(in, entry, '|');) {
    const std::string srd = entry.substr(0, entry.rfind('='));
    int i = BySrdName(srd);
    ASSERT_GE(i, 1) << "no row named " << srd;
    EXPECT_EQ(gSource.specifics[i].price, std::stoi(entry.substr(srd.size() + 1))) << srd;
  }
}

// Spell items hold a spell the item may hold (potions up to 3rd level, wands up to 4th),
// priced by the SRD's formula: spell level × caster level × 50 gp a potion, 750 gp a wand,
// 25 gp a scroll (a 0-level spell counts half), plus a wand's material components. Wands and
// staffs have 50 charges, nothing else has any.
TEST_F(MagicItems, SpellItemsChargesAndFormulaPrices) {
  struct Kind {
    ItemFamily family;
    const char* name;
    int highest, perLevel, charges;
  };
  const Kind kKinds[] = {
      {ItemFamily::kPotion, "potion", 3, 50, 0}, {ItemFamily::kWand, "wand", 4, 750, 50},
      {ItemFamily::kScroll, "scroll", 9, 25, 0}, {ItemFamily::kStaff, "staff", -1, 0, 50},
      {ItemFamily::kRing, "ring", -1, 0, 0},     {ItemFamily::kWondrous, "wondrous", -1, 0, 0},
      {ItemFamily::kRod, "rod", -1, 0, 0},       {ItemFamily::kWeapon, "weapon", -1, 0, 0},
      {ItemFamily::kArmour, "armour", -1, 0, 0}, {ItemFamily::kShield, "shield", -1, 0, 0},
  };
  // The 50 charges' diamond dust (100 gp a casting) and granite and diamond dust (250 gp).
  const struct {
    const char* srd;
    int gp;
  } kComponents[] = {{"Wand of Restoration", 5000}, {"Wand of Stoneskin", 12500}};
  int scrollLevels = 0;
  for (int i = 1; i < gSource.specificCount; ++i) {
    const SpecificSource& x = gSource.specifics[i];
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds)
      if (OfFamily(k.family, SpecificKind(i))) kind = &k;
    ASSERT_NE(kind, nullptr) << x.name.c_str();
    SCOPED_TRACE(std::string(kind->name) + " " + x.name.c_str());
    EXPECT_EQ(x.charges, kind->charges);
    if (kind->highest < 0) {
      EXPECT_EQ(x.spellLevel, -1);
      continue;
    }
    EXPECT_GE(x.spellLevel, 0);
    EXPECT_LE(x.spellLevel, kind->highest);
    if (kind->family == ItemFamily::kScroll) {
      scrollLevels |= 1 << x.spellLevel;
    } else {
      ASSERT_GE(x.spell, 0);
      ASSERT_LT(x.spell, gSource.spellCount);
      // The SRD's wand table prices daylight as the 2nd-level spell it no longer is.
      int priced = x.srd == "Wand of Daylight" ? 3 : x.spellLevel;
      EXPECT_LE(LowestListLevel(x.spell), priced) << gSource.spells[x.spell].name.c_str();
    }
    double price = (x.spellLevel ? x.spellLevel : 0.5) * x.casterLevel * kind->perLevel;
    for (const auto& c : kComponents)
      if (x.srd == c.srd) price += c.gp;
    EXPECT_EQ(x.price, (int)std::ceil(price)) << "level " << x.spellLevel << ", caster level " << x.casterLevel;
  }
  EXPECT_EQ(scrollLevels, (1 << 10) - 1) << "a scroll row for each spell level 0 to 9";
}

}  // namespace
