// SRD 3.5 spells and powers: the figures are typed in from the class tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/powers.h"
#include "generator/rules.h"
#include "generator/source_fixture.h"
#include "generator/spells.h"

using namespace debugspace;

namespace {

class SrdCasting : public generator_test::CreationFixture {
 protected:
  // A single-class creature by SRD 3.5 with every ability 10 but `key` at `score`.
  Char* Make(const char* cls, int level, int key, int score) {
    Char* c = new Char();
    Fresh(c, level);
    c->rules = kRulesSrd35;
    c->classCount = 1;
    c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, cls);
    c->classLevels[0] = level;
    c->preEpicLevels[0] = std::min(level, 20);
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = a == key ? score : 10;
    ComputeModifiers(c);
    return c;
  }
  void Drop(Char* c) {
    FreeCharBonuses(c);
    delete c;
  }
};

constexpr int kInt = 3, kWis = 4, kCha = 5;

TEST_F(SrdCasting, SpellSlotsByTheClassTablesAndTheFinalKeyAbility) {
  struct Case {
    const char* cls;
    int level, key, score, first;
    std::vector<int> perDay, known;  // from spell level `first`; known empty: prepared
  };
  const Case cases[] = {
      {"Barde", 16, kCha, 17, 0, {4, 5, 5, 4, 3, 2, 0}, {6, 5, 4, 4, 4, 4, 0}},
      {"Barde", 16, kCha, 22, 0, {4, 6, 6, 4, 4, 3, 1}, {6, 5, 4, 4, 4, 4, 2}},
      {"Barde", 5, kCha, 12, 0, {3, 4, 1}, {6, 4, 3}},
      {"Paladin", 17, kWis, 14, 1, {3, 3, 2, 1}, {}},
      {"Waldläufer", 8, kWis, 12, 1, {2, 0, -1}, {}},
  };
  for (const Case& k : cases) {
    Char* c = Make(k.cls, k.level, k.key, k.score);
    CalculateSpellCount(c);
    for (size_t i = 0; i < k.perDay.size(); ++i) {
      EXPECT_EQ(c->spellsPerDay[0][k.first + i], k.perDay[i]) << k.cls << " " << k.level << " level " << k.first + i;
      if (!k.known.empty()) {
        EXPECT_EQ(c->spellsKnown[0][k.first + i], k.known[i]) << k.cls << " known " << i;
      }
    }
    Drop(c);
  }
  // Whole clerics, druids and wizards: a spell level opens at class level 2 x level - 1 and
  // with the key ability the creature ends with at 10 + level.
  Char* c = new Char();
  Wire(c);
  int checked = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, 0, 8 + n % 22);
    std::string name = gSource.classes[c->classes[0]].name.c_str();
    if (c->classCount != 1 || (name != "Kleriker" && name != "Druide" && name != "Magier")) continue;
    int key = name == "Magier" ? kInt : kWis;
    int L = std::min(c->classLevels[0], 20);
    for (int l = 1; l <= 9; ++l, ++checked)
      EXPECT_EQ(c->spellsPerDay[0][l] >= 0, 2 * l - 1 <= L && AbilityScore(c, key) >= 10 + l)
          << name << " " << c->classLevels[0] << " score " << AbilityScore(c, key) << " level " << l;
  }
  EXPECT_GT(checked, 300);
  Drop(c);
}

TEST_F(SrdCasting, PowerPointsByTheTablesAndTheKeyAbility) {
  struct Case {
    const char* cls;
    int level, key, score, points;
  };
  const Case cases[] = {
      {"Psion", 9, kInt, 19, 72 + 18},           {"Wilder", 5, kCha, 14, 25 + 5},
      {"Psychokrieger", 1, kWis, 12, 0},         {"Psychokrieger", 10, kWis, 16, 27 + 15},
      {"Psion", 24, kInt, 20, 343 + 50},  // no more points past 20th
  };
  for (const Case& k : cases) {
    Char* c = Make(k.cls, k.level, k.key, k.score);
    DoPowers(c);
    BonusPowerPoints(c);
    EXPECT_EQ(c->PowerPoints, k.points) << k.cls << " " << k.level;
    Drop(c);
  }
}

TEST_F(SrdCasting, PowersKnownByTheTablesFromTheClassList) {
  struct Case {
    const char* cls;
    int level, key, known, highest;
  };
  const Case cases[] = {
      {"Psion", 1, kInt, 3, 1},          {"Psion", 9, kInt, 19, 5},         {"Psion", 20, kInt, 36, 9},
      {"Psion", 22, kInt, 40, 9},        {"Wilder", 9, kCha, 5, 4},         {"Wilder", 20, kCha, 11, 9},
      {"Psychokrieger", 4, kWis, 4, 2},  {"Psychokrieger", 22, kWis, 21, 6},
  };
  for (const Case& k : cases) {
    Char* c = Make(k.cls, k.level, k.key, 40);
    DoPowers(c);
    int known = 0, highest = 0;
    for (int s = 0; s < 10; ++s)
      for (int i = 0; i < c->spellsChosenCount[0][s]; ++i) {
        const PowerSource& p = gSource.powers[c->spellsChosen[0][s][i]];
        ++known;
        highest = std::max(highest, s);
        EXPECT_GE(s, 1) << k.cls;
        EXPECT_EQ(std::string(k.cls) == "Psychokrieger" ? p.psychicWarrior : p.psion, s) << p.name.c_str();
        if (std::string(k.cls) == "Wilder") {
          EXPECT_EQ(p.discipline, -1) << p.name.c_str();
        }
        if (std::string(k.cls) == "Psion") {
          EXPECT_TRUE(p.discipline < 0 || p.discipline == c->mainPsionic) << p.name.c_str();
        }
      }
    EXPECT_EQ(known, k.known) << k.cls << " " << k.level;
    EXPECT_EQ(highest, k.highest) << k.cls << " " << k.level;
    Drop(c);
  }
}

TEST_F(SrdCasting, SpecialistCasterLevelAndPsicrystalPower) {
  // A specialist's extra spell only at the levels she can cast: wizard 1, Int 17.
  Char* c = Make("Magier", 1, kInt, 17);
  c->specialist = 1;
  c->specialistSchool = FindByNameOrFault(gSource.schools, gSource.schoolCount, "Hervorrufung");
  CalculateSpellCount(c);
  CalculateSpells(c);
  EXPECT_EQ(c->spellsPerDay[0][0], 3 + 1);
  EXPECT_EQ(c->spellsPerDay[0][1], 1 + 1 + 1);
  EXPECT_EQ(c->spellsPerDay[0][2], -1);
  Drop(c);
  // A class without spells has no caster level; an eldritch knight adds his levels from the 2nd.
  c = Make("Kämpfer", 5, kInt, 10);
  CalculateSpellCount(c);
  EXPECT_EQ(c->casterLevel[0], 0);
  Drop(c);
  c = Make("Magier", 5, kInt, 17);
  c->classCount = 2;
  c->classes[1] = FindByNameOrFault(gSource.classes, gSource.classCount, "MystischerRitter");
  c->classLevels[1] = c->preEpicLevels[1] = 3;
  CalculateSpellCount(c);
  EXPECT_EQ(c->casterLevel[0], 5 + 2);
  EXPECT_EQ(c->casterLevel[1], 0);
  Drop(c);
  // Psicrystal Power: Int 25 or Cha 25, whichever is the key ability for manifesting.
  const int32_t keyAbility25[] = {2, 'K' | 'A' << 8, 25};
  struct Case {
    const char* cls;
    int key, score;
    bool srd, passes;
  };
  const Case cases[] = {{"Wilder", kCha, 25, true, true},
                        {"Psion", kInt, 25, true, true},
                        {"Psion", kCha, 25, true, false},
                        {"Wilder", kCha, 25, false, false}};
  for (const Case& k : cases) {
    c = Make(k.cls, 21, k.key, k.score);
    c->rules = k.srd ? kRulesSrd35 : kRulesOwn;
    EXPECT_EQ(CheckRules(c, -1, 0, keyAbility25, 21, nullptr), k.passes) << k.cls << " " << k.srd;
    Drop(c);
  }
}

}  // namespace
