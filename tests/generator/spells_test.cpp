// Spells and powers: counts per class and level against the class tables, bonus spells,
// the drawn spells and powers, class extras that cost or add slots; both rule sets.
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "generator/extras.h"
#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

// Entry `s` of a row of numbers ("4 3 2 1"); -1 where the row ends.
int At(const char* row, int s) {
  std::istringstream in(row);
  int v = -1;
  for (int i = 0; i <= s; ++i)
    if (!(in >> v)) return -1;
  return v;
}
// Bonus spells of a key-ability modifier for a spell level, as the ability table gives them.
int Bonus(int modifier, int level) { return level >= 1 && modifier >= level ? (modifier - level) / 4 + 1 : 0; }

constexpr int kInt = 3, kWis = 4, kCha = 5;

class Spells : public CreationFixture {
 protected:
  // One class by the rule set with every ability 10 but `key` at `score`.
  Char* Make(const char* cls, int level, int key, int score, RuleSet rules = kRulesSrd35) {
    Char* c = Single(cls, level);
    c->rules = rules;
    AbilityScore(c, key) = score;
    ComputeModifiers(c);
    return c;
  }
};

}  // namespace

TEST_F(Spells, CountsFollowTheClassTables) {
  // Class, level, spells per day from spell level `first` on, spells known (sorcerer), as the
  // class tables print them. Prestige classes: spell levels 1 to 4 at class levels 1 to 10.
  const struct {
    const char* cls;
    int level, first;
    const char *perDay, *known;
  } rows[] = {{"Magier", 1, 0, "3 1", nullptr},
              {"Magier", 9, 0, "4 4 4 3 2 1", nullptr},
              {"Magier", 20, 0, "4 4 4 4 4 4 4 4 4 4", nullptr},
              {"Kleriker", 4, 0, "5 3 2", nullptr},
              {"Kleriker", 11, 0, "6 5 4 4 3 2 1", nullptr},
              {"Druide", 19, 0, "6 5 5 5 5 5 4 4 3 3", nullptr},
              {"Hexenmeister", 1, 0, "5 3", "4 2"},
              {"Hexenmeister", 4, 0, "6 6 3", "6 3 1"},
              {"Hexenmeister", 20, 0, "6 6 6 6 6 6 6 6 6 6", "9 5 5 4 4 4 3 3 3 3"},
              {"Paladin", 3, 0, "", nullptr},
              {"Paladin", 4, 0, "-1 0", nullptr},
              {"Waldläufer", 14, 0, "-1 2 1 1 0", nullptr},
              {"Paladin", 20, 0, "-1 3 3 3 3", nullptr},
              {"SchwarzerRitter", 1, 1, "0", nullptr},
              {"SchwarzerRitter", 10, 1, "2 2 2 1", nullptr},
              {"Assasin", 3, 1, "2 0", nullptr}};
  for (const auto& k : rows) {
    Char* c = Single(k.cls, k.level, 28);  // modifier +9: every level castable
    CalculateSpellCount(c);
    for (int s = k.first; s < 10; ++s) {
      int expected = At(k.perDay, s - k.first);
      EXPECT_EQ(c->spellsPerDay[0][s], expected < 0 ? -1 : expected + Bonus(9, s))
          << k.cls << " " << k.level << " " << s;
      EXPECT_TRUE(!k.known || c->spellsKnown[0][s] == At(k.known, s)) << k.cls << " known " << k.level << " " << s;
    }
  }
}

TEST_F(Spells, KeyAbilityLimitsAndBonusSpells) {
  // Class, level, every ability, spell level, spells per day (-1 none): Int 11 casts nothing
  // above 1st; +5 adds bonus spells up to 5th; the paladin's bonus spell comes without any other.
  const std::tuple<const char*, int, int, int, int> cases[] = {
      {"Magier", 1, 11, 0, 3},      {"Magier", 1, 11, 1, 1},  {"Magier", 1, 11, 2, -1},    {"Magier", 20, 20, 1, 4 + 2},
      {"Magier", 20, 20, 5, 4 + 1}, {"Magier", 20, 20, 6, 4}, {"Paladin", 4, 14, 1, 0 + 1}};
  for (auto [cls, level, score, spellLevel, perDay] : cases) {
    Char* c = Single(cls, level, score);
    CalculateSpellCount(c);
    EXPECT_EQ(c->spellsPerDay[0][spellLevel], perDay) << cls << " " << level << " " << spellLevel;
    EXPECT_TRUE(level != 1 || c->highestSpellLevel == 1);
    EXPECT_TRUE(level != 4 || c->casterLevel[0] == 2);  // half the paladin's level
  }
  // Intelligence 9: no spells at all.
  Char* c = Single("Magier", 10, 9);
  CalculateSpellCount(c);
  for (int s = 0; s < 10; ++s) EXPECT_EQ(c->spellsToDraw[0][s], -1);
  EXPECT_EQ(c->highestSpellLevel, -1);
}

TEST_F(Spells, DrawnSpellsRespectSchoolsDomainsAndClassLists) {
  int specialists = 0, domainSpells = 0;
  auto domain = [](const char* name) { return FindByNameOrFault(gSource.domains, gSource.domainCount, name); };
  const int good = domain("Gutes"), evil = domain("Böses"), chaos = domain("Chaos"), law = domain("Ordnung");
  for (int cls = 0; cls < gSource.classCount; ++cls) {
    const CharSource& k = gSource.classes[cls];
    if (k.spellType == -1 || k.prestige) continue;
    for (int L : {1, 3, 5, 9, 14, 20}) {
      Char* c = Single(k.name.c_str(), L, 18);
      DoDomainsSpecial(c);
      CalculateSpellCount(c);
      CalculateSpells(c);
      std::string who = std::string(k.name.c_str()) + " level " + std::to_string(L);
      specialists += c->specialist;
      for (int s = 0; s < 10; ++s) {
        // A specialist's extra spell also comes at levels it cannot cast yet (0 to draw).
        int toDraw = c->spellsToDraw[0][s], extra = c->specialist && toDraw == 0;
        EXPECT_EQ(c->spellsChosenCount[0][s], toDraw < 0 ? 0 : std::min(toDraw, 10) + extra) << who << " " << s;
        for (int i = 0; i < c->spellsChosenCount[0][s]; ++i) {
          if (c->spellsChosen[0][s][i] < 0) continue;  // the class list ran dry
          const SpellSource& x = gSource.spells[c->spellsChosen[0][s][i]];
          EXPECT_EQ(x.Levels()[cls], s) << who << " " << x.name.c_str();
          EXPECT_FALSE(c->specialist && x.school >= 0 && x.school < kMaxSchools && c->forbidden[x.school]) << who;
        }
      }
      for (int s = 1; s < 10; ++s) {
        int sp = c->domainSpells[s];
        if (sp < 0) continue;
        ++domainSpells;
        const SpellSource& x = gSource.spells[sp];
        bool ours = false;
        for (int e = 0; e < x.domainCount && e < 2; ++e)
          for (int d = 0; d < c->domainCount; ++d)
            ours = ours || (x.domains[e] == c->domains[d] && x.DomainLevel(e) == s);
        EXPECT_TRUE(ours) << who << " domain spell " << x.name.c_str();
      }
      std::set<int> domains(c->domains, c->domains + c->domainCount);  // never two opposed
      EXPECT_FALSE((domains.count(good) && domains.count(evil)) || (domains.count(chaos) && domains.count(law))) << who;
    }
  }
  EXPECT_GT(specialists, 0);
  EXPECT_GT(domainSpells, 20);
}

TEST_F(Spells, ExtraSpellsEffectAndSpecialistSpellBeyondTheCastableLevels) {
  // "ZusatzZauber": one more spell per day for levels 0 to 4 that have any; a psion
  // gets 10 power points instead.
  int effect = EffectId("ZusatzZauber");
  Char* c = Single("Magier", 5, 14);
  ApplyEffectExtras(c, effect);
  CalculateSpellCount(c);
  EXPECT_EQ(std::vector<int>(c->spellsPerDay[0], c->spellsPerDay[0] + 6), std::vector<int>({5, 5, 4, 2, -1, -1}));
  c = Single("Psion", 3, 14);
  ApplyEffectExtras(c, effect);
  EXPECT_EQ(c->PowerPoints, 10);
  EXPECT_EQ(c->spellBonus[0], 0);
  // A 1st-level evoker (Int 18) draws an evocation of every level up to 8, also where it
  // has no spells per day; by SRD 3.5 only at the levels she can cast (Int 17).
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    c = rules == kRulesOwn ? Single("Magier", 1, 18) : Make("Magier", 1, kInt, 17);
    c->specialist = 1;
    c->specialistSchool = FindByNameOrFault(gSource.schools, gSource.schoolCount, "Hervorrufung");
    CalculateSpellCount(c);
    CalculateSpells(c);
    if (rules == kRulesSrd35) {
      EXPECT_EQ(std::vector<int>(c->spellsPerDay[0], c->spellsPerDay[0] + 3), std::vector<int>({3 + 1, 1 + 1 + 1, -1}));
      continue;
    }
    for (int s = 2; s < 10; ++s) EXPECT_EQ(c->spellsChosenCount[0][s], s <= 8 ? 1 : 0) << s;
    ASSERT_GE(c->spellsChosen[0][5][0], 0);
    EXPECT_EQ(gSource.spells[c->spellsChosen[0][5][0]].school, c->specialistSchool);
  }
}

TEST_F(Spells, Srd35SlotsByTheClassTablesAndTheFinalKeyAbility) {
  // Per day and (known; empty: prepared) from spell level `first`.
  const std::tuple<const char*, int, int, int, int, std::vector<int>, std::vector<int>> cases[] = {
      {"Barde", 16, kCha, 17, 0, {4, 5, 5, 4, 3, 2, 0}, {6, 5, 4, 4, 4, 4, 0}},
      {"Barde", 16, kCha, 22, 0, {4, 6, 6, 4, 4, 3, 1}, {6, 5, 4, 4, 4, 4, 2}},
      {"Paladin", 17, kWis, 14, 1, {3, 3, 2, 1}, {}},
      {"Waldläufer", 8, kWis, 12, 1, {2, 0, -1}, {}}};
  for (const auto& [cls, level, key, score, first, perDay, known] : cases) {
    Char* c = Make(cls, level, key, score);
    CalculateSpellCount(c);
    EXPECT_EQ(std::vector<int>(c->spellsPerDay[0] + first, c->spellsPerDay[0] + first + perDay.size()), perDay) << cls;
    if (!known.empty()) {
      EXPECT_EQ(std::vector<int>(c->spellsKnown[0], c->spellsKnown[0] + known.size()), known) << cls;
    }
  }
  // A class without spells has no caster level; an eldritch knight adds his levels from the 2nd.
  Char* c = Make("Kämpfer", 5, kInt, 10);
  CalculateSpellCount(c);
  EXPECT_EQ(c->casterLevel[0], 0);
  c = Make("Magier", 5, kInt, 17);
  c->classCount = 2;
  c->classes[1] = ClassId("MystischerRitter");
  c->classLevels[1] = c->preEpicLevels[1] = 3;
  CalculateSpellCount(c);
  EXPECT_EQ(c->casterLevel[0], 5 + 2);
  EXPECT_EQ(c->casterLevel[1], 0);
}

TEST(PowerTables, PointsAndPowersKnown) {
  // Full manifester (1): 2 points at level 1, 2 + 1 + 1 + 3 = 7 at 4; partial (2): 2 at 1.
  EXPECT_EQ(std::vector<int>({BasePowerPoints(1, 1), BasePowerPoints(1, 4), BasePowerPoints(2, 1)}),
            std::vector<int>({2, 7, 2}));
  // Type, class level, power level, known: level 0 holds 3 at level 1 and one more for
  // each even level 4 to 12; the first level-1 power comes at level 2; a partial
  // manifester has none above level 6.
  const int cases[][4] = {{1, 1, 0, 3},  {1, 1, 1, 0}, {1, 2, 1, 1}, {1, 12, 0, 3 + 5},
                          {1, 12, 1, 4}, {2, 1, 0, 2}, {2, 2, 0, 3}, {2, 20, 7, -1}};
  for (const auto& k : cases) EXPECT_EQ(PowersKnown(k[0], k[1], k[2]), k[3]) << k[0] << " " << k[1] << " " << k[2];
}

TEST_F(Spells, DrawnPowersFitLevelAbilityAndRepeatNever) {
  for (int L : {1, 2, 5, 11, 20}) {
    Char* c = Make("Psion", L, kInt, 18, kRulesOwn);
    DoPowers(c);
    ASSERT_GE(c->mainPsionic, 0);
    EXPECT_TRUE(L != 1 || c->spellsKnown[0][1] == 0);  // known, but none yet
    std::set<int> seen;
    for (int s = 0; s < 10; ++s)
      for (int i = 0; i < c->spellsChosenCount[0][s]; ++i) {
        int p = c->spellsChosen[0][s][i];
        ASSERT_GE(p, 0);
        EXPECT_EQ(gSource.powers[p].psion, s);
        EXPECT_GE(AbilityScore(c, gSource.powers[p].attribute), s + 10);
        EXPECT_TRUE(seen.insert(p).second) << gSource.powers[p].name.c_str() << " twice";
      }
  }
}

TEST_F(Spells, Srd35PowerPointsAndPowersKnown) {
  // Class, level, key ability and score; power points; powers known, highest level (key 40).
  const std::tuple<const char*, int, int, int, int> points[] = {
      {"Psion", 9, kInt, 19, 72 + 18},
      {"Wilder", 5, kCha, 14, 25 + 5},
      {"Psychokrieger", 1, kWis, 12, 0},
      {"Psion", 24, kInt, 20, 343 + 50}};  // no more points past 20th
  for (auto [cls, level, key, score, expected] : points) {
    Char* c = Make(cls, level, key, score);
    DoPowers(c);
    BonusPowerPoints(c);
    EXPECT_EQ(c->PowerPoints, expected) << cls << " " << level;
  }
  const std::tuple<const char*, int, int, int, int> known[] = {{"Psion", 1, kInt, 3, 1},
                                                               {"Psion", 9, kInt, 19, 5},
                                                               {"Psion", 22, kInt, 40, 9},
                                                               {"Wilder", 9, kCha, 5, 4},
                                                               {"Psychokrieger", 22, kWis, 21, 6}};
  for (auto [name, level, key, expected, top] : known) {
    Char* c = Make(name, level, key, 40);
    DoPowers(c);
    std::string cls = name;
    int count = 0, highest = 0;
    for (int s = 0; s < 10; ++s)
      for (int i = 0; i < c->spellsChosenCount[0][s]; ++i, ++count) {
        const PowerSource& p = gSource.powers[c->spellsChosen[0][s][i]];
        highest = std::max(highest, s);
        EXPECT_GE(s, 1) << cls;
        EXPECT_EQ(cls == "Psychokrieger" ? p.psychicWarrior : p.psion, s) << p.name.c_str();
        EXPECT_TRUE(cls != "Wilder" || p.discipline == -1) << p.name.c_str();
        EXPECT_TRUE(cls != "Psion" || p.discipline < 0 || p.discipline == c->mainPsionic) << p.name.c_str();
      }
    EXPECT_EQ(std::pair(count, highest), std::pair(expected, top)) << cls << " " << level;
  }
  // Psicrystal Power: Int 25 or Cha 25, whichever is the key ability for manifesting.
  const int32_t keyAbility25[] = {2, 'K' | 'A' << 8, 25};
  const std::tuple<const char*, int, RuleSet, bool> psicrystal[] = {{"Wilder", kCha, kRulesSrd35, true},
                                                                    {"Psion", kInt, kRulesSrd35, true},
                                                                    {"Psion", kCha, kRulesSrd35, false},
                                                                    {"Wilder", kCha, kRulesOwn, false}};
  for (auto [cls, key, rules, passes] : psicrystal)
    EXPECT_EQ(CheckRules(Make(cls, 21, key, 25, rules), -1, 0, keyAbility25, 21, nullptr), passes) << cls;
}

// ---- class extras ----

TEST_F(Spells, ArcanasCostSpellSlots) {
  Char* c = Make("Magier", 20, kInt, 20, kRulesOwn);
  CalculateSpellCount(c);
  auto total = [&](int32_t(*counts)[10]) {
    return std::accumulate(counts[0], counts[0] + 10, 0, [](int n, int v) { return n + std::max(v, 0); });
  };
  int perDay = total(c->spellsPerDay), toDraw = total(c->spellsToDraw);
  c->Arcanas = 3;
  DoArcanas(c);
  EXPECT_EQ(total(c->spellsPerDay), perDay - 3);
  EXPECT_EQ(total(c->spellsToDraw), toDraw - 3);  // a wizard prepares: each arcana costs a spell to draw
}

TEST_F(Spells, LoresWithoutEligibleSecretsTakeTheSecretOfHealth) {
  Char* c = Make("Magier", 10, kInt, 20, kRulesOwn);
  c->specialText = text_;
  c->IN = 0;  // lore value 2 × 2 = 4: no secret needs that little
  c->Lores = 2;
  DoLores(c);
  EXPECT_EQ(c->TP, 2 * 3);  // the secret of health, twice
}

TEST_F(Spells, AnEmptyHierophantPickTakesNoneAndTheCountGoesOn) {
  Char* c = Make("Magier", 5, kInt, 20, kRulesOwn);
  c->specialText = text_;
  int rows = 0;
  for (int i = 0; i < gSource.specialCount; ++i) rows += gSource.specials[i].type == 8;
  std::vector<int32_t> stream(2 * (size_t)rows + 8, kStreamEnd);
  int32_t position = 0;
  SetDecisionStream(stream.data(), &position);
  Recording();
  c->HierophantAbilities = rows + 2;
  DoHierophantAbilities(c);
  UseScratchStream();
  EXPECT_EQ(position, 2 * (rows + 2));  // every pick is made, the two empty ones recorded as -1
  EXPECT_EQ(stream[(size_t)position - 1], -1);
}
