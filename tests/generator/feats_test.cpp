// The feat stage, the class weapon lists, and a corpus of characters whose classes, feats,
// hit points, base attack and saves are checked against the rules.
#include <map>
#include <set>
#include <tuple>

#include "generator/creature_ops.h"
#include "generator/source_fixture.h"
#include "generator/srd_tables.h"
#include "platform/keys.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Feats : public CreationFixture {
 protected:
  // One class of `levels`, a race and every ability 12.
  Char* Make(const char* cls, int levels, const char* race = "Zwerg") {
    Char* c = Single(cls, levels, 12);
    c->context.againDependency = again_.data();
    c->context.featNotAgain = notAgain_.data();
    std::fill(notAgain_.begin(), notAgain_.end(), 0);
    c->race = RaceId(race);
    CalcBaseValues(c);
    return c;
  }
  static void Give(Char* c, const char* cls, int levels) {
    c->classes[c->classCount] = ClassId(cls);
    c->classLevels[c->classCount] = levels;
    c->preEpicLevels[c->classCount++] = std::min(levels, 20);
  }
  static void Carry(Char* c, const char* name) {
    CharItem& item = c->items[c->itemCount++];
    item = CharItem();
    item.equipment = ItemId(name);
    item.equipType = gSource.equipment[item.equipment].equipType;
  }
  static int Count(const Char* c, int feat) { return (int)std::count(c->feats, c->feats + c->featCount, feat); }
  // Runs the class scripts, then returns how many feats the stage adds on top.
  int Drawn(Char* c) {
    ClassFeatScripts(c);
    int before = c->featCount;
    ClassFeatGroups(c);
    CalculateFeats(c);
    return c->featCount - before;
  }
  static int ParameterOf(const Char* c, int feat) {
    int i = (int)(std::find(c->feats, c->feats + c->featCount, feat) - c->feats);
    return i < c->featCount ? c->featParameters[i] : -3;
  }
};

}  // namespace

TEST_F(Feats, GeneralAndEpicFeatCountsFollowTheLevel) {
  // An Experte has no bonus feats, a dwarf no extra feat; no class epic feats, only the level's.
  const int cases[][2] = {{1, 1}, {2, 1}, {3, 2}, {20, 7}, {21, 8}, {24, 9}};
  for (const auto& [level, feats] : cases) {
    Char* c = Make("Experte", level);
    c->classLevels[0] = c->preEpicLevels[0];
    EXPECT_EQ(Drawn(c), feats) << "level " << level;
  }
  Char* human = Make("Experte", 1, "Mensch");
  EXPECT_EQ(Drawn(human), 2);
  EXPECT_EQ(human->limitedFeats, 2);
}

TEST_F(Feats, BonusFeatSchedules) {
  // Fighter at levels 1, 2, 4, 6...; wizard at 5, 10, 15, 20; our archer class at 2, 5, 8.
  const std::tuple<const char*, int, int> cases[] = {
      {"Kämpfer", 1, 1}, {"Kämpfer", 2, 2}, {"Kämpfer", 3, 2}, {"Kämpfer", 4, 3},       {"Kämpfer", 20, 11},
      {"Magier", 4, 0},  {"Magier", 5, 1},  {"Magier", 20, 4}, {"OrderOfTheBow", 2, 1}, {"OrderOfTheBow", 8, 3}};
  for (auto [cls, level, feats] : cases) EXPECT_EQ(BonusFeatCount(ClassId(cls), level), feats) << cls << " " << level;

  // A fighter's bonus feats come from the fighter group only.
  Char* c = Make("Kämpfer", 6);
  c->fightingStyle = 1;
  Carry(c, "Langschwert");
  EXPECT_EQ(Drawn(c), 4 + 3);
  int before = c->featCount - 7, fighterGroup = 0;
  for (int i = before; i < before + 4; ++i) fighterGroup += gSource.feats[c->feats[i]].featType == 2;
  EXPECT_EQ(fighterGroup, 4);
}

TEST_F(Feats, FailedAbilityTestsBlockForTheCreationMissingFeatsDoNot) {
  Char* c = Make("Kämpfer", 4);
  int power = FeatId("HeftigerAngriff");
  std::vector<int32_t> weights((size_t)gSource.featCount, 7);
  EXPECT_FALSE(CanTakeFeat(c, power, 0, weights.data()));
  EXPECT_EQ(weights[power], 0);
  EXPECT_NE(notAgain_[power], 0);
  c->ST = 16;  // the mark stays: DoFeats gives the feat no weight any more
  for (int tries = 0; tries < 40; ++tries) {
    int32_t first = 0;
    c->featCount = 1;
    DoFeats(c, nullptr, -1, false, &first, 0);
    EXPECT_NE(c->feats[0], power);
  }
  // Cleave lacks Power Attack: refused, weight and marks untouched.
  std::fill(weights.begin(), weights.end(), 7);
  EXPECT_FALSE(CanTakeFeat(c, FeatId("Doppelschlag"), 0, weights.data()));
  EXPECT_EQ(std::pair(notAgain_[FeatId("Doppelschlag")], weights[FeatId("Doppelschlag")]), std::pair(0, 7));
  // Asked for every decision, the slot tests every feat, also those of no weight: a
  // wizard's Power Attack fails its Strength test and is marked.
  Char* w = Make("Magier", 1);
  w->featCount = 1;
  int32_t first = 0;
  ChooseEverything();
  InputUseText("");
  Quietly([&] { DoFeats(w, nullptr, -1, false, &first, 0); });
  EXPECT_NE(notAgain_[power], 0);
}

TEST_F(Feats, GeneralEntryReplacesWeaponEntries) {
  Char* c = Make("Schurke", 3);
  int martial = FeatId("KriegsWaffen");
  for (const char* weapon : {"Rapier", "Kurzschwert", "Rapier"}) AddFeat(c, martial, nullptr, ItemId(weapon));
  EXPECT_EQ(Count(c, martial), 2);
  // The general grant widens an owned entry and is added as an entry of its own.
  int32_t second = 0;
  int before = c->featCount;
  AddFeat(c, martial, &second, -1);
  EXPECT_EQ(c->featCount, before + 1);
  EXPECT_EQ(second, 1);
  RemoveDuplicateFeats(c);
  ASSERT_EQ(Count(c, martial), 1);
  EXPECT_EQ(ParameterOf(c, martial), -1);
  int toughness = FeatId("Zähigkeit");  // stacks: both copies stay
  AddFeat(c, toughness, nullptr, -2);
  c->feats[c->featCount] = toughness;
  c->featParameters[c->featCount++] = -2;
  RemoveDuplicateFeats(c);
  EXPECT_EQ(Count(c, toughness), 2);
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
    EXPECT_EQ(Count(c, FeatId("Mehrfachschuss")), archer ? 1 : 0) << archer;
    EXPECT_EQ(Count(c, FeatId("VerbesserterKampfMitZweiWaffen")), archer ? 0 : 1) << archer;
  }
}

TEST_F(Feats, MissingProficienciesFillTheFirstSlots) {
  Char* c = Make("Magier", 3);
  Carry(c, "Langschwert");
  Carry(c, "Ritterrüstung");
  c->getAllRequired = 1;
  EXPECT_EQ(Drawn(c), 2);  // both feats of level 3 go to the missing proficiencies
  // A martial weapon needs its proficiency; heavy armour is learnt from light armour up.
  EXPECT_EQ(ParameterOf(c, FeatId("KriegsWaffen")), ItemId("Langschwert"));
  EXPECT_EQ(Count(c, FeatId("LeichteRüstung")), 1);
  c = Make("Hexenmeister", 1);  // every simple weapon: the martial sword too
  Carry(c, "Langschwert");
  Drawn(c);
  EXPECT_EQ(Count(c, FeatId("KriegsWaffen")), 0);
}

// Only a worn robe asks for its armour feat; a shield asks for "Schilde". A weapon without
// any of the three weapon feats costs 4. The class weapon lists of the rules: a class with
// every simple weapon knows the martial ones too; one with a list of its own no other.
TEST_F(Feats, ProficienciesOfTheClassListsAndTheirPenalties) {
  const std::tuple<const char*, bool, std::vector<const char*>, int, int> cases[] = {
      {"Magier", true, {"Dolch", "Kettenhemd", "GroßerHolzschild"}, 4, -4},
      {"Magier", true, {"Dolch", "Magierrobe"}, 4, -4},
      {"Magier", true, {"Dolch", "Ritterrüstung"}, 0, 0},
      {"Kämpfer", true, {"Dolch", "Magierrobe", "GroßerHolzschild"}, 0, 0},
      {"Magier", false, {"Dolch"}, 0, -4},
      {"Magier", true, {"Kampfstab"}, 0, 0},
      {"Magier", true, {"Kurzspeer"}, 0, -4},
      {"Psion", true, {"Kurzspeer"}, 0, 0},
      {"Druide", true, {"Krummsäbel"}, 0, 0},
      {"Druide", true, {"Langschwert"}, 0, -4},
      {"Mönch", true, {"Kama"}, 0, 0},
      {"Mönch", true, {"Langschwert"}, 0, -4},
      {"Hexenmeister", true, {"Langschwert"}, 0, 0},
      {"Schurke", true, {"Handarmbrust"}, 0, 0},
      {"Barde", true, {"Peitsche"}, 0, 0}};
  for (const auto& [cls, classFeats, items, penalty, attack] : cases) {
    Char* c = Make(cls, 5);
    if (classFeats) ClassFeatScripts(c);
    for (const char* item : items) Carry(c, item);
    RunFeatScripts(c);
    EXPECT_EQ(std::pair(c->armorCheckPenalty, c->items[0].attackBonus), std::pair(penalty, attack))
        << cls << " " << items.back();
  }
}

TEST_F(Feats, PsionicBodyAddsTheDrawnMainAbilityOverConstitution) {
  Char* c = Make("Psion", 3);
  c->mainPsionic = 4;  // Wisdom, although the class casts from Intelligence
  c->MWE = 3;
  AddFeat(c, FeatId("PsionicBody"), nullptr, -2);
  int before = c->TP;
  RunFeatScripts(c);
  EXPECT_EQ(c->TP - before, 3 - 1);
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
  EXPECT_EQ(firstThree, (std::set<int>{FeatId("Kernschuss"), FeatId("Präzisionsschuss"), FeatId("Waffenfokus")}));
  EXPECT_EQ(ParameterOf(c, FeatId("Waffenfokus")), ItemId("Langbogen"));  // the bow it carries
}

TEST_F(Feats, ParametersFollowDependenciesAndFallBack) {
  Char* c = Make("Kämpfer", 4);
  Carry(c, "Langschwert");
  Carry(c, "Kurzbogen");
  // Focus takes each weapon in turn; specialisation one with focus and no specialisation
  // yet; a school feat without any known spell becomes Abhärtung; a ranged feat also
  // takes the first carried weapon without it.
  const std::tuple<const char*, const char*, const char*> steps[] = {
      {"Waffenfokus", "Waffenfokus", "Langschwert"},
      {"Waffenfokus", "Waffenfokus", "Kurzbogen"},
      {"Waffenspezialisierung", "Waffenspezialisierung", "Langschwert"},
      {"Waffenspezialisierung", "Waffenspezialisierung", "Kurzbogen"},
      {"Zauberfokus", "Abhärtung", nullptr},
      {"SchnellesNachladen", "SchnellesNachladen", "Langschwert"}};
  c->featCount = 0;
  for (auto [feat, becomes, weapon] : steps) {
    int i = c->featCount++;
    c->feats[i] = FeatId(feat);
    DoFeatDep(c, i);
    EXPECT_EQ(std::pair(c->feats[i], c->featParameters[i]), std::pair(FeatId(becomes), weapon ? ItemId(weapon) : -2))
        << i;
  }
  EXPECT_STREQ(FeatParameterText(c, 0), "Langschwert");
}

TEST_F(Feats, AnEmptyDrawFallsBackToTheListOfEveryFeat) {
  // No class weighs anything: the list of all feats is drawn in [0, feats - 1] and a pick
  // stands when the feat tests pass, even a feat the Char owns and may not repeat.
  Char* c = Make("Magier", 1);
  c->classCount = 0;
  int alert = FeatId("Wachsamkeit");
  AddFeat(c, alert, nullptr, -2);
  int32_t stream[8] = {0, -1, 0, alert, 0, kStreamEnd};
  int32_t position = 1;
  Replaying(stream, &position);
  int32_t first = c->featCount++;
  DoFeats(c, nullptr, -1, false, &first, 0);
  UseScratchStream();
  EXPECT_EQ(c->feats[first - 1], alert);
}

TEST_F(Feats, EveryOwnedFeatHasOneAgainDraw) {
  std::vector<int32_t> w((size_t)gSource.featCount);
  // Weapon focus owned twice: one again draw per pass, also at weight 0 (a wizard's);
  // each halves its mark of 8. A fighter's 6 × 5 levels × 5 (standard) halves once.
  for (auto [cls, weight] : {std::pair{"Magier", 0}, std::pair{"Kämpfer", 75}}) {
    Char* c = Make(cls, 5);
    int focus = FeatId("Waffenfokus");
    AddFeat(c, focus, nullptr, ItemId("Dolch"));
    AddFeat(c, focus, nullptr, ItemId("Langschwert"));
    again_[(size_t)focus] = 8;
    FeatDrawWeights(c, nullptr, -1, false, 0, w.data());
    EXPECT_EQ(again_[(size_t)focus], 4) << cls;
    EXPECT_EQ(w[(size_t)focus], weight) << cls;
  }
}

// Classes never repeat and share the level; feats never repeat unless they stack; hit
// points, base attack and saves follow the class figures typed from the rules.
TEST_F(Feats, ThousandCharactersFollowTheRules) {
  Char* c = Wired();
  std::set<std::string> classesSeen;
  int checkedProgressions = 0, feats = 0, multi = 0, raceLines = 0;
  for (int n = 0; n < 1000; ++n) {
    Preset(c, n % 4 == 0 ? 4 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    std::string who = "character " + std::to_string(n);
    ASSERT_GE(c->classCount, 1) << who;
    multi += c->classCount > 1;
    int levels = 0;
    for (int s = 0; s < c->classCount; levels += c->classLevels[s++]) {
      classesSeen.insert(ClassName(c, s));
      for (int t = 0; t < s; ++t) EXPECT_NE(c->classes[t], c->classes[s]) << who;
    }
    EXPECT_EQ(levels, c->Level) << who;
    std::string text = Notes(c);  // item texts end their line: a race's line starts its own
    for (const char* start : {"Orkblut:", "Dämmersicht:"})
      for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1), ++raceLines)
        EXPECT_TRUE(at == 0 || text[at - 1] == '\n') << who << ": " << text.substr(0, at + 12);
    std::map<std::pair<int, int>, int> entries;
    std::map<int, int> perFeat;
    for (int i = 0; i < c->featCount; ++i, ++feats)
      ++entries[{c->feats[i], c->featParameters[i]}], ++perFeat[c->feats[i]];
    for (const auto& [key, count] : entries) EXPECT_TRUE(count == 1 || gSource.feats[key.first].multi == 2) << who;
    for (const auto& [feat, count] : perFeat) EXPECT_TRUE(count == 1 || gSource.feats[feat].multi != 0) << who;

    bool known = c->Level <= 20;
    for (int s = 0; s < c->classCount; ++s) known = known && kClassRules.count(ClassName(c, s));
    if (!known) continue;
    ++checkedProgressions;
    int attack = 0, fort = 0, ref = 0, will = 0, low = 0, high = 0;
    for (int s = 0; s < c->classCount; ++s) {
      const ClassRule& k = kClassRules.at(ClassName(c, s));
      int l = c->classLevels[s];
      attack += BaseAttackOf(k, l);
      fort += SaveOf(k.fort, l);
      ref += SaveOf(k.ref, l);
      will += SaveOf(k.will, l);
      for (int level = 0; level < l; ++level) {
        bool firstDie = s == 0 && level == 0;                                   // maximised
        int die = firstDie || !c->MonsterTWType ? k.hitDie : c->MonsterTWType;  // a template's die (a vampire's d12)
        low += std::max((firstDie ? k.hitDie : 1) + c->MKO, 1);
        high += std::max(die + c->MKO, 1);
      }
    }
    EXPECT_EQ(std::vector<int>({c->GA, c->baseFort, c->baseRef, c->baseWill}),
              std::vector<int>({attack, fort, ref, will}))
        << who;
    EXPECT_TRUE(c->hitPoints >= low && c->hitPoints <= high) << who << ": " << c->hitPoints;
  }
  EXPECT_GT(checkedProgressions, 500);
  EXPECT_GT(feats, 5000);
  EXPECT_GT(multi, 100);
  EXPECT_GT(raceLines, 20);
  // Every class of the tables has its figures here; every base and NPC class turns up,
  // and some prestige classes do.
  int prestige = 0;
  for (int k = 0; k < gSource.classCount; ++k) {
    const char* name = gSource.classes[k].name.c_str();
    if (std::string(name) == "OrderOfTheBow") continue;  // our own class, not in the rules
    EXPECT_TRUE(kClassRules.count(name)) << name;
    if (gSource.classes[k].prestige)
      prestige += classesSeen.count(name) > 0;
    else
      EXPECT_TRUE(classesSeen.count(name)) << name << " never chosen";
  }
  EXPECT_GE(prestige, 3);
}
