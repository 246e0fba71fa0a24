// Equipment and treasure under SRD 3.5: what magic arms cost, what a character may carry
// and wear, named items at their price with the charges and spells they can hold, hoards
// by the treasure table, and the sale value.
#include <map>
#include <set>

#include "generator/source_fixture.h"
#include "generator/treasure.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Srd35Treasure : public CreationFixture {};

}  // namespace

std::string NameOf(const CharItem& it) {
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? gSource.equipment[it.equipment].name.c_str() : "";
}

// Market prices of the reference equipment tables (gp): the base item, and the gold per
// enhancement squared. Double weapons pay masterwork and bonus for each head.
const std::map<std::string, int> kWeaponPrice = {
    {"Dolch", 2},        {"Langschwert", 15}, {"Langspeer", 5},        {"Kurzschwert", 10},
    {"Streitaxt", 10},   {"Zweihänder", 50},  {"Krummsäbel", 15},      {"Rapier", 20},
    {"Langbogen", 75},   {"Kurzbogen", 30},   {"LeichteArmbrust", 35}, {"SchwereArmbrust", 50},
    {"Zweihandaxt", 20}, {"Hellebarde", 10},  {"Morgenstern", 8},      {"Kriegshammer", 12}};
const std::map<std::string, int> kDoubleWeaponPrice = {{"Zweiklingenschwert", 100}, {"OrkischeDoppelaxt", 60}};
const std::map<std::string, int> kArmourPrice = {
    {"GepolsterteRüstung", 5},  {"Lederrüstung", 10},     {"BeschlageneLederrüstung", 25}, {"Kettenhemd", 100},
    {"Fellrüstung", 15},        {"Schuppenpanzer", 50},   {"Kettenpanzer", 150},           {"Brustplatte", 200},
    {"Schienenpanzer", 200},    {"Bänderpanzer", 250},    {"Halbplattenpanzer", 600},      {"Ritterrüstung", 1500},
    {"Tartsche", 15},           {"KleinerHolzschild", 3}, {"KleinerMetallschild", 9},      {"GroßerHolzschild", 7},
    {"GroßerMetallschild", 20}, {"Turmschild", 30}};
constexpr int kWeaponMasterwork = 300, kArmourMasterwork = 150, kMissileMasterwork = 6, kBundle = 50;
constexpr int kWeaponUnit = 2000, kArmourUnit = 1000;

// A +2 flaming longspear costs 18,305 gp: every magic weapon, armour, shield and bundle
// of ammunition pays its masterwork quality, a double weapon for both heads.
TEST_F(Srd35Treasure, MagicArmsPayTheirMasterwork) {
  Char* c = Wired();
  std::map<std::string, int> checked;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, n % 3 == 0 ? 3 : n % 3 == 1 ? 4 : 0, 3 + n % 18);
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.enhancement <= 0 || it.effectCount > 0 || it.specific || it.mithril || it.mercury || it.masterwork ||
          it.bowStrength)
        continue;
      std::string name = NameOf(it);
      int64_t b2 = (int64_t)it.enhancement * it.enhancement, paid = (int64_t)it.price + it.value;
      std::string who = name + " +" + std::to_string(it.enhancement) + " of creature " + std::to_string(n);
      if (it.equipType == 11) {
        int64_t rest = paid - kBundle * kMissileMasterwork - b2 * kWeaponUnit;  // what the missiles cost
        EXPECT_TRUE(rest >= 0 && rest <= 5) << who << ": " << paid;
        ++checked["ammunition"];
      } else if (it.equipType == 0 && kWeaponPrice.count(name)) {
        EXPECT_EQ(paid, kWeaponPrice.at(name) + kWeaponMasterwork + b2 * kWeaponUnit) << who;
        ++checked["weapon"];
      } else if (it.equipType == 0 && kDoubleWeaponPrice.count(name)) {
        EXPECT_EQ(paid, kDoubleWeaponPrice.at(name) + 2 * kWeaponMasterwork + 2 * b2 * kWeaponUnit) << who;
        ++checked["double weapon"];
      } else if ((it.equipType == 1 || it.equipType == 2) && kArmourPrice.count(name)) {
        EXPECT_EQ(paid, kArmourPrice.at(name) + kArmourMasterwork + b2 * kArmourUnit) << who;
        ++checked[it.treasure && i >= c->treasureIndex ? "hoard armour" : "armour"];
      }
    }
  }
  for (const char* kind : {"weapon", "armour", "ammunition"}) EXPECT_GE(checked[kind], 10) << kind;
}

// Potions of the 3rd spell level at most; no enhanced clothing; ammunition only for a
// carried launcher; monks unarmoured; arcane casters only in armour they are trained for;
// druids in no metal armour; no item above half the gear value; bonuses within their caps.
TEST_F(Srd35Treasure, GearKeepsTheRules) {
  const std::map<std::string, std::set<std::string>> kLaunchers = {
      {"Pfeile",
       {"Kurzbogen", "KompositKurzbogen", "MächtigerKompositKurzbogen", "Langbogen", "KompositLangbogen",
        "MächtigerKompositLangbogen"}},
      {"Armbrustbolzen",
       {"LeichteArmbrust", "SchwereArmbrust", "Handarmbrust", "LeichteRepetierarmbrust", "SchwereRepetierarmbrust"}},
      {"Schleuderkugeln", {"Schleuder"}}};
  const std::set<std::string> kDruidArmour = {"Kleidung",          "GepolsterteRüstung", "Lederrüstung", "Fellrüstung",
                                              "KleinerHolzschild", "GroßerHolzschild",   "Turmschild"};
  const std::set<std::string> kArcane = {"Magier", "Hexenmeister"};
  const char* const kArmourFeats[3] = {"LeichteRüstung", "MittelschwereRüstung", "SchwereRüstung"};
  Char* c = Wired();
  int monks = 0, druids = 0, arcane = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, n % 4 == 0 ? 4 : 0, 1 + n % 20);
    std::string who = "creature " + std::to_string(n);
    std::set<std::string> classes, feats, carried;
    for (int s = 0; s < c->classCount; ++s) classes.insert(gSource.classes[c->classes[s]].name.c_str());
    for (int i = 0; i < c->featCount; ++i) feats.insert(gSource.feats[c->feats[i]].name.c_str());
    for (int i = 0; i < c->treasureIndex; ++i) carried.insert(NameOf(c->items[i]));
    std::string text(c->specialText->data, c->specialText->length);
    EXPECT_EQ(text.find("Träkne kritische"), std::string::npos) << who;
    EXPECT_EQ(text.find("Träkne Heilung"), std::string::npos) << who;
    bool monk = classes.count("Mönch") > 0, druid = classes.count("Druide") > 0;
    bool wizardOnly = !classes.empty() && std::all_of(classes.begin(), classes.end(),
                                                      [&](const std::string& k) { return kArcane.count(k) > 0; });
    monks += monk, druids += druid, arcane += wizardOnly;
    for (int i = 0; i < c->treasureIndex; ++i) {
      const CharItem& it = c->items[i];
      std::string name = NameOf(it), item = who + " " + name;
      bool worn = it.equipType == 1 || it.equipType == 2;
      EXPECT_LE((int64_t)it.price + it.value, c->drawnBudget / 2) << item;
      EXPECT_FALSE(name == "Kleidung" && it.enhancement) << item;
      if (it.equipType == 11) {
        bool launcher = false;
        for (const std::string& l : kLaunchers.at(name)) launcher = launcher || carried.count(l);
        EXPECT_TRUE(launcher) << item;
      }
      if (worn && monk) ADD_FAILURE() << item << " on a monk";
      if (worn && druid && !it.specific) {
        EXPECT_TRUE(kDruidArmour.count(name)) << item << " on a druid";
      }
      // The archmage's robe is a robe, worn without armour training.
      if (it.equipType == 1 && wizardOnly && it.armor > 0 && it.type >= 0 && it.type <= 2 && !it.specific &&
          name != "Magierrobe") {
        EXPECT_TRUE(feats.count(kArmourFeats[it.type])) << item << " untrained";
      }
      if (it.equipType == 2 && wizardOnly) {
        EXPECT_TRUE(feats.count("Schilde")) << item << " untrained";
      }
      if (it.equipType <= 2 || it.equipType == 11) {
        EXPECT_LE(it.enhancement, 5) << item;
        EXPECT_LE(it.enhancement + it.secondEffect, 10) << item;
      }
      int cap = strstr(it.label, "RK-Armbänder")                                ? 8
                : strstr(it.label, "Schutz") || strstr(it.label, "Widerstands") ? 5
                                                                                : 1000;
      EXPECT_LE(Plus(it.label), cap) << item;
    }
  }
  EXPECT_GE(monks, 3);
  EXPECT_GE(druids, 5);
  EXPECT_GE(arcane, 5);
}

// The item kinds of the named items' bases: the families the SRD's tables name.
struct Seen {
  int kind;
  const char* name;
};
const Seen kKinds[] = {{18, "potion"}, {19, "oil"},    {15, "wand"}, {16, "staff"},
                       {17, "rod"},    {20, "scroll"}, {3, "ring"},  {21, "slotless wondrous"}};

bool WornWondrous(int kind) { return (kind >= 4 && kind <= 9) || kind == 12 || kind == 13; }

// Whether one of the character's classes has the spell on its list at `level` (-1: any level).
bool OnOwnList(const Char* c, int spell, int level) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    int cls = c->classes[s];
    if (cls < 0 || cls >= gSource.classCount) continue;
    int at = gSource.spells[spell].Levels()[cls];
    if (at >= 0 && (level < 0 || at == level)) return true;
  }
  // A cleric's domains add their spells to his list.
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

TEST_F(Srd35Treasure, NamedItemsAtTheirPriceWithChargesAndSpellsTheyCanHold) {
  Char* c = Wired();
  int kinds[32] = {}, worn = 0;
  for (int n = 0; n < 500; ++n) {
    bool hoard = n >= 300;
    CreateSrd35(c, hoard ? 3 : 0, hoard ? 5 + 5 * (n % 4) : 1 + n % 20);
    std::string who = (hoard ? "hoard " : "character ") + std::to_string(n);
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.specific <= 0) continue;
      ASSERT_LT(it.specific, gSource.specificCount) << who;
      const SpecificSource& x = gSource.specifics[it.specific];
      int kind = SpecificKind(it.specific);
      SCOPED_TRACE(who + ": " + x.name.c_str() + " \"" + it.label + "\"");
      if (kind >= 0 && kind < 32) ++kinds[kind];
      worn += WornWondrous(kind);
      bool potion = kind == 18 || kind == 19;
      int pieces = 1;
      if (potion) sscanf(it.label, "%d Stück", &pieces);
      EXPECT_EQ((int64_t)it.value + it.price, (int64_t)x.price * pieces);
      if (x.charges > 0) {
        EXPECT_GE(it.charges, 1);
        EXPECT_LE(it.charges, x.charges);
      } else {
        EXPECT_EQ(it.charges, 0);
      }
      bool carried = !hoard && !it.treasure;
      if (potion && carried) {
        ASSERT_GE(x.spell, 0);
        EXPECT_LE(x.spellLevel, 3);
      }
      if (kind == 15 && carried) {
        ASSERT_GE(x.spell, 0);
        EXPECT_TRUE(OnOwnList(c, x.spell, -1)) << gSource.spells[x.spell].name.c_str();
      }
      if (kind == 20) {
        ASSERT_GE(it.spell, 1) << "a scroll without a spell";
        ASSERT_LE(it.spell, gSource.spellCount);
        EXPECT_TRUE(OnSomeList(it.spell - 1, x.spellLevel)) << gSource.spells[it.spell - 1].name.c_str();
        if (carried) {
          EXPECT_TRUE(OnOwnList(c, it.spell - 1, x.spellLevel)) << gSource.spells[it.spell - 1].name.c_str();
        }
      } else {
        EXPECT_EQ(it.spell, 0);
      }
    }
  }
  for (const Seen& s : kKinds) EXPECT_GT(kinds[s.kind], 0) << "no " << s.name;
  EXPECT_GT(worn, 0) << "no worn wondrous item";
}

bool Consumable(const std::string& name) {
  for (const char* n :
       {"TrankDerLeichtenWunden", "TrankDerMittelschwerenWunden", "Alchemistenfeuer", "Gegengift", "Weihwasser",
        "Rauchstab", "Donnerstein", "Verstrickungsbeutel", "Sonnenstab", "Zauberschriftrolle"})
    if (name == n) return true;
  return false;
}

// The coins of one roll of the table: dice × die × gp per step, and the most gems or art
// objects and items a roll gives.
struct Coins {
  int dice, die, gp;
};
struct Row {
  int level;
  Coins coins[4];
  int goods, items;
};
const Row kRows[] = {
    {1, {{1, 6, 10}, {1, 8, 10}, {2, 8, 10}, {1, 4, 100}}, 1, 1},
    {4, {{3, 10, 10}, {4, 12, 100}, {1, 6, 100}, {1, 8, 100}}, 4, 4},
    {10, {{2, 10, 100}, {6, 4, 100}, {5, 6, 100}, {0, 0, 0}}, 8, 4},
    {20, {{4, 8, 1000}, {4, 10, 1000}, {0, 0, 0}, {0, 0, 0}}, 42, 4},
};

TEST_F(Srd35Treasure, HoardsHoldWhatTheTableGives) {
  Char* c = Wired();
  for (const Row& row : kRows)
    for (int n = 0; n < 40; ++n) {
      CreateSrd35(c, 3, row.level);
      std::string who = "level " + std::to_string(row.level) + " hoard " + std::to_string(n);
      int32_t coins = c->treasureMoney;
      bool table = coins == 0;
      for (const Coins& k : row.coins)
        table = table || (k.gp && coins % k.gp == 0 && coins / k.gp >= k.dice && coins / k.gp <= k.dice * k.die);
      EXPECT_TRUE(table) << who << ": " << coins << " gp";
      EXPECT_EQ(c->money, coins) << who;
      int pieces = 0, items = 0;
      for (int i = 0; i < c->itemCount; ++i) {
        const CharItem& it = c->items[i];
        std::string name = gSource.equipment[it.equipment].name.c_str();
        if (it.equipType == 10 && !Consumable(name))
          pieces += atoi(it.label);
        else
          ++items;
      }
      EXPECT_LE(pieces, row.goods) << who;
      EXPECT_LE(items, row.items) << who;
    }
}

TEST_F(Srd35Treasure, ItemsSellAtHalfTheirPriceValuablesInFull) {
  Char* c = Wired();
  int below = 0;
  for (int n = 0; n < 150; ++n) {
    CreateSrd35(c, n % 3 == 0 ? 3 : n % 3 == 1 ? 1 : 0, 1 + n % 20);
    int64_t full = c->treasureMoney, items = 0;
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (!it.treasure) continue;
      bool valuable = it.equipType == 10 && !Consumable(gSource.equipment[it.equipment].name.c_str());
      (valuable ? full : items) += (int64_t)it.price + it.value;
    }
    EXPECT_EQ(c->saleValue, full + items / 2) << "creature " << n;
    EXPECT_LE(c->saleValue, full + items) << "creature " << n;
    below += items > 0 && c->saleValue < full + items;
  }
  EXPECT_GT(below, 10);
}
