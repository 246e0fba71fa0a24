// Classes and levels: base attack and saves against an independent progression table,
// the level split, attacks per round, epic bonuses and hit point bounds.
#include <gtest/gtest.h>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/source_fixture.h"
#include "random/types.h"

using namespace debugspace;

namespace {

class Classes : public generator_test::SourceFixture {};

// The reference progressions for 1 to 20 levels: good, medium and poor base attack;
// good and poor saves.
int Good(int l) { return l; }
int Medium(int l) { return l * 3 / 4; }
int Poor(int l) { return l / 2; }
int GoodSave(int l) { return 2 + l / 2; }
int PoorSave(int l) { return l / 3; }

}  // namespace

TEST_F(Classes, SingleClassValuesFollowTheProgressions) {
  Char* c = new Char();
  struct Expect {
    const char* name;
    int (*attack)(int);
    int (*ref)(int), (*will)(int), (*fort)(int);
    int die;
  } table[] = {{"Kämpfer", Good, PoorSave, PoorSave, GoodSave, 10}, {"Barbar", Good, PoorSave, PoorSave, GoodSave, 12},
               {"Schurke", Medium, GoodSave, PoorSave, PoorSave, 6}, {"Magier", Poor, PoorSave, GoodSave, PoorSave, 4},
               {"Kleriker", Medium, PoorSave, GoodSave, GoodSave, 8}, {"Mönch", Medium, GoodSave, GoodSave, GoodSave, 8}};
  for (const Expect& e : table) {
    int cls = FindByName(gSource.classes, gSource.classCount, e.name);
    ASSERT_GE(cls, 0) << e.name;
    for (int level = 1; level <= 20; ++level) {
      SCOPED_TRACE(std::string(e.name) + " " + std::to_string(level));
      Fresh(c, level);
      c->classCount = 1;
      c->classes[0] = cls;
      c->classLevels[0] = c->preEpicLevels[0] = level;
      CalcBaseValues(c);
      EXPECT_EQ(c->GA, e.attack(level));
      EXPECT_EQ(c->baseRef, e.ref(level));
      EXPECT_EQ(c->baseWill, e.will(level));
      EXPECT_EQ(c->baseFort, e.fort(level));
      EXPECT_EQ(c->Attacks, std::min((e.attack(level) - 1) / 5 + 1, 4));
      RollHitPoints(c);
      int first = std::max(e.die + c->MKO, 1), each = std::max(1 + c->MKO, 1), most = std::max(e.die + c->MKO, 1);
      EXPECT_GE(c->hitPoints, first + (level - 1) * each);
      EXPECT_LE(c->hitPoints, first + (level - 1) * most);
    }
  }
  // Epic levels: level 25 gives +3 attack and +2 saves on top of the twenty pre-epic levels.
  Fresh(c, 25);
  c->classCount = 1;
  c->classes[0] = FindByName(gSource.classes, gSource.classCount, "Kämpfer");
  c->classLevels[0] = 25;
  c->preEpicLevels[0] = 20;
  CalcBaseValues(c);
  EXPECT_EQ(c->GA, 20);
  EXPECT_EQ(c->epicAttack, 3);
  EXPECT_EQ(c->epicSave, 2);
  EXPECT_EQ(c->Attacks, 4);
  ResetChar(c);
  delete c;
}

TEST_F(Classes, LevelsAreSplitWithoutLoss) {
  Char* c = new Char();
  int multi = 0;
  for (int n = 0; n < 300; ++n) {
    int level = 1 + n % 20;
    Fresh(c, level);
    RollAttributes(c, 1 + n % 2);
    ChooseClasses(c, 1 + n % 2);
    ASSERT_GE(c->classCount, 1);
    int total = 0;
    for (int s = 0; s < c->classCount; ++s) {
      ASSERT_GE(c->classes[s], 0);
      ASSERT_LT(c->classes[s], gSource.classCount);
      const CharSource& k = gSource.classes[c->classes[s]];
      EXPECT_EQ(k.npc, 0) << k.name.c_str();
      EXPECT_GE(c->classLevels[s], 1);
      EXPECT_EQ(c->preEpicLevels[s], c->classLevels[s]);
      for (int t = 0; t < s; ++t) EXPECT_NE(c->classes[t], c->classes[s]) << "a class taken twice";
      total += c->classLevels[s];
    }
    EXPECT_EQ(total, level);
    // Multiclass values add up slot by slot.
    CalcBaseValues(c);
    int ga = 0, ref = 0;
    for (int s = 0; s < c->classCount; ++s) {
      const CharSource& k = gSource.classes[c->classes[s]];
      int (*attack[])(int) = {nullptr, Good, Medium, Poor};
      ga += k.attackType >= 1 && k.attackType <= 3 ? attack[k.attackType](c->classLevels[s]) : 0;
      ref += k.reflex == 1 ? GoodSave(c->classLevels[s]) : PoorSave(c->classLevels[s]);
    }
    EXPECT_EQ(c->GA, ga);
    EXPECT_EQ(c->baseRef, ref);
    if (level <= 2) {
      EXPECT_EQ(c->classCount, 1) << "two levels leave no room for a second class";
    }
    multi += c->classCount > 1;
  }
  EXPECT_GT(multi, 30);
  ResetChar(c);
  delete c;
}

TEST_F(Classes, ClassFeatScriptsGrantProficiencies) {
  Char* c = new Char();
  int medium = FindByNameOrFault(gSource.feats, gSource.featCount, "MittelschwereRüstung");
  int martial = FindByNameOrFault(gSource.feats, gSource.featCount, "KriegsWaffen");
  auto owns = [&](int feat) {
    for (int i = 0; i < c->featCount; ++i)
      if (c->feats[i] == feat) return true;
    return false;
  };
  struct Expect {
    const char* name;
    bool medium, martial;
  } table[] = {{"Barbar", true, true}, {"Magier", false, false}, {"Kämpfer", true, true}, {"Schurke", false, false}};
  for (const Expect& e : table) {
    SCOPED_TRACE(e.name);
    Fresh(c, 3);
    c->race = FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch");
    c->classCount = 1;
    c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, e.name);
    c->classLevels[0] = c->preEpicLevels[0] = 3;
    ClassFeatScripts(c);
    EXPECT_EQ(owns(medium), e.medium);
    // Rogues and wizards may hold the martial feat for a few named weapons only.
    if (e.martial) {
      EXPECT_TRUE(owns(martial));
    }
    EXPECT_EQ(c->ClassLevel, 0);
  }
  ResetChar(c);
  delete c;
}

TEST_F(Classes, ALaterSlotsPrerequisitesSeeOnlyTheEarlierClasses) {
  Char* c = new Char();
  Fresh(c, 6);
  for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 12;
  c->classCount = 2;
  c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, "Magier");
  c->classLevels[0] = c->preEpicLevels[0] = 3;
  c->classes[1] = FindByNameOrFault(gSource.classes, gSource.classCount, "Barbar");  // not chosen yet
  RandClass(c, 1, 1, nullptr);
  EXPECT_EQ(c->baseFort, PoorSave(3));  // an empty slot adds no good save
  EXPECT_EQ(c->classCount, 2);
  ResetChar(c);
  delete c;
}
