// Equipment under SRD 3.5: what magic arms cost, and what a character may carry and wear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "generator/source_fixture.h"

namespace {

using namespace generator_test;

class Srd35Equipment : public CreationFixture {
 protected:
  // A creation of the kind and CR by SRD 3.5 (the record carries the rule set).
  void Create(Char* c, int kind, int cr) { CreateSrd35(c, kind, cr); }
};

std::string NameOf(const CharItem& it) {
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? gSource.equipment[it.equipment].name.c_str() : "";
}

int Plus(const char* text) {
  const char* p = strchr(text, '+');
  return p ? atoi(p + 1) : 0;
}

// Market prices of the reference equipment tables (gp): the base item, and the gold per
// enhancement squared. Double weapons pay masterwork and bonus for each head.
const std::map<std::string, int> kWeaponPrice = {
    {"Dolch", 2},         {"Langschwert", 15},  {"Langspeer", 5},      {"Kurzschwert", 10},
    {"Streitaxt", 10},    {"Zweihänder", 50},   {"Krummsäbel", 15},    {"Rapier", 20},
    {"Langbogen", 75},    {"Kurzbogen", 30},    {"LeichteArmbrust", 35}, {"SchwereArmbrust", 50},
    {"Zweihandaxt", 20},  {"Hellebarde", 10},   {"Morgenstern", 8},    {"Kriegshammer", 12}};
const std::map<std::string, int> kDoubleWeaponPrice = {{"Zweiklingenschwert", 100}, {"OrkischeDoppelaxt", 60}};
const std::map<std::string, int> kArmourPrice = {
    {"GepolsterteRüstung", 5}, {"Lederrüstung", 10},  {"BeschlageneLederrüstung", 25}, {"Kettenhemd", 100},
    {"Fellrüstung", 15},       {"Schuppenpanzer", 50}, {"Kettenpanzer", 150},          {"Brustplatte", 200},
    {"Schienenpanzer", 200},   {"Bänderpanzer", 250}, {"Halbplattenpanzer", 600},     {"Ritterrüstung", 1500},
    {"Tartsche", 15},          {"KleinerHolzschild", 3}, {"KleinerMetallschild", 9},   {"GroßerHolzschild", 7},
    {"GroßerMetallschild", 20}, {"Turmschild", 30}};
constexpr int kWeaponMasterwork = 300, kArmourMasterwork = 150, kMissileMasterwork = 6, kBundle = 50;
constexpr int kWeaponUnit = 2000, kArmourUnit = 1000;

// A +2 flaming longspear costs 18,305 gp: every magic weapon, armour, shield and bundle
// of ammunition pays its masterwork quality, a double weapon for both heads.
TEST_F(Srd35Equipment, MagicArmsPayTheirMasterwork) {
  Char* c = new Char();
  Wire(c);
  std::map<std::string, int> checked;
  for (int n = 0; n < 300; ++n) {
    Create(c, n % 3 == 0 ? 3 : n % 3 == 1 ? 4 : 0, 3 + n % 18);
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
  ResetChar(c);
  delete c;
}

// Potions of the 3rd spell level at most; no enhanced clothing; ammunition only for a
// carried launcher; monks unarmoured; arcane casters only in armour they are trained for;
// druids in no metal armour; no item above half the gear value; bonuses within their caps.
TEST_F(Srd35Equipment, GearKeepsTheRules) {
  const std::map<std::string, std::set<std::string>> kLaunchers = {
      {"Pfeile", {"Kurzbogen", "KompositKurzbogen", "MächtigerKompositKurzbogen", "Langbogen", "KompositLangbogen",
                  "MächtigerKompositLangbogen"}},
      {"Armbrustbolzen", {"LeichteArmbrust", "SchwereArmbrust", "Handarmbrust", "LeichteRepetierarmbrust",
                          "SchwereRepetierarmbrust"}},
      {"Schleuderkugeln", {"Schleuder"}}};
  const std::set<std::string> kDruidArmour = {"Kleidung", "GepolsterteRüstung", "Lederrüstung", "Fellrüstung",
                                              "KleinerHolzschild", "GroßerHolzschild", "Turmschild"};
  const std::set<std::string> kArcane = {"Magier", "Hexenmeister"};
  const char* const kArmourFeats[3] = {"LeichteRüstung", "MittelschwereRüstung", "SchwereRüstung"};
  Char* c = new Char();
  Wire(c);
  int monks = 0, druids = 0, arcane = 0;
  for (int n = 0; n < 300; ++n) {
    Create(c, n % 4 == 0 ? 4 : 0, 1 + n % 20);
    std::string who = "creature " + std::to_string(n);
    std::set<std::string> classes, feats, carried;
    for (int s = 0; s < c->classCount; ++s) classes.insert(gSource.classes[c->classes[s]].name.c_str());
    for (int i = 0; i < c->featCount; ++i) feats.insert(gSource.feats[c->feats[i]].name.c_str());
    for (int i = 0; i < c->treasureIndex; ++i) carried.insert(NameOf(c->items[i]));
    std::string text(c->specialText->data, c->specialText->length);
    EXPECT_EQ(text.find("Träkne kritische"), std::string::npos) << who;
    EXPECT_EQ(text.find("Träkne Heilung"), std::string::npos) << who;
    bool monk = classes.count("Mönch") > 0, druid = classes.count("Druide") > 0;
    bool wizardOnly = !classes.empty() && std::all_of(classes.begin(), classes.end(), [&](const std::string& k) {
      return kArcane.count(k) > 0;
    });
    monks += monk, druids += druid, arcane += wizardOnly;
    for (int i = 0; i < c->treasureIndex; ++i) {
      const CharItem& it = c->items[i];
      std::string name = NameOf(it), item = who + " " + name;
      bool worn = it.equipType == 1 || it.equipType == 2;
      EXPECT_LE((int64_t)it.price + it.value, c->drawnBudget / 2) << item;
      if (name == "Kleidung") {
        EXPECT_EQ(it.enhancement, 0) << item;
      }
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
      if (strstr(it.label, "RK-Armbänder")) {
        EXPECT_LE(Plus(it.label), 8) << item;
      }
      if (strstr(it.label, "Schutz") || strstr(it.label, "Widerstands")) {
        EXPECT_LE(Plus(it.label), 5) << item;
      }
    }
  }
  EXPECT_GE(monks, 3);
  EXPECT_GE(druids, 5);
  EXPECT_GE(arcane, 5);
  ResetChar(c);
  delete c;
}

}  // namespace
