// Ability scores and race.
#include <cmath>
#include <set>
#include <vector>

#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Attributes : public SourceFixture {
 protected:
  static int Sum(const Char* c) { return c->ST + c->GE + c->KO + c->IN + c->WE + c->CH; }
};

}  // namespace

TEST_F(Attributes, DiceMethodsKeepTheirBoundsAndRejectWeakSets) {
  Char* c = NewChar();
  for (int method : {1, 2, 3}) {
    for (int extra : {0, 1}) {
      long total = 0;
      for (int n = 0; n < 300; ++n) {
        Fresh(c, 5);
        record_[rec::kDrawType] = extra;
        RollAttributes(c, method);
        int best = 0, mods = 0;
        for (int i = 0; i < kAttributes; ++i) {
          ASSERT_TRUE(AbilityScore(c, i) >= 3 && AbilityScore(c, i) <= 18) << method;
          best = std::max(best, AbilityScore(c, i));
          mods += AbilityModifier(c, i);
        }
        EXPECT_TRUE(method == 3 || (best >= 14 && mods >= 1)) << best << " " << mods;
        total += Sum(c);
      }
      // The extra die only ever raises a roll: 4W6 averages about 12.2 per ability.
      if (method == 2) {
        EXPECT_TRUE(extra ? total / 300.0 / 6 > 13.3 : std::abs(total / 300.0 / 6 - 12.6) <= 0.6) << total;
      }
    }
  }
  record_[rec::kDrawType] = 0;
}

TEST_F(Attributes, ModifierIsHalfTheScoreMinusFive) {
  Char* c = NewChar();
  const int cases[][2] = {{-3, -6}, {-1, -5}, {0, -5}, {1, -5}, {9, -1}, {10, 0}, {11, 0}, {18, 4}};
  for (const auto& k : cases) {
    c->ST = k[0];
    ComputeModifiers(c);
    EXPECT_EQ(c->MST, k[1]) << k[0];
  }
}

TEST_F(Attributes, AnAbsentAbilityHandsItsRollOn) {
  Char* c = NewChar();
  for (int n = 0; n < 50; ++n) {
    Fresh(c, 5);
    c->absent[2] = 1;
    RollAttributes(c, 1);
    EXPECT_EQ(c->KO, 0);
    EXPECT_EQ(c->MKO, 0);
    for (int i = 0; i < kAttributes; ++i) EXPECT_GE(AbilityScore(c, i), i == 2 ? 0 : 3);
  }
}

TEST_F(Attributes, RacialAdjustmentsHaveFloors) {
  Char* c = NewChar();
  Fresh(c, 5);
  int race = RaceId("Mensch");
  int32_t* mods = gSource.races[race].modifiers;
  std::vector<int32_t> saved(mods, mods + kAttributes);
  mods[0] = -2;
  mods[3] = -4;
  mods[5] = -10;
  SetRace(c, race);
  c->ST = 2;
  c->IN = 5;
  c->CH = 8;
  c->GE = 10;
  ApplyRaceAdjustments(c);
  EXPECT_EQ(std::vector<int>({c->ST, c->IN, c->CH, c->GE}), std::vector<int>({1, 3, 1, 10 + mods[1]}));
  std::copy(saved.begin(), saved.end(), mods);
}

TEST_F(Attributes, IncreasesComeEveryFourthLevel) {
  Char* c = NewChar();
  for (int level : {3, 4, 8, 20}) {
    Fresh(c, level);
    c->classCount = 1;  // the class Prepare drew gives the weights
    c->classLevels[0] = level;
    RollAttributes(c, 2);
    int before = Sum(c);
    IncreaseAttributes(c);
    EXPECT_EQ(Sum(c) - before, level / 4) << "level " << level;
  }
}

TEST_F(Attributes, InherentBonusOnlyFromSurplusWealth) {
  Char* c = NewChar();
  Fresh(c, 15);
  c->cr = 14;
  RollAttributes(c, 2);
  int before = Sum(c);
  c->budget = gSource.treasure[14] + 26999;
  c->money = 100000;
  InherentBonus(c);
  EXPECT_EQ(std::pair(Sum(c), c->money), std::pair(before, 100000));
  // Three points are bought, spent on at most three abilities, each at most +5.
  c->budget = gSource.treasure[14] + 81000;
  InherentBonus(c);
  int gained = Sum(c) - before;
  EXPECT_TRUE(gained >= 1 && gained <= 3) << gained;
  EXPECT_EQ(std::pair(c->money, c->budget),
            std::pair(100000 - gained * 27000, gSource.treasure[14] + 81000 - gained * 27000));
}

TEST_F(Attributes, RacesRespectTheLevelAdjustment) {
  Char* c = NewChar();
  int sub = 0;
  for (int n = 0; n < 400; ++n) {
    Fresh(c, 1 + n % 6);
    int level = c->Level;
    c->race = c->subRace = -1;
    ChooseRace(c);
    ASSERT_GE(c->race, 0);
    const RaceSource& r = gSource.races[c->race];
    EXPECT_EQ(r.parent, -1);
    sub += c->subRace >= 0;
    EXPECT_TRUE(c->subRace < 0 || gSource.races[c->subRace].parent == c->race);
    const int adjust = gSource.races[c->subRace >= 0 ? c->subRace : c->race].crModifier;
    EXPECT_LT(adjust, level);
    EXPECT_EQ(c->Level, level - adjust);
    EXPECT_EQ(c->Range, (float)r.range);
  }
  // "Subrace?" says yes one time in eleven, and humans have no subraces.
  EXPECT_GT(sub, 8);
  EXPECT_LT(sub, 45);
  // Level 0 (CR -1 from a batch's spread) fits no race: a human, not an error.
  Fresh(c, 0);
  ChooseRace(c);
  EXPECT_EQ(c->race, RaceId("Mensch"));
  // A race fixed by the record is taken as it is; a subrace brings its main race.
  int duergar = RaceId("Duergar");
  Fresh(c, 5);
  record_[rec::kFixedRace] = duergar;
  ChooseRace(c);
  EXPECT_EQ(c->subRace, duergar);
  EXPECT_EQ(c->race, gSource.races[duergar].parent);
  EXPECT_EQ(c->Level, 5 - gSource.races[duergar].crModifier);
}

TEST_F(Attributes, PlacementKeepsEveryRolledValue) {
  // The fighter weighs Wisdom and Charisma 0: the last two values still land on them.
  int fighter = ClassId("Kämpfer");
  for (int n = 0; n < 10; ++n) {
    Char* c = NewChar();
    Fresh(c, 5);
    c->classCount = 1;
    c->classes[0] = fighter;
    const int rolled[kAttributes] = {8, 17, 11, 14, 9, 13};
    for (int i = 0; i < kAttributes; ++i) AbilityScore(c, i) = rolled[i];
    ArrangeAttributes(c);
    std::multiset<int> after;
    for (int i = 0; i < kAttributes; ++i) after.insert(AbilityScore(c, i));
    EXPECT_EQ(after, std::multiset<int>(rolled, rolled + kAttributes));
    EXPECT_EQ(c->WE + c->CH, 8 + 9);  // the two lowest values go where the class cares least
  }
}
