// Spells: counts per class and level against the class tables of the rules, bonus
// spells, schools and domains of the drawn spells.
#include <gtest/gtest.h>

#include "generator/attributes.h"
#include "generator/spells.h"
#include "generator/source_fixture.h"

using namespace debugspace;

namespace {

// Spells per day (and known) of levels 1 to 20 for spell levels 0 to 9, as the class
// tables print them; -1 = none.
using Table = int[21][10];
#define ROW(...) {__VA_ARGS__}
const Table kWizard = {
    {}, ROW(3, 1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(4, 2, -1, -1, -1, -1, -1, -1, -1, -1),
    ROW(4, 2, 1, -1, -1, -1, -1, -1, -1, -1), ROW(4, 3, 2, -1, -1, -1, -1, -1, -1, -1),
    ROW(4, 3, 2, 1, -1, -1, -1, -1, -1, -1), ROW(4, 3, 3, 2, -1, -1, -1, -1, -1, -1),
    ROW(4, 4, 3, 2, 1, -1, -1, -1, -1, -1), ROW(4, 4, 3, 3, 2, -1, -1, -1, -1, -1),
    ROW(4, 4, 4, 3, 2, 1, -1, -1, -1, -1), ROW(4, 4, 4, 3, 3, 2, -1, -1, -1, -1),
    ROW(4, 4, 4, 4, 3, 2, 1, -1, -1, -1), ROW(4, 4, 4, 4, 3, 3, 2, -1, -1, -1),
    ROW(4, 4, 4, 4, 4, 3, 2, 1, -1, -1), ROW(4, 4, 4, 4, 4, 3, 3, 2, -1, -1),
    ROW(4, 4, 4, 4, 4, 4, 3, 2, 1, -1), ROW(4, 4, 4, 4, 4, 4, 3, 3, 2, -1),
    ROW(4, 4, 4, 4, 4, 4, 4, 3, 2, 1), ROW(4, 4, 4, 4, 4, 4, 4, 3, 3, 2),
    ROW(4, 4, 4, 4, 4, 4, 4, 4, 3, 3), ROW(4, 4, 4, 4, 4, 4, 4, 4, 4, 4)};
const Table kCleric = {
    {}, ROW(3, 1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(4, 2, -1, -1, -1, -1, -1, -1, -1, -1),
    ROW(4, 2, 1, -1, -1, -1, -1, -1, -1, -1), ROW(5, 3, 2, -1, -1, -1, -1, -1, -1, -1),
    ROW(5, 3, 2, 1, -1, -1, -1, -1, -1, -1), ROW(5, 3, 3, 2, -1, -1, -1, -1, -1, -1),
    ROW(6, 4, 3, 2, 1, -1, -1, -1, -1, -1), ROW(6, 4, 3, 3, 2, -1, -1, -1, -1, -1),
    ROW(6, 4, 4, 3, 2, 1, -1, -1, -1, -1), ROW(6, 4, 4, 3, 3, 2, -1, -1, -1, -1),
    ROW(6, 5, 4, 4, 3, 2, 1, -1, -1, -1), ROW(6, 5, 4, 4, 3, 3, 2, -1, -1, -1),
    ROW(6, 5, 5, 4, 4, 3, 2, 1, -1, -1), ROW(6, 5, 5, 4, 4, 3, 3, 2, -1, -1),
    ROW(6, 5, 5, 5, 4, 4, 3, 2, 1, -1), ROW(6, 5, 5, 5, 4, 4, 3, 3, 2, -1),
    ROW(6, 5, 5, 5, 5, 4, 4, 3, 2, 1), ROW(6, 5, 5, 5, 5, 4, 4, 3, 3, 2),
    ROW(6, 5, 5, 5, 5, 5, 4, 4, 3, 3), ROW(6, 5, 5, 5, 5, 5, 4, 4, 4, 4)};
const Table kSorcererPerDay = {
    {}, ROW(5, 3, -1, -1, -1, -1, -1, -1, -1, -1), ROW(6, 4, -1, -1, -1, -1, -1, -1, -1, -1),
    ROW(6, 5, -1, -1, -1, -1, -1, -1, -1, -1), ROW(6, 6, 3, -1, -1, -1, -1, -1, -1, -1),
    ROW(6, 6, 4, -1, -1, -1, -1, -1, -1, -1), ROW(6, 6, 5, 3, -1, -1, -1, -1, -1, -1),
    ROW(6, 6, 6, 4, -1, -1, -1, -1, -1, -1), ROW(6, 6, 6, 5, 3, -1, -1, -1, -1, -1),
    ROW(6, 6, 6, 6, 4, -1, -1, -1, -1, -1), ROW(6, 6, 6, 6, 5, 3, -1, -1, -1, -1),
    ROW(6, 6, 6, 6, 6, 4, -1, -1, -1, -1), ROW(6, 6, 6, 6, 6, 5, 3, -1, -1, -1),
    ROW(6, 6, 6, 6, 6, 6, 4, -1, -1, -1), ROW(6, 6, 6, 6, 6, 6, 5, 3, -1, -1),
    ROW(6, 6, 6, 6, 6, 6, 6, 4, -1, -1), ROW(6, 6, 6, 6, 6, 6, 6, 5, 3, -1),
    ROW(6, 6, 6, 6, 6, 6, 6, 6, 4, -1), ROW(6, 6, 6, 6, 6, 6, 6, 6, 5, 3),
    ROW(6, 6, 6, 6, 6, 6, 6, 6, 6, 4), ROW(6, 6, 6, 6, 6, 6, 6, 6, 6, 6)};
const Table kSorcererKnown = {
    {}, ROW(4, 2, -1, -1, -1, -1, -1, -1, -1, -1), ROW(5, 2, -1, -1, -1, -1, -1, -1, -1, -1),
    ROW(5, 3, -1, -1, -1, -1, -1, -1, -1, -1), ROW(6, 3, 1, -1, -1, -1, -1, -1, -1, -1),
    ROW(6, 4, 2, -1, -1, -1, -1, -1, -1, -1), ROW(7, 4, 2, 1, -1, -1, -1, -1, -1, -1),
    ROW(7, 5, 3, 2, -1, -1, -1, -1, -1, -1), ROW(8, 5, 3, 2, 1, -1, -1, -1, -1, -1),
    ROW(8, 5, 4, 3, 2, -1, -1, -1, -1, -1), ROW(9, 5, 4, 3, 2, 1, -1, -1, -1, -1),
    ROW(9, 5, 5, 4, 3, 2, -1, -1, -1, -1), ROW(9, 5, 5, 4, 3, 2, 1, -1, -1, -1),
    ROW(9, 5, 5, 4, 4, 3, 2, -1, -1, -1), ROW(9, 5, 5, 4, 4, 3, 2, 1, -1, -1),
    ROW(9, 5, 5, 4, 4, 4, 3, 2, -1, -1), ROW(9, 5, 5, 4, 4, 4, 3, 2, 1, -1),
    ROW(9, 5, 5, 4, 4, 4, 3, 3, 2, -1), ROW(9, 5, 5, 4, 4, 4, 3, 3, 2, 1),
    ROW(9, 5, 5, 4, 4, 4, 3, 3, 3, 2), ROW(9, 5, 5, 4, 4, 4, 3, 3, 3, 3)};
// Paladin and ranger: spell levels 1 to 4 from class level 4. The program's table gives
// the second third-level spell at level 18 (the printed table: 17), so row 17 follows it.

const Table kPaladin = {
    {}, ROW(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 0, -1, -1, -1, -1, -1, -1, -1, -1),
    ROW(-1, 0, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 1, -1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 1, 0, -1, -1, -1, -1, -1, -1, -1),
    ROW(-1, 1, 0, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 1, 1, -1, -1, -1, -1, -1, -1, -1), ROW(-1, 1, 1, 0, -1, -1, -1, -1, -1, -1), ROW(-1, 1, 1, 1, -1, -1, -1, -1, -1, -1),
    ROW(-1, 1, 1, 1, -1, -1, -1, -1, -1, -1), ROW(-1, 2, 1, 1, 0, -1, -1, -1, -1, -1), ROW(-1, 2, 1, 1, 1, -1, -1, -1, -1, -1), ROW(-1, 2, 2, 1, 1, -1, -1, -1, -1, -1),
    ROW(-1, 2, 2, 1, 1, -1, -1, -1, -1, -1), ROW(-1, 3, 2, 2, 1, -1, -1, -1, -1, -1), ROW(-1, 3, 3, 3, 2, -1, -1, -1, -1, -1), ROW(-1, 3, 3, 3, 3, -1, -1, -1, -1, -1)};
#undef ROW

// Bonus spells of a key-ability modifier for a spell level, as the ability table gives them.
int Bonus(int modifier, int level) { return level >= 1 && modifier >= level ? (modifier - level) / 4 + 1 : 0; }

class Spells : public generator_test::SourceFixture {
 protected:
  Char* Caster(const char* cls, int levels, int keyScore) {
    Char* c = new Char();
    Fresh(c, levels);
    c->classCount = 1;
    c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, cls);
    c->classLevels[0] = c->preEpicLevels[0] = levels;
    c->Level = levels;
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = keyScore;
    ComputeModifiers(c);
    return c;
  }
  void Check(const char* cls, const Table& perDay, const Table* known) {
    for (int L = 1; L <= 20; ++L) {
      Char* c = Caster(cls, L, 28);  // modifier +9: every level castable
      CalculateSpellCount(c);
      for (int s = 0; s < 10; ++s) {
        int expected = perDay[L][s];
        int got = c->spellsPerDay[0][s];
        if (expected >= 0) expected += Bonus(9, s);
        EXPECT_EQ(got, expected) << cls << " level " << L << " spell level " << s;
        if (known) {
          EXPECT_EQ(c->spellsKnown[0][s], (*known)[L][s]) << cls << " known, level " << L << " spell level " << s;
        }
      }
      delete c;
    }
  }
};

}  // namespace

TEST_F(Spells, CountsFollowTheClassTables) {
  Check("Magier", kWizard, nullptr);
  Check("Kleriker", kCleric, nullptr);
  Check("Druide", kCleric, nullptr);
  Check("Hexenmeister", kSorcererPerDay, &kSorcererKnown);
  Check("Paladin", kPaladin, nullptr);
  Check("Waldläufer", kPaladin, nullptr);
}

TEST_F(Spells, KeyAbilityLimitsAndBonusSpells) {
  // A 1st-level wizard with Intelligence 11: 3 cantrips, 1 first-level spell, nothing higher.
  Char* c = Caster("Magier", 1, 11);
  CalculateSpellCount(c);
  EXPECT_EQ(c->spellsPerDay[0][0], 3);
  EXPECT_EQ(c->spellsPerDay[0][1], 1);
  EXPECT_EQ(c->spellsPerDay[0][2], -1);
  EXPECT_EQ(c->highestSpellLevel, 1);
  delete c;
  // Intelligence 9: no spells at all.
  c = Caster("Magier", 10, 9);
  CalculateSpellCount(c);
  for (int s = 0; s < 10; ++s) EXPECT_EQ(c->spellsToDraw[0][s], -1);
  EXPECT_EQ(c->highestSpellLevel, -1);
  delete c;
  // Modifier +5 at level 20: two bonus spells of level 1, one of levels 2 to 5.
  c = Caster("Magier", 20, 20);
  CalculateSpellCount(c);
  EXPECT_EQ(c->spellsPerDay[0][1], 4 + 2);
  EXPECT_EQ(c->spellsPerDay[0][5], 4 + 1);
  EXPECT_EQ(c->spellsPerDay[0][6], 4);
  delete c;
  // A 4th-level paladin: caster level 2, no first-level spell but the bonus one.
  c = Caster("Paladin", 4, 14);
  CalculateSpellCount(c);
  EXPECT_EQ(c->casterLevel[0], 2);
  EXPECT_EQ(c->spellsPerDay[0][1], 0 + 1);
  delete c;
}

TEST_F(Spells, DrawnSpellsRespectSchoolsDomainsAndClassLists) {
  int specialists = 0, domainSpells = 0;
  for (int cls = 0; cls < gSource.classCount; ++cls) {
    const CharSource& k = gSource.classes[cls];
    if (k.spellType == -1 || k.prestige) continue;
    for (int L = 1; L <= 20; ++L) {
      Char* c = Caster(k.name.c_str(), L, 18);
      DoDomainsSpecial(c);
      CalculateSpellCount(c);
      CalculateSpells(c);
      std::string who = std::string(k.name.c_str()) + " level " + std::to_string(L);
      specialists += c->specialist;
      for (int s = 0; s < 10; ++s) {
        if (c->spellsToDraw[0][s] < 0) {
          EXPECT_EQ(c->spellsChosenCount[0][s], 0) << who;
          continue;
        }
        // A specialist's extra spell also comes at levels it cannot cast yet (0 to draw).
        int extra = c->specialist && c->spellsToDraw[0][s] == 0 ? 1 : 0;
        EXPECT_EQ(c->spellsChosenCount[0][s], std::min(c->spellsToDraw[0][s], 10) + extra) << who << " level " << s;
        for (int i = 0; i < c->spellsChosenCount[0][s]; ++i) {
          int sp = c->spellsChosen[0][s][i];
          if (sp < 0) continue;  // the class list ran dry
          const SpellSource& x = gSource.spells[sp];
          EXPECT_EQ(x.Levels()[cls], s) << who << " drew " << x.name.c_str();
          EXPECT_FALSE(c->specialist && x.school >= 0 && x.school < kMaxSchools && c->forbidden[x.school])
              << who << " drew the forbidden " << x.name.c_str();
        }
      }
      for (int s = 1; s < 10; ++s) {
        int sp = c->domainSpells[s];
        if (sp < 0) continue;
        ++domainSpells;
        const SpellSource& x = gSource.spells[sp];
        bool ours = false;
        for (int e = 0; e < x.domainCount && e < 2; ++e)
          for (int d = 0; d < c->domainCount; ++d) ours = ours || (x.domains[e] == c->domains[d] && x.DomainLevel(e) == s);
        EXPECT_TRUE(ours) << who << " domain spell " << x.name.c_str();
      }
      // Opposed domains never come together.
      auto has = [&](const char* name) {
        int d = FindByNameOrFault(gSource.domains, gSource.domainCount, name);
        for (int i = 0; i < c->domainCount; ++i)
          if (c->domains[i] == d) return true;
        return false;
      };
      EXPECT_FALSE(has("Gutes") && has("Böses")) << who;
      EXPECT_FALSE(has("Chaos") && has("Ordnung")) << who;
      delete c;
    }
  }
  EXPECT_GT(specialists, 0);
  EXPECT_GT(domainSpells, 50);
}

TEST_F(Spells, ExtraSpellsEffectAndSpecialistSpellBeyondTheCastableLevels) {
  // "ZusatzZauber": one more spell per day for levels 0 to 4 that have any; a psion
  // gets 10 power points instead.
  int effect = FindByNameOrFault(gSource.effects, gSource.effectCount, "ZusatzZauber");
  Char* c = Caster("Magier", 5, 14);
  ApplyEffectExtras(c, effect);
  CalculateSpellCount(c);
  for (int s = 0; s < 10; ++s) {
    int expected = kWizard[5][s] < 0 ? -1 : kWizard[5][s] + Bonus(2, s) + (s <= 4 ? 1 : 0);
    EXPECT_EQ(c->spellsPerDay[0][s], expected) << s;
  }
  delete c;
  c = Caster("Psion", 3, 14);
  ApplyEffectExtras(c, effect);
  EXPECT_EQ(c->PowerPoints, 10);
  EXPECT_EQ(c->spellBonus[0], 0);
  delete c;
  // A 1st-level evoker with Intelligence 18 draws an evocation of every level up to 8,
  // also where it has no spells per day (the counts rise from -1 to 0).
  c = Caster("Magier", 1, 18);
  c->specialist = 1;
  c->specialistSchool = FindByNameOrFault(gSource.schools, gSource.schoolCount, "Hervorrufung");
  CalculateSpellCount(c);
  CalculateSpells(c);
  for (int s = 2; s < 10; ++s) {
    EXPECT_EQ(c->spellsToDraw[0][s], s <= 8 ? 0 : -1) << s;
    EXPECT_EQ(c->spellsChosenCount[0][s], s <= 8 ? 1 : 0) << s;
  }
  int sp = c->spellsChosen[0][5][0];
  ASSERT_GE(sp, 0);
  EXPECT_EQ(gSource.spells[sp].school, c->specialistSchool);
  delete c;
}

TEST_F(Spells, PrestigeCountsFollowTheClassTables) {
  // Spell levels 1 to 4 at class levels 1 to 10; -1 none.
  struct Case {
    const char* cls;
    int perDay[11][4];
  } cases[] = {
      {"SchwarzerRitter",
       {{}, {0, -1, -1, -1}, {1, -1, -1, -1}, {1, 0, -1, -1}, {1, 1, -1, -1}, {1, 1, 0, -1}, {1, 1, 1, -1},
        {2, 1, 1, 0}, {2, 1, 1, 1}, {2, 2, 1, 1}, {2, 2, 2, 1}}},
      {"Assasin",
       {{}, {0, -1, -1, -1}, {1, -1, -1, -1}, {2, 0, -1, -1}, {3, 1, -1, -1}, {3, 2, 0, -1}, {3, 3, 1, -1},
        {3, 3, 2, 0}, {3, 3, 3, 1}, {3, 3, 3, 2}, {3, 3, 3, 3}}},
  };
  for (const Case& k : cases)
    for (int L = 1; L <= 10; ++L) {
      Char* c = Caster(k.cls, L, 28);
      CalculateSpellCount(c);
      for (int s = 1; s <= 4; ++s) {
        int expected = k.perDay[L][s - 1] >= 0 ? k.perDay[L][s - 1] + Bonus(9, s) : -1;
        EXPECT_EQ(c->spellsPerDay[0][s], expected) << k.cls << " level " << L << " spell level " << s;
      }
      delete c;
    }
}
