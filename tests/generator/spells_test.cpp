// Spells and powers: counts per class and level against the class tables, bonus spells,
// the drawn spells and powers, class extras that cost or add slots; both rule sets.
#include <cstring>
#include <numeric>
#include <set>
#include <sstream>
#include <string>

#include "generator/extras.h"
#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

// Spells per day (or known) of class levels 1 to 20 ('|' between levels) from spell level
// 0 on, as the class tables print them; a missing or -1 entry is none.
const char* const kWizard =
    "3 1|4 2|4 2 1|4 3 2|4 3 2 1|4 3 3 2|4 4 3 2 1|4 4 3 3 2|4 4 4 3 2 1|4 4 4 3 3 2|4 4 4 4 3 2 1|"
    "4 4 4 4 3 3 2|4 4 4 4 4 3 2 1|4 4 4 4 4 3 3 2|4 4 4 4 4 4 3 2 1|4 4 4 4 4 4 3 3 2|"
    "4 4 4 4 4 4 4 3 2 1|4 4 4 4 4 4 4 3 3 2|4 4 4 4 4 4 4 4 3 3|4 4 4 4 4 4 4 4 4 4";
const char* const kCleric =
    "3 1|4 2|4 2 1|5 3 2|5 3 2 1|5 3 3 2|6 4 3 2 1|6 4 3 3 2|6 4 4 3 2 1|6 4 4 3 3 2|6 5 4 4 3 2 1|"
    "6 5 4 4 3 3 2|6 5 5 4 4 3 2 1|6 5 5 4 4 3 3 2|6 5 5 5 4 4 3 2 1|6 5 5 5 4 4 3 3 2|"
    "6 5 5 5 5 4 4 3 2 1|6 5 5 5 5 4 4 3 3 2|6 5 5 5 5 5 4 4 3 3|6 5 5 5 5 5 4 4 4 4";
const char* const kSorcererPerDay =
    "5 3|6 4|6 5|6 6 3|6 6 4|6 6 5 3|6 6 6 4|6 6 6 5 3|6 6 6 6 4|6 6 6 6 5 3|6 6 6 6 6 4|"
    "6 6 6 6 6 5 3|6 6 6 6 6 6 4|6 6 6 6 6 6 5 3|6 6 6 6 6 6 6 4|6 6 6 6 6 6 6 5 3|"
    "6 6 6 6 6 6 6 6 4|6 6 6 6 6 6 6 6 5 3|6 6 6 6 6 6 6 6 6 4|6 6 6 6 6 6 6 6 6 6";
const char* const kSorcererKnown =
    "4 2|5 2|5 3|6 3 1|6 4 2|7 4 2 1|7 5 3 2|8 5 3 2 1|8 5 4 3 2|9 5 4 3 2 1|9 5 5 4 3 2|"
    "9 5 5 4 3 2 1|9 5 5 4 4 3 2|9 5 5 4 4 3 2 1|9 5 5 4 4 4 3 2|9 5 5 4 4 4 3 2 1|"
    "9 5 5 4 4 4 3 3 2|9 5 5 4 4 4 3 3 2 1|9 5 5 4 4 4 3 3 3 2|9 5 5 4 4 4 3 3 3 3";
// Paladin and ranger: spell levels 1 to 4 from class level 4. The program's table gives
// the second third-level spell at level 18 (the printed table: 17), so row 17 follows it.
const char* const kPaladin =
    "|||-1 0|-1 0|-1 1|-1 1|-1 1 0|-1 1 0|-1 1 1|-1 1 1 0|-1 1 1 1|-1 1 1 1|-1 2 1 1 0|-1 2 1 1 1|"
    "-1 2 2 1 1|-1 2 2 1 1|-1 3 2 2 1|-1 3 3 3 2|-1 3 3 3 3";

// Entry `s` of the row of class level `L`; -1 where the row ends.
int At(const char* table, int L, int s) {
  std::string text(table);
  for (int i = 1; i < L; ++i) text.erase(0, text.find('|') + 1);
  std::istringstream in(text.substr(0, text.find('|')));
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
  // Prestige classes: spell levels 1 to 4 at class levels 1 to 10.
  const struct {
    const char *cls, *perDay, *known;
    int first;  // spell level of the first column
  } classes[] = {{"Magier", kWizard, nullptr, 0},
                 {"Kleriker", kCleric, nullptr, 0},
                 {"Druide", kCleric, nullptr, 0},
                 {"Hexenmeister", kSorcererPerDay, kSorcererKnown, 0},
                 {"Paladin", kPaladin, nullptr, 0},
                 {"Waldläufer", kPaladin, nullptr, 0},
                 {"SchwarzerRitter", "0|1|1 0|1 1|1 1 0|1 1 1|2 1 1 0|2 1 1 1|2 2 1 1|2 2 2 1", nullptr, 1},
                 {"Assasin", "0|1|2 0|3 1|3 2 0|3 3 1|3 3 2 0|3 3 3 1|3 3 3 2|3 3 3 3", nullptr, 1}};
  for (const auto& k : classes)
    for (int L = 1; L <= 1 + std::count(k.perDay, k.perDay + strlen(k.perDay), '|'); ++L) {
      Char* c = Single(k.cls, L, 28);  // modifier +9: every level castable
      CalculateSpellCount(c);
      for (int s = k.first; s < 10; ++s) {
        int expected = At(k.perDay, L, s - k.first);
        EXPECT_EQ(c->spellsPerDay[0][s], expected < 0 ? -1 : expected + Bonus(9, s))
            << k.cls << " " << L << " level " << s;
        EXPECT_TRUE(!k.known || c->spellsKnown[0][s] == At(k.known, L, s)) << k.cls << " known " << L << " level " << s;
      }
    }
}

TEST_F(Spells, KeyAbilityLimitsAndBonusSpells) {
  // Per case: class, level, every ability, spell level, spells per day (-1 none).
  const struct {
    const char* cls;
    int level, score, spellLevel, perDay;
  } cases[] = {
      {"Magier", 1, 11, 0, 3},      {"Magier", 1, 11, 1, 1},
      {"Magier", 1, 11, 2, -1},  // Int 11: nothing above 1st
      {"Magier", 20, 20, 1, 4 + 2}, {"Magier", 20, 20, 5, 4 + 1},
      {"Magier", 20, 20, 6, 4},      // +5: bonus spells
      {"Paladin", 4, 14, 1, 0 + 1},  // no first-level spell but the bonus one
  };
  for (const auto& k : cases) {
    Char* c = Single(k.cls, k.level, k.score);
    CalculateSpellCount(c);
    EXPECT_EQ(c->spellsPerDay[0][k.spellLevel], k.perDay) << k.cls << " " << k.level << " level " << k.spellLevel;
    EXPECT_TRUE(k.level != 1 || c->highestSpellLevel == 1);
    EXPECT_TRUE(k.level != 4 || c->casterLevel[0] == 2);  // half the paladin's level
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
    for (int L = 1; L <= 20; ++L) {
      Char* c = Single(k.name.c_str(), L, 18);
      DoDomainsSpecial(c);
      CalculateSpellCount(c);
      CalculateSpells(c);
      std::string who = std::string(k.name.c_str()) + " level " + std::to_string(L);
      specialists += c->specialist;
      for (int s = 0; s < 10; ++s) {
        // A specialist's extra spell also comes at levels it cannot cast yet (0 to draw).
        int extra = c->specialist && c->spellsToDraw[0][s] == 0 ? 1 : 0;
        int expected = c->spellsToDraw[0][s] < 0 ? 0 : std::min(c->spellsToDraw[0][s], 10) + extra;
        EXPECT_EQ(c->spellsChosenCount[0][s], expected) << who << " level " << s;
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
          for (int d = 0; d < c->domainCount; ++d)
            ours = ours || (x.domains[e] == c->domains[d] && x.DomainLevel(e) == s);
        EXPECT_TRUE(ours) << who << " domain spell " << x.name.c_str();
      }
      // Opposed domains never come together.
      std::set<int> domains(c->domains, c->domains + c->domainCount);
      EXPECT_FALSE(domains.count(good) && domains.count(evil)) << who;
      EXPECT_FALSE(domains.count(chaos) && domains.count(law)) << who;
    }
  }
  EXPECT_GT(specialists, 0);
  EXPECT_GT(domainSpells, 50);
}

TEST_F(Spells, ExtraSpellsEffectAndSpecialistSpellBeyondTheCastableLevels) {
  // "ZusatzZauber": one more spell per day for levels 0 to 4 that have any; a psion
  // gets 10 power points instead.
  int effect = EffectId("ZusatzZauber");
  Char* c = Single("Magier", 5, 14);
  ApplyEffectExtras(c, effect);
  CalculateSpellCount(c);
  for (int s = 0; s < 10; ++s) {
    int expected = At(kWizard, 5, s) < 0 ? -1 : At(kWizard, 5, s) + Bonus(2, s) + (s <= 4 ? 1 : 0);
    EXPECT_EQ(c->spellsPerDay[0][s], expected) << s;
  }
  c = Single("Psion", 3, 14);
  ApplyEffectExtras(c, effect);
  EXPECT_EQ(c->PowerPoints, 10);
  EXPECT_EQ(c->spellBonus[0], 0);
  // A 1st-level evoker with Intelligence 18 draws an evocation of every level up to 8,
  // also where it has no spells per day (the counts rise from -1 to 0). By SRD 3.5 the
  // extra spell comes only at the levels she can cast (Int 17).
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    c = rules == kRulesOwn ? Single("Magier", 1, 18) : Make("Magier", 1, kInt, 17);
    c->specialist = 1;
    c->specialistSchool = FindByNameOrFault(gSource.schools, gSource.schoolCount, "Hervorrufung");
    CalculateSpellCount(c);
    CalculateSpells(c);
    if (rules == kRulesSrd35) {
      EXPECT_EQ(c->spellsPerDay[0][0], 3 + 1);
      EXPECT_EQ(c->spellsPerDay[0][1], 1 + 1 + 1);
      EXPECT_EQ(c->spellsPerDay[0][2], -1);
      continue;
    }
    for (int s = 2; s < 10; ++s) {
      EXPECT_EQ(c->spellsToDraw[0][s], s <= 8 ? 0 : -1) << s;
      EXPECT_EQ(c->spellsChosenCount[0][s], s <= 8 ? 1 : 0) << s;
    }
    ASSERT_GE(c->spellsChosen[0][5][0], 0);
    EXPECT_EQ(gSource.spells[c->spellsChosen[0][5][0]].school, c->specialistSchool);
  }
}

TEST_F(Spells, Srd35SlotsByTheClassTablesAndTheFinalKeyAbility) {
  const struct {
    const char* cls;
    int level, key, score, first;
    std::vector<int> perDay, known;  // from spell level `first`; known empty: prepared
  } cases[] = {
      {"Barde", 16, kCha, 17, 0, {4, 5, 5, 4, 3, 2, 0}, {6, 5, 4, 4, 4, 4, 0}},
      {"Barde", 16, kCha, 22, 0, {4, 6, 6, 4, 4, 3, 1}, {6, 5, 4, 4, 4, 4, 2}},
      {"Barde", 5, kCha, 12, 0, {3, 4, 1}, {6, 4, 3}},
      {"Paladin", 17, kWis, 14, 1, {3, 3, 2, 1}, {}},
      {"Waldläufer", 8, kWis, 12, 1, {2, 0, -1}, {}},
  };
  for (const auto& k : cases) {
    Char* c = Make(k.cls, k.level, k.key, k.score);
    CalculateSpellCount(c);
    for (size_t i = 0; i < k.perDay.size(); ++i) {
      EXPECT_EQ(c->spellsPerDay[0][k.first + i], k.perDay[i]) << k.cls << " " << k.level << " level " << k.first + i;
      EXPECT_TRUE(k.known.empty() || c->spellsKnown[0][k.first + i] == k.known[i]) << k.cls << " known " << i;
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

// Whole clerics, druids and wizards: a spell level opens at class level 2 x level - 1 and
// with the key ability the creature ends with at 10 + level.
TEST_F(Spells, Srd35WholeCastersOpenSpellLevelsByLevelAndFinalKeyAbility) {
  Char* c = Wired();
  int checked = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, 0, 8 + n % 22);
    std::string name = ClassName(c, 0);
    if (c->classCount != 1 || (name != "Kleriker" && name != "Druide" && name != "Magier")) continue;
    int key = name == "Magier" ? kInt : kWis;
    int L = std::min(c->classLevels[0], 20);
    for (int l = 1; l <= 9; ++l, ++checked)
      EXPECT_EQ(c->spellsPerDay[0][l] >= 0, 2 * l - 1 <= L && AbilityScore(c, key) >= 10 + l)
          << name << " " << c->classLevels[0] << " score " << AbilityScore(c, key) << " level " << l;
  }
  EXPECT_GT(checked, 300);
}

TEST(PowerTables, PointsAndPowersKnown) {
  // Full manifester (1): 2 points at level 1, 2 + 1 + 1 + 3 = 7 at 4; partial (2): 2 at 1.
  EXPECT_EQ(BasePowerPoints(1, 1), 2);
  EXPECT_EQ(BasePowerPoints(1, 4), 7);
  EXPECT_EQ(BasePowerPoints(2, 1), 2);
  // Type, class level, power level, known: level 0 holds 3 at level 1 and one more for
  // each even level 4 to 12; the first level-1 power comes at level 2; a partial
  // manifester has none above level 6.
  const int cases[][4] = {{1, 1, 0, 3},  {1, 1, 1, 0}, {1, 2, 1, 1}, {1, 12, 0, 3 + 5},
                          {1, 12, 1, 4}, {2, 1, 0, 2}, {2, 2, 0, 3}, {2, 20, 7, -1}};
  for (const auto& k : cases) EXPECT_EQ(PowersKnown(k[0], k[1], k[2]), k[3]) << k[0] << " " << k[1] << " " << k[2];
}

TEST_F(Spells, DrawnPowersFitLevelAbilityAndRepeatNever) {
  for (int L = 1; L <= 20; ++L) {
    Char* c = Make("Psion", L, kInt, 18, kRulesOwn);
    DoPowers(c);
    ASSERT_GE(c->mainPsionic, 0);
    EXPECT_TRUE(L != 1 || c->spellsKnown[0][1] == 0);  // known, but none yet
    int bonus = c->PowerPoints - BasePowerPoints(1, L);
    EXPECT_TRUE(AbilityModifier(c, c->mainPsionic) > 0 ? bonus >= 0 : bonus == 0) << L << ": " << bonus;
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
  const struct {
    const char* cls;
    int level, key, score, points;
  } points[] = {{"Psion", 9, kInt, 19, 72 + 18},
                {"Wilder", 5, kCha, 14, 25 + 5},
                {"Psychokrieger", 1, kWis, 12, 0},
                {"Psychokrieger", 10, kWis, 16, 27 + 15},
                {"Psion", 24, kInt, 20, 343 + 50}};  // no more points past 20th
  for (const auto& k : points) {
    Char* c = Make(k.cls, k.level, k.key, k.score);
    DoPowers(c);
    BonusPowerPoints(c);
    EXPECT_EQ(c->PowerPoints, k.points) << k.cls << " " << k.level;
  }
  const struct {
    const char* cls;
    int level, key, known, highest;
  } known[] = {{"Psion", 1, kInt, 3, 1},         {"Psion", 9, kInt, 19, 5},         {"Psion", 20, kInt, 36, 9},
               {"Psion", 22, kInt, 40, 9},       {"Wilder", 9, kCha, 5, 4},         {"Wilder", 20, kCha, 11, 9},
               {"Psychokrieger", 4, kWis, 4, 2}, {"Psychokrieger", 22, kWis, 21, 6}};
  for (const auto& k : known) {
    Char* c = Make(k.cls, k.level, k.key, 40);
    DoPowers(c);
    std::string cls = k.cls;
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
    EXPECT_EQ(count, k.known) << cls << " " << k.level;
    EXPECT_EQ(highest, k.highest) << cls << " " << k.level;
  }
  // Psicrystal Power: Int 25 or Cha 25, whichever is the key ability for manifesting.
  const int32_t keyAbility25[] = {2, 'K' | 'A' << 8, 25};
  const struct {
    const char* cls;
    int key;
    RuleSet rules;
    bool passes;
  } psicrystal[] = {{"Wilder", kCha, kRulesSrd35, true},
                    {"Psion", kInt, kRulesSrd35, true},
                    {"Psion", kCha, kRulesSrd35, false},
                    {"Wilder", kCha, kRulesOwn, false}};
  for (const auto& k : psicrystal) {
    Char* c = Make(k.cls, 21, k.key, 25, k.rules);
    EXPECT_EQ(CheckRules(c, -1, 0, keyAbility25, 21, nullptr), k.passes) << k.cls << " " << (int)k.rules;
  }
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
