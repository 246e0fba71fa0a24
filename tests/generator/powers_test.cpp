// Psionic powers: power points and powers known by class type and level, the bonus
// points of the main ability, and the drawn powers.
#include <gtest/gtest.h>

#include <set>

#include "generator/attributes.h"
#include "generator/powers.h"
#include "generator/source_fixture.h"

using namespace debugspace;

TEST(PowerTables, PointsAndPowersKnown) {
  // Full manifester: 2 at level 1; 2 + 1 + 1 + 3 = 7 at level 4.
  EXPECT_EQ(BasePowerPoints(1, 1), 2);
  EXPECT_EQ(BasePowerPoints(1, 4), 7);
  // Partial manifester: 2 at level 1.
  EXPECT_EQ(BasePowerPoints(2, 1), 2);
  // Level 0 holds 3 powers at level 1; the first level-1 power comes at level 2.
  EXPECT_EQ(PowersKnown(1, 1, 0), 3);
  EXPECT_EQ(PowersKnown(1, 1, 1), 0);
  EXPECT_EQ(PowersKnown(1, 2, 1), 1);
  EXPECT_EQ(PowersKnown(1, 12, 0), 3 + 5);  // one more for each even level 4 to 12
  EXPECT_EQ(PowersKnown(1, 12, 1), 4);
  EXPECT_EQ(PowersKnown(2, 1, 0), 2);
  EXPECT_EQ(PowersKnown(2, 2, 0), 3);
  EXPECT_EQ(PowersKnown(2, 20, 7), -1);  // a partial manifester has no powers above level 6
}

namespace {
class Powers : public generator_test::SourceFixture {};
}  // namespace

TEST_F(Powers, DrawnPowersFitLevelAbilityAndRepeatNever) {
  int psion = FindByNameOrFault(gSource.classes, gSource.classCount, "Psion");
  for (int L = 1; L <= 20; ++L) {
    Char* c = new Char();
    Fresh(c, L);
    c->classCount = 1;
    c->classes[0] = psion;
    c->classLevels[0] = c->preEpicLevels[0] = L;
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
    AbilityScore(c, 3) = 18;
    ComputeModifiers(c);
    DoPowers(c);
    ASSERT_GE(c->mainPsionic, 0);
    if (L == 1) {
      EXPECT_EQ(c->spellsKnown[0][1], 0);  // known, but none yet
    }
    int bonus = c->PowerPoints - BasePowerPoints(1, L);
    if (AbilityModifier(c, c->mainPsionic) <= 0) {
      EXPECT_EQ(bonus, 0) << L;
    } else {
      EXPECT_GE(bonus, 0) << L;
    }
    std::set<int> seen;
    for (int s = 0; s < 10; ++s)
      for (int i = 0; i < c->spellsChosenCount[0][s]; ++i) {
        int p = c->spellsChosen[0][s][i];
        ASSERT_GE(p, 0);
        EXPECT_EQ(gSource.powers[p].psion, s);
        EXPECT_GE(AbilityScore(c, gSource.powers[p].attribute), s + 10);
        EXPECT_TRUE(seen.insert(p).second) << gSource.powers[p].name.c_str() << " twice";
      }
    delete c;
  }
}
