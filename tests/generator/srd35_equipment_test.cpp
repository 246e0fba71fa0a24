// Equipment and treasure under SRD 3.5: prices of magic arms and named items, what may be carried and
// worn, hoards by the treasure table, and the sale value.
#include <map>
#include <set>

#include "generator/source_fixture.h"
#include "generator/treasure.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Srd35Treasure : public CreationFixture {};

std::string NameOf(const CharItem& it) {
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? gSource.equipment[it.equipment].name.c_str() : "";
}
int64_t Paid(const CharItem& it) { return (int64_t)it.price + it.value; }

// Market prices (gp) of a few bases per family: a magic one adds masterwork (weapon 300,
// armour 150, 6 per missile of a bundle of 50) and 2000 resp. 1000 per enhancement squared.
const std::map<std::string, int> kWeaponPrice = {
    {"Dolch", 2}, {"Langschwert", 15}, {"Zweihänder", 50}, {"Langbogen", 75}, {"LeichteArmbrust", 35}};
const std::map<std::string, int> kArmourPrice = {{"Lederrüstung", 10},       {"Kettenhemd", 100},
                                                 {"Brustplatte", 200},       {"Ritterrüstung", 1500},
                                                 {"GroßerMetallschild", 20}, {"Turmschild", 30}};

// Whether one of the character's classes (or domains, at any level) lists the spell.
bool OnOwnList(const Char* c, int spell, int level) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    int at =
        c->classes[s] >= 0 && c->classes[s] < gSource.classCount ? gSource.spells[spell].Levels()[c->classes[s]] : -1;
    if (at >= 0 && (level < 0 || at == level)) return true;
  }
  const SpellSource& x = gSource.spells[spell];
  for (int e = 0; e < x.domainCount && e < 2; ++e)
    for (int d = 0; d < c->domainCount && d < 16; ++d)
      if (x.domains[e] >= 0 && x.domains[e] == c->domains[d] && level < 0) return true;
  return false;
}

bool OnSomeList(int spell, int level) {
  for (int k = 0; k < gSource.classCount; ++k)
    if (gSource.spells[spell].Levels()[k] == level) return true;
  return false;
}

bool Consumable(const std::string& name) {
  for (const char* n :
       {"TrankDerLeichtenWunden", "TrankDerMittelschwerenWunden", "Alchemistenfeuer", "Gegengift", "Weihwasser",
        "Rauchstab", "Donnerstein", "Verstrickungsbeutel", "Sonnenstab", "Zauberschriftrolle"})
    if (name == n) return true;
  return false;
}

}  // namespace

// One corpus of characters (0), NPC classes (4), hoards (3) and monsters (1). Carried gear: potions of
// spell level 3 at most, no enhanced clothing, ammunition with its launcher, monks unarmoured, arcane
// casters only in armour they are trained for, druids in no metal armour, no item above half the gear
// value. Named items at their price with the charges and spells they can hold; treasure sells at half,
// valuables in full.
TEST_F(Srd35Treasure, CorpusPricesGearNamedItemsAndSaleValue) {
  const std::map<std::string, std::set<std::string>> kLaunchers = {
      {"Pfeile",
       {"Kurzbogen", "KompositKurzbogen", "MächtigerKompositKurzbogen", "Langbogen", "KompositLangbogen",
        "MächtigerKompositLangbogen"}},
      {"Armbrustbolzen",
       {"LeichteArmbrust", "SchwereArmbrust", "Handarmbrust", "LeichteRepetierarmbrust", "SchwereRepetierarmbrust"}},
      {"Schleuderkugeln", {"Schleuder"}}};
  const std::set<std::string> kDruidArmour = {"Kleidung",          "GepolsterteRüstung", "Lederrüstung", "Fellrüstung",
                                              "KleinerHolzschild", "GroßerHolzschild",   "Turmschild"};
  const char* const kArmourFeats[3] = {"LeichteRüstung", "MittelschwereRüstung", "SchwereRüstung"};
  const int kKinds[] = {0, 4, 3, 0, 1};
  Char* c = Wired();
  std::map<std::string, int> seen;
  int kinds[32] = {};
  for (int n = 0; n < 600; ++n) {
    const int kind = kKinds[n % 5];
    CreateSrd35(c, kind, 1 + n / 5 % 20);
    SCOPED_TRACE("creature " + std::to_string(n));
    std::set<std::string> classes, feats, carried;
    for (int s = 0; s < c->classCount; ++s) classes.insert(ClassName(c, s));
    for (int i = 0; i < c->featCount; ++i) feats.insert(gSource.feats[c->feats[i]].name.c_str());
    for (int i = 0; i < c->treasureIndex; ++i) carried.insert(NameOf(c->items[i]));
    const bool gear = kind == 0 || kind == 4, monk = classes.count("Mönch"), druid = classes.count("Druide");
    const bool arcane = !classes.empty() && std::all_of(classes.begin(), classes.end(), [](const std::string& k) {
      return k == "Magier" || k == "Hexenmeister";
    });
    seen["monk"] += gear && monk, seen["druid"] += gear && druid, seen["arcane"] += gear && arcane;
    EXPECT_TRUE(!gear || c->armorCheckPenalty == 0);  // untrained armour adds nothing to the check penalty
    EXPECT_EQ(Notes(c).find("Träkne kritische"), std::string::npos);
    EXPECT_EQ(Notes(c).find("Träkne Heilung"), std::string::npos);
    int64_t full = c->treasureMoney, sold = 0;
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      const std::string name = NameOf(it);
      SCOPED_TRACE(name + " \"" + it.label + "\"");
      const int64_t b2 = (int64_t)it.enhancement * it.enhancement;
      if (it.enhancement > 0 && !it.effectCount && !it.specific && !it.mithril && !it.mercury && !it.masterwork &&
          !it.bowStrength) {
        if (it.equipType == 11) {
          int64_t missiles = Paid(it) - 50 * 6 - b2 * 2000;
          EXPECT_TRUE(missiles >= 0 && missiles <= 5) << Paid(it);
          ++seen["ammunition"];
        } else if (it.equipType == 0 && kWeaponPrice.count(name)) {
          EXPECT_EQ(Paid(it), kWeaponPrice.at(name) + 300 + b2 * 2000);
          ++seen["weapon"];
        } else if (it.equipType == 0 && name == "Zweiklingenschwert") {
          EXPECT_EQ(Paid(it), 100 + 2 * 300 + 2 * b2 * 2000);
        } else if ((it.equipType == 1 || it.equipType == 2) && kArmourPrice.count(name)) {
          EXPECT_EQ(Paid(it), kArmourPrice.at(name) + 150 + b2 * 1000);
          ++seen["armour"];
        }
      }
      if (it.specific > 0) {
        ASSERT_LT(it.specific, gSource.specificCount);
        const SpecificSource& x = gSource.specifics[it.specific];
        const int type = SpecificKind(it.specific);
        const bool potion = type == 18 || type == 19, own = gear && !it.treasure;
        if (type >= 0 && type < 32) ++kinds[type];
        seen["worn wondrous"] += (type >= 4 && type <= 9) || type == 12 || type == 13;
        int pieces = 1;
        if (potion) sscanf(it.label, "%d Stück", &pieces);
        EXPECT_EQ(Paid(it), (int64_t)x.price * pieces);
        EXPECT_TRUE(x.charges > 0 ? it.charges >= 1 && it.charges <= x.charges : it.charges == 0) << it.charges;
        if (potion && own) {
          ASSERT_GE(x.spell, 0);
          EXPECT_LE(x.spellLevel, 3);
        }
        if (type == 15 && own) {
          ASSERT_GE(x.spell, 0);
          EXPECT_TRUE(OnOwnList(c, x.spell, -1)) << gSource.spells[x.spell].name.c_str();
        }
        if (type == 20) {
          ASSERT_TRUE(it.spell >= 1 && it.spell <= gSource.spellCount) << "a scroll without a spell";
          EXPECT_TRUE(OnSomeList(it.spell - 1, x.spellLevel));
          EXPECT_TRUE(!own || OnOwnList(c, it.spell - 1, x.spellLevel)) << gSource.spells[it.spell - 1].name.c_str();
        } else {
          EXPECT_EQ(it.spell, 0);
        }
      }
      if (gear && i < c->treasureIndex) {
        const bool worn = it.equipType == 1 || it.equipType == 2;
        EXPECT_LE(Paid(it), c->drawnBudget / 2);
        EXPECT_FALSE(name == "Kleidung" && it.enhancement);
        if (it.equipType == 11) {
          bool launcher = false;
          for (const std::string& l : kLaunchers.at(name)) launcher = launcher || carried.count(l);
          EXPECT_TRUE(launcher);
        }
        EXPECT_FALSE(worn && monk);
        seen["untrained shield"] += it.equipType == 2 && !OwnsFeat(c, gSource.proficiencyFeats[2][0]);
        EXPECT_TRUE(!worn || !druid || it.specific || kDruidArmour.count(name));
        // The archmage's robe is a robe, worn without armour training.
        if (it.equipType == 1 && arcane && it.armor > 0 && it.type >= 0 && it.type <= 2 && !it.specific &&
            name != "Magierrobe") {
          EXPECT_TRUE(feats.count(kArmourFeats[it.type])) << "untrained";
        }
        EXPECT_TRUE(it.equipType != 2 || !arcane || feats.count("Schilde")) << "untrained";
        if (it.equipType <= 2 || it.equipType == 11) {
          EXPECT_LE(it.enhancement, 5);
          EXPECT_LE(it.enhancement + it.secondEffect, 10);
        }
        int cap = strstr(it.label, "RK-Armbänder")                                ? 8
                  : strstr(it.label, "Schutz") || strstr(it.label, "Widerstands") ? 5
                                                                                  : 1000;
        EXPECT_LE(Plus(it.label), cap);
      }
      if (it.treasure) (it.equipType == 10 && !Consumable(name) ? full : sold) += Paid(it);
    }
    EXPECT_EQ(c->saleValue, full + sold / 2);
    seen["sold"] += sold > 1;
  }
  for (const char* k : {"weapon", "armour", "ammunition", "druid", "arcane", "sold"}) EXPECT_GE(seen[k], 5) << k;
  EXPECT_GE(seen["monk"], 3);
  EXPECT_GT(seen["worn wondrous"], 0);
  EXPECT_GT(seen["untrained shield"], 0);
  // potion, oil, wand, staff, rod, scroll, ring, slotless wondrous
  for (int k : {18, 19, 15, 16, 17, 20, 3, 21}) EXPECT_GT(kinds[k], 0) << "no named item of kind " << k;
}

// One roll of the table at levels 1, 4, 10, 20: coins as dice × die × gp per step, at most
// so many gems or art objects and items.
TEST_F(Srd35Treasure, HoardsHoldWhatTheTableGives) {
  const struct {
    int level, coins[4][3], goods, items;
  } kRows[] = {
      {1, {{1, 6, 10}, {1, 8, 10}, {2, 8, 10}, {1, 4, 100}}, 1, 1},
      {4, {{3, 10, 10}, {4, 12, 100}, {1, 6, 100}, {1, 8, 100}}, 4, 4},
      {10, {{2, 10, 100}, {6, 4, 100}, {5, 6, 100}, {0, 0, 0}}, 8, 4},
      {20, {{4, 8, 1000}, {4, 10, 1000}, {0, 0, 0}, {0, 0, 0}}, 42, 4},
  };
  Char* c = Wired();
  for (const auto& row : kRows)
    for (int n = 0; n < 40; ++n) {
      CreateSrd35(c, 3, row.level);
      SCOPED_TRACE("level " + std::to_string(row.level) + " hoard " + std::to_string(n));
      int32_t coins = c->treasureMoney;
      bool table = coins == 0;
      for (const auto& k : row.coins)
        table = table || (k[2] && coins % k[2] == 0 && coins / k[2] >= k[0] && coins / k[2] <= k[0] * k[1]);
      EXPECT_TRUE(table) << coins << " gp";
      EXPECT_EQ(c->money, coins);
      int pieces = 0, items = 0;
      for (int i = 0; i < c->itemCount; ++i) {
        const CharItem& it = c->items[i];
        if (it.equipType == 10 && !Consumable(NameOf(it)))
          pieces += atoi(it.label);
        else
          ++items;
      }
      EXPECT_LE(pieces, row.goods);
      EXPECT_LE(items, row.items);
    }
}
