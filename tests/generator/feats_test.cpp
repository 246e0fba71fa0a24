// The feat stage: how many feats a character gets, which slots fill themselves
// (class feats, missing proficiencies), prerequisites and their marks, parameters,
// duplicates, penalties and extra hit dice; and a corpus of generated characters whose
// feats, abilities, hit points, base attack and saves are checked against the rules.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "generator/classes.h"
#include "generator/feats.h"
#include "generator/rules.h"
#include "generator/source_fixture.h"
#include "platform/keys.h"
#include "random/decisions.h"

using namespace debugspace;

namespace {

class Feats : public generator_test::CreationFixture {
 protected:
  // A character with one class of `levels`, a race and average abilities.
  Char* Make(const char* cls, int levels, const char* race = "Zwerg") {
    Char* c = new Char();
    Fresh(c, levels);
    c->context.againDependency = again_.data();
    c->context.featNotAgain = notAgain_.data();
    std::fill(notAgain_.begin(), notAgain_.end(), 0);
    c->race = FindByNameOrFault(gSource.races, gSource.raceCount, race);
    Give(c, cls, levels);
    c->Level = levels;
    for (int a = 0; a < kAttributes; ++a) (&c->ST)[a] = 12;
    for (int a = 0; a < kAttributes; ++a) (&c->MST)[a] = 1;
    CalcBaseValues(c);
    return c;
  }
  void Give(Char* c, const char* cls, int levels) {
    c->classes[c->classCount] = FindByNameOrFault(gSource.classes, gSource.classCount, cls);
    c->classLevels[c->classCount] = levels;
    c->preEpicLevels[c->classCount] = std::min(levels, 20);
    ++c->classCount;
  }
  static int Feat(const char* name) { return FindByNameOrFault(gSource.feats, gSource.featCount, name); }
  static int Equip(const char* name) { return FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name); }
  static void Carry(Char* c, const char* name) {
    CharItem& item = c->items[c->itemCount++];
    item = CharItem();
    item.equipment = Equip(name);
    item.equipType = gSource.equipment[item.equipment].equipType;
  }
  static int Count(const Char* c, int feat) {
    int n = 0;
    for (int i = 0; i < c->featCount; ++i) n += c->feats[i] == feat;
    return n;
  }
  // Feats the stage adds on top of what the class and race scripts grant.
  int Drawn(Char* c) {
    ClassFeatScripts(c);
    int before = c->featCount;
    ClassFeatGroups(c);
    CalculateFeats(c);
    return c->featCount - before;
  }
};

}  // namespace

TEST_F(Feats, GeneralAndEpicFeatCountsFollowTheLevel) {
  // An Experte has no bonus feats; a dwarf no extra feat.
  struct Case {
    int level, feats;
  } cases[] = {{1, 1}, {2, 1}, {3, 2}, {6, 3}, {18, 7}, {20, 7}, {21, 8}, {24, 9}, {27, 10}};
  for (const Case& k : cases) {
    Char* c = Make("Experte", k.level);
    c->preEpicLevels[0] = std::min(k.level, 20);
    c->classLevels[0] = c->preEpicLevels[0];  // no class epic feats, only the level's
    EXPECT_EQ(Drawn(c), k.feats) << "level " << k.level;
    delete c;
  }
  Char* human = Make("Experte", 1, "Mensch");
  EXPECT_EQ(Drawn(human), 2);
  EXPECT_EQ(human->limitedFeats, 2);
  delete human;
}

TEST_F(Feats, BonusFeatSchedules) {
  int fighter = FindByNameOrFault(gSource.classes, gSource.classCount, "Kämpfer");
  int wizard = FindByNameOrFault(gSource.classes, gSource.classCount, "Magier");
  int bow = FindByNameOrFault(gSource.classes, gSource.classCount, "OrderOfTheBow");
  // "2:2": levels 1, 2, 4, 6, ...
  const int fighterFeats[] = {0, 1, 2, 2, 3, 3, 4};
  for (int level = 1; level <= 6; ++level) EXPECT_EQ(BonusFeatCount(fighter, level), fighterFeats[level]) << level;
  EXPECT_EQ(BonusFeatCount(fighter, 20), 11);
  // "4;9;14;19;": one each after levels 4, 9, 14, 19.
  EXPECT_EQ(BonusFeatCount(wizard, 4), 0);
  EXPECT_EQ(BonusFeatCount(wizard, 5), 1);
  EXPECT_EQ(BonusFeatCount(wizard, 20), 4);
  // "1:3": levels 2, 5, 8.
  EXPECT_EQ(BonusFeatCount(bow, 1), 0);
  EXPECT_EQ(BonusFeatCount(bow, 2), 1);
  EXPECT_EQ(BonusFeatCount(bow, 8), 3);

  // A fighter's bonus feats come from the fighter group only.
  Char* c = Make("Kämpfer", 6);
  c->fightingStyle = 1;
  Carry(c, "Langschwert");
  int before = c->featCount;
  ClassFeatScripts(c);
  before = c->featCount;
  ClassFeatGroups(c);
  CalculateFeats(c);
  int fighterGroup = 0;
  for (int i = before; i < before + 4; ++i) fighterGroup += gSource.feats[c->feats[i]].featType == 2;
  EXPECT_EQ(fighterGroup, 4);
  EXPECT_EQ(c->featCount - before, 4 + 3);
  delete c;
}

TEST_F(Feats, FailedAbilityTestsBlockForTheCreationMissingFeatsDoNot) {
  Char* c = Make("Kämpfer", 4);
  int power = Feat("HeftigerAngriff"), cleave = Feat("Doppelschlag");
  c->ST = 12;
  std::vector<int32_t> weights((size_t)gSource.featCount, 7);
  EXPECT_FALSE(CanTakeFeat(c, power, 0, weights.data()));
  EXPECT_EQ(weights[power], 0);
  EXPECT_NE(notAgain_[power], 0);
  c->ST = 16;  // the mark stays: DoFeats gives the feat no weight any more
  c->featCount = 1;
  int32_t first = 0;
  for (int tries = 0; tries < 40; ++tries) {
    first = 0;
    c->featCount = 1;
    DoFeats(c, nullptr, -1, false, &first, 0);
    EXPECT_NE(c->feats[0], power);
  }
  // Cleave lacks Power Attack: refused, but not marked.
  std::fill(weights.begin(), weights.end(), 7);
  EXPECT_FALSE(CanTakeFeat(c, cleave, 0, weights.data()));
  EXPECT_EQ(notAgain_[cleave], 0);
  EXPECT_EQ(weights[cleave], 7);
  // Finesse without the Dexterity lead: refused, its weight and marks untouched.
  int finesse = Feat("Waffenfinesse");
  EXPECT_FALSE(CanTakeFeat(c, finesse, 0, weights.data()));
  EXPECT_EQ(weights[finesse], 7);
  EXPECT_EQ(notAgain_[finesse], 0);
  // Asked for every decision, the slot tests every feat, also those of no weight: a
  // wizard's Power Attack fails its Strength test and is marked.
  Char* w = Make("Magier", 1);
  w->featCount = 1;
  first = 0;
  gDecide.chooseEverything = true;
  InputUseText("");
  testing::internal::CaptureStdout();
  DoFeats(w, nullptr, -1, false, &first, 0);
  testing::internal::GetCapturedStdout();
  gDecide.chooseEverything = false;
  EXPECT_NE(notAgain_[power], 0);
  delete w;
  delete c;
}

TEST_F(Feats, GeneralEntryReplacesWeaponEntries) {
  Char* c = Make("Schurke", 3);
  int martial = Feat("KriegsWaffen");
  AddFeat(c, martial, nullptr, Equip("Rapier"));
  AddFeat(c, martial, nullptr, Equip("Kurzschwert"));
  AddFeat(c, martial, nullptr, Equip("Rapier"));
  EXPECT_EQ(Count(c, martial), 2);
  // The general grant widens an owned entry and is added as an entry of its own.
  int32_t second = 0;
  int before = c->featCount;
  AddFeat(c, martial, &second, -1);
  EXPECT_EQ(c->featCount, before + 1);
  EXPECT_EQ(second, 1);
  RemoveDuplicateFeats(c);
  ASSERT_EQ(Count(c, martial), 1);
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] == martial) {
      EXPECT_EQ(c->featParameters[i], -1);
    }
  // A stacking feat keeps its copies.
  int toughness = Feat("Zähigkeit");
  AddFeat(c, toughness, nullptr, -2);
  c->feats[c->featCount] = toughness;
  c->featParameters[c->featCount++] = -2;
  RemoveDuplicateFeats(c);
  EXPECT_EQ(Count(c, toughness), gSource.feats[toughness].multi == 2 ? 2 : 1);
  delete c;
}

TEST_F(Feats, RangerKeepsTheStyleOfItsFirstFeats) {
  // Dexterity leads when the class feats are first given; gear then raises Strength
  // past it before the feat stage runs the class script again.
  for (bool archer : {true, false}) {
    Char* c = Make("Waldläufer", 6);
    c->GE = archer ? 16 : 12;
    c->ST = archer ? 12 : 16;
    ClassFeatScripts(c);
    std::swap(c->GE, c->ST);
    ClassFeatGroups(c);
    CalculateFeats(c);
    EXPECT_EQ(Count(c, Feat("Mehrfachschuss")), archer ? 1 : 0) << archer;
    EXPECT_EQ(Count(c, Feat("VerbesserterKampfMitZweiWaffen")), archer ? 0 : 1) << archer;
    delete c;
  }
}

TEST_F(Feats, MissingProficienciesFillTheFirstSlots) {
  Char* c = Make("Magier", 3, "Zwerg");
  Carry(c, "Langschwert");
  Carry(c, "Ritterrüstung");
  c->getAllRequired = 1;
  EXPECT_EQ(Drawn(c), 2);  // both feats of level 3 go to the missing proficiencies
  std::set<int> owned(c->feats, c->feats + c->featCount);
  // A martial weapon needs its proficiency; heavy armour is learnt from light armour up.
  EXPECT_TRUE(owned.count(Feat("KriegsWaffen")));
  EXPECT_TRUE(owned.count(Feat("LeichteRüstung")));
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] == Feat("KriegsWaffen")) {
      EXPECT_EQ(c->featParameters[i], Equip("Langschwert"));
    }
  delete c;

  c = Make("Hexenmeister", 1, "Zwerg");
  Carry(c, "Langschwert");
  c->getAllRequired = 0;
  Drawn(c);
  EXPECT_EQ(Count(c, Feat("KriegsWaffen")), 0);
  // The sorcerer's general simple-weapon feat covers the martial sword as well.
  ASSERT_EQ(Count(c, Feat("EinfacheWaffen")), 1);
  RunFeatScripts(c);
  EXPECT_EQ(c->items[0].attackBonus, 0);
  delete c;
}

TEST_F(Feats, RobeAndShieldWithoutProficiencyCostAttackAndCheckPenalty) {
  // Only a worn robe asks for its armour feat; a shield asks for "Schilde". A weapon
  // without any of the three weapon feats costs 4 (2 with the improvised-weapon feat).
  struct Case {
    const char* cls;
    bool classFeats;
    std::vector<const char*> items;
    int penalty, attack;
  } cases[] = {
      {"Magier", true, {"Dolch", "Kettenhemd", "GroßerHolzschild"}, 4, -4},
      {"Magier", true, {"Dolch", "Magierrobe"}, 4, -4},
      {"Magier", true, {"Dolch", "Ritterrüstung"}, 0, 0},
      {"Kämpfer", true, {"Dolch", "Magierrobe", "GroßerHolzschild"}, 0, 0},
      {"Magier", false, {"Dolch"}, 0, -4},
  };
  for (const Case& k : cases) {
    Char* c = Make(k.cls, 5);
    if (k.classFeats) ClassFeatScripts(c);
    ASSERT_EQ(Count(c, Feat("ImprovisedWeaponProficiency")), 0);
    for (const char* item : k.items) Carry(c, item);
    RunFeatScripts(c);
    EXPECT_EQ(c->armorCheckPenalty, k.penalty) << k.cls << " " << k.items.back();
    EXPECT_EQ(c->items[0].attackBonus, k.attack) << k.cls << " " << k.items.back();
    delete c;
  }
}

TEST_F(Feats, PsionicBodyAddsTheDrawnMainAbilityOverConstitution) {
  Char* c = Make("Psion", 3);
  c->mainPsionic = 4;  // Wisdom, although the class casts from Intelligence
  c->MWE = 3;
  AddFeat(c, Feat("PsionicBody"), nullptr, -2);
  int before = c->TP;
  RunFeatScripts(c);
  EXPECT_EQ(c->TP - before, 3 - 1);
  delete c;
}

TEST_F(Feats, ClassFeatListFillsBeforeAnyDraw) {
  Char* c = Make("Kämpfer", 8);
  Give(c, "OrderOfTheBow", 2);
  c->Level = 10;
  c->fightingStyle = 4;
  Carry(c, "Langbogen");
  ClassFeatScripts(c);
  int before = c->featCount;
  ClassFeatGroups(c);
  CalculateFeats(c);
  std::set<int> firstThree(c->feats + before, c->feats + before + 3);
  EXPECT_EQ(firstThree, (std::set<int>{Feat("Kernschuss"), Feat("Präzisionsschuss"), Feat("Waffenfokus")}));
  // The weapon focus of an archer is the bow it carries.
  for (int i = before; i < before + 3; ++i)
    if (c->feats[i] == Feat("Waffenfokus")) {
      EXPECT_EQ(c->featParameters[i], Equip("Langbogen"));
    }
  delete c;
}

TEST_F(Feats, ParametersFollowDependenciesAndFallBack) {
  Char* c = Make("Kämpfer", 4);
  Carry(c, "Langschwert");
  Carry(c, "Kurzbogen");
  int focus = Feat("Waffenfokus"), special = Feat("Waffenspezialisierung");
  c->feats[0] = focus;
  c->featCount = 1;
  DoFeatDep(c, 0);
  EXPECT_EQ(c->featParameters[0], Equip("Langschwert"));
  c->feats[1] = focus;
  c->featCount = 2;
  DoFeatDep(c, 1);
  EXPECT_EQ(c->featParameters[1], Equip("Kurzbogen"));
  // Specialisation takes a weapon that has focus and no specialisation yet.
  c->feats[2] = special;
  c->featCount = 3;
  DoFeatDep(c, 2);
  EXPECT_EQ(c->featParameters[2], Equip("Langschwert"));
  c->feats[3] = special;
  c->featCount = 4;
  DoFeatDep(c, 3);
  EXPECT_EQ(c->featParameters[3], Equip("Kurzbogen"));
  // A school feat without any known spell becomes Abhärtung.
  c->feats[4] = Feat("Zauberfokus");
  c->featCount = 5;
  DoFeatDep(c, 4);
  EXPECT_EQ(c->feats[4], Feat("Abhärtung"));
  EXPECT_EQ(c->featParameters[4], -2);
  EXPECT_STREQ(FeatParameterText(c, 0), "Langschwert");
  // A ranged feat also takes the first carried weapon without it.
  c->feats[5] = Feat("SchnellesNachladen");
  c->featCount = 6;
  DoFeatDep(c, 5);
  EXPECT_EQ(c->featParameters[5], Equip("Langschwert"));
  delete c;
}

TEST_F(Feats, AnEmptyDrawFallsBackToTheListOfEveryFeat) {
  // No class weighs anything: the list of all feats is drawn in [0, feats - 1] and a pick
  // stands when the feat tests pass, even a feat the Char owns and may not repeat.
  Char* c = Make("Magier", 1);
  c->classCount = 0;
  int alert = Feat("Wachsamkeit");
  AddFeat(c, alert, nullptr, -2);
  int32_t stream[8] = {0, -1, 0, alert, 0, kStreamEnd};
  int32_t position = 1;
  SetDecisionStream(stream, &position);
  bool isaac = gProcess.isaacMode;
  gProcess.isaacMode = false;
  gDecide.replayActive = true;
  int32_t first = c->featCount++;
  DoFeats(c, nullptr, -1, false, &first, 0);
  gDecide.replayActive = false;
  gProcess.isaacMode = isaac;
  UseScratchStream();
  EXPECT_EQ(c->feats[first - 1], alert);
  delete c;
}

TEST_F(Feats, EveryOwnedFeatHasOneAgainDraw) {
  std::vector<int32_t> w((size_t)gSource.featCount);
  // Weapon focus owned twice: one again draw per pass, also at weight 0 (a wizard's);
  // each halves its mark of 8. A fighter's 6 × 5 levels × 5 (standard) halves once.
  for (auto [cls, weight] : {std::pair{"Magier", 0}, std::pair{"Kämpfer", 75}}) {
    Char* c = Make(cls, 5);
    int focus = Feat("Waffenfokus");
    AddFeat(c, focus, nullptr, Equip("Dolch"));
    AddFeat(c, focus, nullptr, Equip("Langschwert"));
    again_[(size_t)focus] = 8;
    FeatDrawWeights(c, nullptr, -1, false, 0, w.data());
    EXPECT_EQ(again_[(size_t)focus], 4) << cls;
    EXPECT_EQ(w[(size_t)focus], weight) << cls;
    delete c;
  }
}

TEST_F(Feats, GroupCountersOweFeatsOfTheirGroup) {
  Char* c = Make("Magier", 6);
  // Two feats of group 1 are owed; each owned feat of that group pays one off.
  ClassFeatScripts(c);
  ClassFeatGroups(c);
  int owned = 0;
  for (int i = 0; i < c->featCount; ++i) owned += gSource.feats[c->feats[i]].featType == 1;
  // The shipped wizard owes no minimum; emulate a class list with MIN_METAMAGIC:2.
  c->groupCounters[1] = std::max(2 - owned, 0);
  int before = c->featCount;
  c->featCount += 3;
  int32_t first = before;
  DoFeats(c, nullptr, -1, false, &first, 0);
  int metamagic = 0;
  for (int i = before; i < before + 2; ++i) metamagic += gSource.feats[c->feats[i]].featType == 1;
  EXPECT_EQ(metamagic, std::max(2 - owned, 0));
  EXPECT_EQ(c->groupCounters[1], 0);
  delete c;
}

TEST_F(Feats, ExtraHitDiceAddFeatsAndRanks) {
  Char* c = Make("Kämpfer", 1);
  c->classCount = 0;  // a monster: no class slot
  c->skillCount = 2;
  c->skills[0].skill = 0;
  c->skills[0].ranks = 4;
  c->skills[1].skill = 1;
  c->skills[1].ranks = 0;
  c->MIN = -1;
  IncreaseHDFeatSkill(c, 4, 9, 2, 3);
  EXPECT_EQ(c->featCount, 9 / 3 - 4 / 3);
  EXPECT_EQ(c->classCount, 0);
  for (int i = 0; i < c->featCount; ++i) {
    const FeatSource& f = gSource.feats[c->feats[i]];
    if (f.dep == 1 && c->featParameters[i] >= 0) {
      EXPECT_STREQ(FeatParameterText(c, i), "Klaue");
    }
  }
  // (2 + 0) × 5 points for the skill that has ranks, which takes one rank per added
  // hit die; the rest finds no skill.
  EXPECT_EQ(c->skills[0].ranks, 4 + 5);
  EXPECT_EQ(c->skills[1].ranks, 0);
  delete c;
}

// ---- a corpus of generated characters ----

namespace {

// Per class, from the class tables of the rules (hit die, base attack: 1 good, 2 medium,
// 3 poor; saves Fort/Ref/Will: true = good). Prestige classes use the same tables.
struct ClassRule {
  int hitDie, attack;
  bool fort, ref, will;
};
const std::map<std::string, ClassRule> kClassRules = {
    {"Barbar", {12, 1, true, false, false}},      {"Barde", {6, 2, false, true, true}},
    {"Druide", {8, 2, true, false, true}},        {"Hexenmeister", {4, 3, false, false, true}},
    {"Kämpfer", {10, 1, true, false, false}},     {"Kleriker", {8, 2, true, false, true}},
    {"Magier", {4, 3, false, false, true}},       {"Mönch", {8, 2, true, true, true}},
    {"Paladin", {10, 1, true, false, false}},     {"Schurke", {6, 2, false, true, false}},
    {"Waldläufer", {8, 1, true, true, false}},    {"Adept", {6, 3, false, false, true}},
    {"Adeliger", {8, 2, false, false, true}},     {"Experte", {6, 2, false, false, true}},
    {"Gemeiner", {4, 3, false, false, false}},    {"Krieger", {8, 1, true, false, false}},
    {"Assasin", {6, 2, false, true, false}},
    {"ArkanerBogenschütze", {8, 1, true, true, false}},
    {"ArkanerBetrüger", {4, 3, false, true, true}},
    {"Erzmagier", {4, 3, false, false, true}},
    {"SchwarzerRitter", {10, 1, true, false, false}},
    {"Drachenjünger", {12, 2, true, false, true}},
    {"Duellant", {10, 1, false, true, false}},
    {"ZwergischerVerteidiger", {12, 1, true, false, true}},
    {"MystischerRitter", {6, 1, true, false, false}},
    {"Hierophant", {8, 3, true, false, true}},
    {"Horizontwanderer", {8, 1, true, false, false}},
    {"Wissensmeister", {4, 3, false, false, true}},
    {"MystischerTheurg", {4, 3, false, false, true}},
    {"Schattentänzer", {8, 2, false, true, false}},
    {"Thaumaturg", {4, 3, false, false, true}},
    {"Psion", {4, 3, false, false, true}},
    {"Psychokrieger", {8, 2, true, false, false}},
    {"Seelenmesser", {10, 2, false, true, true}},
    {"Wilder", {6, 2, false, false, true}},
    {"Zerebromant", {4, 3, false, false, true}},
    {"Elokator", {6, 2, false, true, true}},
    {"PsionischeFaust", {6, 2, false, true, true}},
    {"Gedankenschlächter", {8, 1, false, false, true}},
    {"Metageist", {4, 3, false, false, true}},
    {"EntkörperterPsion", {4, 3, false, false, true}},
    {"Pyrokinet", {8, 2, true, true, false}},
    {"Hörigenhirte", {4, 3, false, false, true}},
    {"Kriegsgeist", {10, 1, true, true, false}},
    // Epic prestige classes: hit die only; every level is epic (no base attack, no saves).
    {"Häscher", {6, 0, false, false, false}},
    {"KosmischerSeher", {4, 0, false, false, false}},
    {"GöttlicherGesandter", {10, 0, false, false, false}},
    {"EpischerUnterwanderer", {6, 0, false, false, false}},
    {"ObersterWächter", {10, 0, false, false, false}},
    {"HoherBekehrer", {8, 0, false, false, false}},
    {"LegendärerKoloss", {12, 0, false, false, false}},
    {"VollkommenerSchemen", {6, 0, false, false, false}},
    {"UnionsWächter", {10, 0, false, false, false}},
};
// Ranks a prestige class asks for before it is entered (Perform as dance or any, Craft
// as alchemy; the loremaster's two Knowledge skills as our table picks them).
const std::map<std::string, std::map<std::string, int>> kEntryRanks = {
    {"Assasin", {{"Verkleiden", 4}, {"Verstecken", 8}, {"LeiseBewegen", 8}}},
    {"ArkanerBetrüger",
     {{"SchriftzeichenEntschlüsseln", 7}, {"MechanismusAusschalten", 7}, {"Entfesselungskünstler", 7}, {"WissenArkanes", 4}}},
    {"Erzmagier", {{"WissenArkanes", 15}, {"Zauberkunde", 15}}},
    {"SchwarzerRitter", {{"Verstecken", 5}, {"WissenReligion", 2}}},
    {"Drachenjünger", {{"WissenArkanes", 8}}},
    {"Duellant", {{"Auftreten", 3}, {"Akrobatik", 5}}},
    {"Hierophant", {{"WissenReligion", 15}}},
    {"Horizontwanderer", {{"WissenGeographie", 8}}},
    {"MystischerTheurg", {{"WissenArkanes", 6}, {"WissenReligion", 6}}},
    {"Schattentänzer", {{"LeiseBewegen", 8}, {"Verstecken", 10}, {"Auftreten", 5}}},
    {"Zerebromant", {{"WissenArkanes", 6}, {"WissenPsionik", 6}}},
    {"Elokator", {{"Konzentration", 8}}},
    {"PsionischeFaust", {{"Konzentration", 9}}},
    {"Gedankenschlächter", {{"WissenGewölbe", 4}}},
    {"Metageist", {{"WissenPsionik", 8}, {"Psikunde", 4}}},
    {"EntkörperterPsion", {{"WissenPsionik", 8}, {"Psikunde", 8}}},
    {"Pyrokinet", {{"Konzentration", 8}, {"Handwerk", 1}, {"WissenPsionik", 2}}},
    {"Hörigenhirte", {{"Diplomatie", 4}, {"WissenPsionik", 8}}},
    {"Kriegsgeist", {{"WissenGeschichte", 2}, {"WissenPsionik", 8}}},
};
// Base attack and base saves of levels 1 to 20, as the class tables print them.
const int kMediumAttack[21] = {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12, 12, 13, 14, 15};
const int kPoorAttack[21] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10};
const int kGoodSave[21] = {0, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
const int kPoorSave[21] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, sep)) out.push_back(part);
  return out;
}

// The feat rows as written in the table, read without the program's reader.
struct FeatRow {
  int multi = 0;
  std::string req, skillReq;
};
std::map<std::string, FeatRow> ReadFeatRows() {
  std::ifstream in("Build/Data/Feats.txt");
  std::string line;
  std::getline(in, line);
  std::vector<std::string> header = Split(line, '\t');
  auto column = [&](const char* name) { return (size_t)(std::find(header.begin(), header.end(), name) - header.begin()); };
  size_t name = column("Name"), multi = column("Multi"), req = column("Req"), skill = column("SkillReq");
  std::getline(in, line);
  std::map<std::string, FeatRow> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> f = Split(line, '\t');
    if (f.size() != header.size()) continue;
    rows[f[name]] = {std::stoi(f[multi]), f[req], f[skill]};
  }
  return rows;
}

// Feat names the class, race and template scripts grant outright (they skip prerequisites).
std::set<std::string> ScriptedFeats() {
  std::set<std::string> names;
  for (const char* table : {"Build/Data/Characters.txt", "Build/Data/Races.txt", "Build/Data/Templates.txt"}) {
    std::ifstream in(table);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = text.find("AddFeat"); at != std::string::npos; at = text.find("AddFeat", at + 1)) {
      size_t open = text.find('\'', at), close = text.find('\'', open + 1);
      if (open != std::string::npos && close != std::string::npos) names.insert(text.substr(open + 1, close - open - 1));
    }
    // Feat lists of classes (FeatReq) are granted too; their names are separated by ';'.
    for (const std::string& word : Split(text, ';')) {
      std::string w = word.substr(word.find_last_of(" \t") == std::string::npos ? 0 : word.find_last_of(" \t") + 1);
      names.insert(w);
    }
  }
  return names;
}

class Corpus : public Feats {
 protected:
  int Ability(const Char* c, const std::string& code) {
    const char* codes[] = {"ST", "GE", "KO", "IN", "WE", "CH"};
    for (int a = 0; a < kAttributes; ++a)
      if (code == codes[a]) return (&c->ST)[a];
    return -1;
  }
  int LevelsIn(const Char* c, const std::string& cls) {
    int n = 0;
    for (int s = 0; s < c->classCount; ++s)
      if (gSource.classes[c->classes[s]].name == cls.c_str()) n += c->classLevels[s];
    return n;
  }
  int Owned(const Char* c, const std::string& feat) {
    int n = 0;
    for (int i = 0; i < c->featCount; ++i) n += gSource.feats[c->feats[i]].name == feat.c_str();
    return n;
  }
  // Evaluates a requirement text ("ST,13;PR,Doppelschlag;CL,Kämpfer,4|Paladin,4;") for
  // the finished character; returns the first failing item or "".
  std::string Failing(const Char* c, const std::string& self, const std::string& req) {
    for (const std::string& item : Split(req, ';')) {
      if (item.size() < 2) continue;
      std::string op = item.substr(0, 2), arg = item.size() > 3 ? item.substr(3) : "";
      bool pass = true;
      int ability = Ability(c, op);
      if (ability >= 0) pass = ability >= std::stoi(arg);
      else if (op == "GA") pass = c->GA >= std::stoi(arg);
      else if (op == "KA") pass = c->IN >= std::stoi(arg);  // the own rules' key ability for manifesting
      else if (op == "PR") pass = Owned(c, arg) > 0;
      else if (op == "PG") pass = Owned(c, arg) >= Owned(c, self);
      else if (op == "SF") pass = c->baseFort >= std::stoi(arg);
      else if (op == "SW") pass = c->baseWill >= std::stoi(arg);
      else if (op == "SR") pass = c->baseRef >= std::stoi(arg);
      else if (op == "HS") pass = c->highestSpellLevel >= std::stoi(arg);
      else if (op == "KR") pass = LevelsIn(c, "Barbar") > 0 && LevelsIn(c, "Barbar") / 4 + 1 >= std::stoi(arg);
      else if (op == "NC") pass = LevelsIn(c, arg) == 0;
      else if (op == "SN") pass = LevelsIn(c, "Schurke") + LevelsIn(c, "Assasin") > 0;
      else if (op == "CL") {
        pass = false;
        for (const std::string& alt : Split(arg, '|')) {
          std::vector<std::string> pair = Split(alt, ',');
          if (pair.size() == 2 && LevelsIn(c, pair[0]) >= std::stoi(pair[1]) && LevelsIn(c, pair[0]) > 0) pass = true;
        }
      } else if (op == "RA") {
        pass = false;
        for (const std::string& race : Split(arg, '|'))
          pass = pass || gSource.races[c->race].name == race.c_str();
      }
      if (!pass) return item;
    }
    return "";
  }
};

}  // namespace

TEST_F(Corpus, ThousandCharactersFollowTheRules) {
  std::map<std::string, FeatRow> rows = ReadFeatRows();
  ASSERT_GT(rows.size(), 100u);
  std::set<std::string> granted = ScriptedFeats();
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k)
      if (gSource.proficiencyFeats[i][k] >= 0) granted.insert(gSource.feats[gSource.proficiencyFeats[i][k]].name.c_str());
  granted.insert("Turmschilde");

  Char* c = new Char();
  Wire(c);
  std::set<std::string> classesSeen;
  int checkedProgressions = 0, feats = 0, demands = 0, shortOfRanks = 0;
  for (int n = 0; n < 1000; ++n) {
    Preset(c, n % 7 == 0 ? 4 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    std::string who = "character " + std::to_string(n);
    ASSERT_GE(c->classCount, 1) << who;
    for (int s = 0; s < c->classCount; ++s) classesSeen.insert(gSource.classes[c->classes[s]].name.c_str());

    // Feats: prerequisites, repeats.
    std::map<std::pair<int, int>, int> entries;
    std::map<int, int> perFeat;
    for (int i = 0; i < c->featCount; ++i) {
      std::string name = gSource.feats[c->feats[i]].name.c_str();
      ASSERT_TRUE(rows.count(name)) << name;
      const FeatRow& row = rows[name];
      ++entries[{c->feats[i], c->featParameters[i]}];
      ++perFeat[c->feats[i]];
      ++feats;
      if (granted.count(name)) continue;
      std::string failing = Failing(c, name, row.req);
      EXPECT_EQ(failing, "") << who << " took " << name << " against " << row.req;
    }
    for (const auto& [key, count] : entries) {
      const FeatRow& row = rows[gSource.feats[key.first].name.c_str()];
      if (row.multi != 2) {
        EXPECT_EQ(count, 1) << who << " has " << gSource.feats[key.first].name.c_str() << " twice";
      }
    }
    for (const auto& [feat, count] : perFeat) {
      if (rows[gSource.feats[feat].name.c_str()].multi == 0) {
        EXPECT_EQ(count, 1) << who << " repeats " << gSource.feats[feat].name.c_str();
      }
    }

    // Abilities: a roll of 3 to 18, racial adjustment, one point per four levels, at
    // most +5 inherent, and a template's change.
    for (int a = 0; a < kAttributes; ++a) {
      int score = (&c->ST)[a];
      int change = c->templateIndex > 0 ? gSource.templates[c->templateIndex].attributeMods[a] : 0;
      EXPECT_GE(score, 3 - 4 + std::min(change, 0)) << who;
      EXPECT_LE(score, 18 + 4 + c->Level / 4 + 5 + std::max(change, 0)) << who;
    }

    // Skill ranks: at most level + 3, half that for a skill no class of the character
    // has as a class skill (unless a feat or class demands more); the points spent
    // stay within the points the character has.
    // (Extra class skills of the Experte are class skills the tables do not show: those
    // characters are left out.)
    int spent = 0;
    bool demanded = false;
    bool extraClassSkills = false;
    for (int s = 0; s < c->classCount; ++s) extraClassSkills |= gSource.classes[c->classes[s]].bonusClassSkills > 0;
    for (int e = 0; e < c->skillCount && !extraClassSkills; ++e) {
      const CharSkill& k = c->skills[e];
      ASSERT_GE(k.skill, 0);
      const int32_t* per = gSource.skills[k.skill].ClassSkill();
      bool classSkill = false;
      for (int s = 0; s < c->classCount; ++s) classSkill = classSkill || per[c->classes[s]] >= 2;
      bool required = c->requiredRanks[k.skill] > 0;
      demanded = demanded || (required && !classSkill);
      EXPECT_LE(k.ranks, c->Level + 3) << who << " " << gSource.skills[k.skill].name.c_str();
      if (!classSkill && !required) {
        EXPECT_LE(2 * k.ranks + (k.halfRank ? 1 : 0), c->Level + 3) << who << " " << gSource.skills[k.skill].name.c_str();
      }
      spent += classSkill ? k.ranks : 2 * k.ranks + (k.halfRank ? 1 : 0);
    }
    // (A profile's own skills cost a point per rank, cross-class or not.)
    if (!demanded && !extraClassSkills && !c->profileMode) {
      EXPECT_LE(spent, c->skillPoints) << who;
    }

    // Prestige classes: the ranks they ask for, and the levels before entry to earn them
    // (a class skill takes level + 3 ranks). A character whose skill points run out
    // before the demand is met may fall short: that stays rare.
    for (int s = 0; s < c->classCount; ++s) {
      auto entry = kEntryRanks.find(gSource.classes[c->classes[s]].name.c_str());
      if (entry == kEntryRanks.end()) continue;
      int before = 0;
      for (int t = 0; t < s; ++t) before += c->classLevels[t];
      for (const auto& [skill, ranks] : entry->second) {
        int have = 0;
        for (int e = 0; e < c->skillCount; ++e)
          if (gSource.skills[c->skills[e].skill].name == skill.c_str()) have = c->skills[e].ranks;
        ++demands;
        if (have < ranks) ++shortOfRanks;
        EXPECT_GE(before + 3, ranks) << who << " entered " << entry->first << " after " << before << " levels";
      }
    }

    // Hit points, base attack and saves, for the classes of the tables above.
    bool known = c->Level <= 20;
    for (int s = 0; s < c->classCount; ++s) known = known && kClassRules.count(gSource.classes[c->classes[s]].name.c_str());
    if (!known) continue;
    ++checkedProgressions;
    int attack = 0, fort = 0, ref = 0, will = 0, low = 0, high = 0;
    for (int s = 0; s < c->classCount; ++s) {
      const ClassRule& k = kClassRules.at(gSource.classes[c->classes[s]].name.c_str());
      int l = c->classLevels[s];
      attack += k.attack == 1 ? l : k.attack == 2 ? kMediumAttack[l] : kPoorAttack[l];
      fort += k.fort ? kGoodSave[l] : kPoorSave[l];
      ref += k.ref ? kGoodSave[l] : kPoorSave[l];
      will += k.will ? kGoodSave[l] : kPoorSave[l];
      for (int level = 0; level < l; ++level) {
        bool firstDie = s == 0 && level == 0;
        int die = firstDie || !c->MonsterTWType ? k.hitDie : c->MonsterTWType;  // a template's die (a vampire's d12)
        low += firstDie ? std::max(k.hitDie + c->MKO, 1) : std::max(1 + c->MKO, 1);
        high += std::max(die + c->MKO, 1);
      }
    }
    EXPECT_EQ(c->GA, attack) << who;
    EXPECT_EQ(c->baseFort, fort) << who;
    EXPECT_EQ(c->baseRef, ref) << who;
    EXPECT_EQ(c->baseWill, will) << who;
    EXPECT_GE(c->hitPoints, low) << who;
    EXPECT_LE(c->hitPoints, high) << who;
  }
  EXPECT_GT(checkedProgressions, 500);
  EXPECT_GT(demands, 100);
  EXPECT_LE(shortOfRanks * 25, demands) << shortOfRanks << " of " << demands << " demanded ranks missing";
  EXPECT_GT(feats, 5000);
  // Every class of the tables has its figures here; every base and NPC class turns up,
  // and some prestige classes do.
  int prestige = 0;
  for (int k = 0; k < gSource.classCount; ++k) {
    const char* name = gSource.classes[k].name.c_str();
    if (std::string(name) == "OrderOfTheBow") continue;  // our own class, not in the rules
    EXPECT_TRUE(kClassRules.count(name)) << name << " has no figures in the test";
    if (gSource.classes[k].prestige)
      prestige += classesSeen.count(name) > 0;
    else
      EXPECT_TRUE(classesSeen.count(name)) << name << " never chosen";
  }
  EXPECT_GE(prestige, 3);
  FreeCharBonuses(c);
  delete c;
}
