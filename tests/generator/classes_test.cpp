// Classes and skills against the class tables, the prerequisite language, and characters
// by SRD 3.5: levels, skill points and spell levels.
#include <set>

#include "generator/creature_ops.h"
#include "generator/source_fixture.h"
#include "generator/srd_tables.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Classes : public CreationFixture {
 protected:
  // A character of the given race and classes with every ability 10 but Intelligence.
  Char* Make(const char* race, std::initializer_list<std::pair<const char*, int>> classes, int mIn = 0) {
    Char* c = NewChar();
    Fresh(c, 1);
    c->race = RaceId(race);
    c->Level = 0;
    for (const auto& [name, levels] : classes) Give(c, name, levels), c->Level += levels;
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
    AbilityScore(c, 3) = 10 + 2 * mIn;
    ComputeModifiers(c);
    return c;
  }
  static void Give(Char* c, const char* cls, int levels) {
    c->classes[c->classCount] = ClassId(cls);
    c->classLevels[c->classCount] = c->preEpicLevels[c->classCount] = levels;
    ++c->classCount;
  }
  static const CharSkill* Entry(const Char* c, const char* skill) {
    auto* e = std::find_if(c->skills, c->skills + c->skillCount, [&](auto& k) { return k.skill == SkillId(skill); });
    return e < c->skills + c->skillCount ? e : nullptr;
  }
  static int32_t Op(char a, char b) { return (unsigned char)a | (unsigned char)b << 8; }
  // A rule list from its words (the count is prepended).
  const int32_t* List(std::initializer_list<int32_t> words) {
    list_.assign(1, (int32_t)words.size());
    list_.insert(list_.end(), words);
    return list_.data();
  }
  std::vector<int32_t> list_;
};

}  // namespace

TEST_F(Classes, SingleClassValuesFollowTheClassTables) {
  for (const char* name : {"Kämpfer", "Schurke", "Magier"})
    for (int level : {1, 2, 3, 5, 6, 11, 16, 20}) {
      const ClassRule& k = kClassRules.at(name);
      Char* c = Single(name, level);
      CalcBaseValues(c);
      EXPECT_EQ(std::vector<int>({c->GA, c->baseFort, c->baseRef, c->baseWill, c->Attacks}),
                std::vector<int>({BaseAttackOf(k, level), SaveOf(k.fort, level), SaveOf(k.ref, level),
                                  SaveOf(k.will, level), std::min((BaseAttackOf(k, level) - 1) / 5 + 1, 4)}))
          << name << " " << level;
    }
  // SRD 3.5 epic levels: base attack and saves stay at their 20th-level values (good save
  // +12, poor +6); +1 attack per two levels beyond 20 (rounded up), +1 save per two (down).
  const int epic[][3] = {{21, 1, 0}, {22, 1, 1}, {25, 3, 2}, {30, 5, 5}};
  for (const auto& [level, attack, save] : epic) {
    Char* c = Single("Kämpfer", level);
    c->rules = kRulesSrd35;
    CalcBaseValues(c);
    EXPECT_EQ(std::vector<int>({c->GA, c->epicAttack, c->epicSave, c->baseFort, c->baseRef, c->Attacks}),
              std::vector<int>({20, attack, save, 12, 6, 4}))
        << level;
  }
}

// Divine grace adds a positive Charisma modifier to every save, a negative one not at all.
TEST_F(Classes, DivineGraceAddsOnlyAPositiveCharismaModifier) {
  for (auto [cls, cha, bonus] : {std::tuple{"Paladin", 14, 2}, {"Paladin", 6, 0}, {"Kämpfer", 14, 0}}) {
    Char* c = Single(cls, 2);
    AbilityScore(c, 5) = cha;
    ComputeModifiers(c);
    CalcBaseValues(c);
    EXPECT_EQ(std::vector<int>({c->fortMod, c->refMod, c->willMod}), std::vector<int>(3, bonus)) << cls << " " << cha;
  }
}

TEST_F(Classes, ALaterSlotsPrerequisitesSeeOnlyTheEarlierClasses) {
  Char* c = Make("Mensch", {{"Magier", 3}});
  for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 12;
  c->Level = 6;
  c->classCount = 2;
  c->classes[1] = ClassId("Barbar");  // not chosen yet
  RandClass(c, 1, 1, nullptr);
  EXPECT_EQ(c->baseFort, kPoorSave[3]);  // an empty slot adds no good save
  EXPECT_EQ(c->classCount, 2);
}

// ---- the prerequisite language ----

TEST_F(Classes, EachRuleTestPassesAndFailsOnItsOwnValue) {
  Char* c = Make("Zwerg", {{"Barbar", 5}, {"Schurke", 3}});
  c->ST = 13;
  c->GE = 15;
  c->GA = 6;
  c->KO = 13;
  c->baseFort = 4;
  c->baseWill = 2;
  // A test, the value it passes at and the one above, where it fails: KR counts rages (5
  // barbarian levels: 5 / 4 + 1), KO 13 is Mind Over Body's, SW 2 Mental Resistance's, LV
  // the level the caller passes.
  const int32_t values[][3] = {{Op('S', 'T'), 13, 14}, {Op('K', 'R'), 2, 3}, {Op('K', 'O'), 13, 14},
                               {Op('S', 'F'), 4, 5},   {Op('S', 'W'), 2, 3}, {Op('S', 'R'), 0, 1},
                               {Op('G', 'A'), 6, 7},   {Op('L', 'V'), 5, 6}};
  for (const auto& [op, pass, fail] : values) {
    EXPECT_TRUE(CheckRules(c, -1, c->featCount, List({op, pass}), 5, nullptr)) << (char)op << (char)(op >> 8);
    EXPECT_FALSE(CheckRules(c, -1, c->featCount, List({op, fail}), 5, nullptr)) << (char)op << (char)(op >> 8);
  }
  const int human = RaceId("Mensch"), dwarf = RaceId("Zwerg");
  const std::pair<std::vector<int32_t>, bool> lists[] = {
      {{Op('G', 'E'), 15, Op('G', 'A'), 6}, true},
      {{Op('G', 'E'), 15, Op('G', 'A'), 7}, false},
      {{Op('C', 'L'), 2, ClassId("Kämpfer"), 1, ClassId("Schurke"), 3}, true},
      {{Op('C', 'L'), 1, ClassId("Schurke"), 4}, false},
      {{Op('R', 'A'), 2, human, dwarf}, true},
      {{Op('R', 'A'), 1, human}, false},
      {{Op('N', 'C'), ClassId("Paladin")}, true},
      {{Op('N', 'C'), ClassId("Barbar")}, false},
      {{Op('S', 'N')}, true},
      {{Op('D', 'V')}, true},
      {{Op('S', 'S')}, false},
      {{Op('H', 'S'), 0}, false}};
  for (const auto& [words, pass] : lists) {
    std::vector<int32_t> list = {(int32_t)words.size()};
    list.insert(list.end(), words.begin(), words.end());
    EXPECT_EQ(CheckRules(c, -1, c->featCount, list.data(), 5, nullptr), pass) << testing::PrintToString(words);
  }
}

// PR needs the other feat; PG more of it than of the feat itself.
TEST_F(Classes, OwnershipTestsCountTheOtherFeat) {
  Char* c = NewChar();
  Fresh(c, 3);
  const int feat = 5, other = 7;
  EXPECT_FALSE(CheckRules(c, feat, 0, List({Op('P', 'R'), other}), 0, nullptr));
  c->feats[c->featCount++] = other;
  EXPECT_TRUE(CheckRules(c, feat, 1, List({Op('P', 'R'), other}), 0, nullptr));
  EXPECT_TRUE(CheckRules(c, feat, 1, List({Op('P', 'G'), other}), 0, nullptr));
  c->feats[c->featCount++] = feat;
  EXPECT_FALSE(CheckRules(c, feat, 2, List({Op('P', 'G'), other}), 0, nullptr));
}

TEST_F(Classes, PrestigeClassesNeedTheirRequirementsAndRanks) {
  Char* c = NewChar();
  Fresh(c, 10);
  Give(c, "Schurke", 4);
  int assassin = ClassId("Assasin"), bow = ClassId("OrderOfTheBow");
  // Eight ranks of Verstecken need at least five earlier levels.
  EXPECT_FALSE(ClassPrerequisitesMet(c, assassin, 4));
  EXPECT_TRUE(ClassPrerequisitesMet(c, assassin, 5));
  Give(c, "Paladin", 1);
  EXPECT_FALSE(ClassPrerequisitesMet(c, assassin, 5)) << "no paladin becomes an assassin";
  c->GA = 5;
  EXPECT_FALSE(ClassPrerequisitesMet(c, bow, 8));
  c->GA = 6;
  EXPECT_TRUE(ClassPrerequisitesMet(c, bow, 8));
}

// By SRD 3.5 the earlier levels must pay the demanded ranks, two points a cross-class rank:
// a wizard 17 (2 + Int points a level) entering the shadowdancer needs 8 + 10 + 5 cross-class
// ranks, 46 points; Int 10 earns 2 x 20 = 40, Int 12 earns 60.
TEST_F(Classes, Srd35PrestigeRanksCostTwoPointsWhenCrossClass) {
  for (auto [mIn, reachable] : {std::pair{0, false}, {1, true}}) {
    Char* c = Make("Zwerg", {{"Magier", 17}}, mIn);
    c->rules = kRulesSrd35;
    EXPECT_EQ(PrestigeSkillRanksReachable(c, ClassId("Schattentänzer"), 17), reachable) << mIn;
  }
}

TEST_F(Classes, SkillPointsFollowClassesLevelsIntelligenceAndRace) {
  // Human fighter 1, Intelligence -1: max(2 - 1, 1) × 4 + 1 + 3; a dwarf lacks the human's
  // points; fighter 3 then rogue 2, modifier +1: 3 × 4 + 2 × 3 + 2 × 9.
  EXPECT_EQ(CharacterSkillPoints(Make("Mensch", {{"Kämpfer", 1}}, -1)), 8);
  EXPECT_EQ(CharacterSkillPoints(Make("Zwerg", {{"Kämpfer", 1}}, -1)), 4);
  EXPECT_EQ(CharacterSkillPoints(Make("Elf", {{"Kämpfer", 3}, {"Schurke", 2}}, 1)), 36);
}

TEST_F(Classes, DemandedRanksComeFirstEvenWhenTheyUseEveryPoint) {
  // 4 points (Int -4); 3 cross-class ranks cost 6 and are granted in full, nothing else.
  Char* c = Make("Zwerg", {{"Magier", 1}}, -4);
  c->requiredRanks[SkillId("Klettern")] = 3;
  CalculateSkills(c, 0);
  ASSERT_EQ(c->skillPoints, 4);
  ASSERT_NE(Entry(c, "Klettern"), nullptr);
  for (int e = 0; e < c->skillCount; ++e)
    EXPECT_EQ(c->skills[e].ranks, c->skills[e].skill == SkillId("Klettern") ? 3 : 0);
}

TEST_F(Classes, FiveRanksGiveTheirSynergies) {
  // Springen (a rogue class skill) demanded at 5 ranks: Akrobatik gets +2.
  for (int n = 0; n < 5; ++n) {
    Char* c = Make("Mensch", {{"Schurke", 5}});
    c->requiredRanks[SkillId("Springen")] = 5;
    CalculateSkills(c, 0);
    ASSERT_TRUE(Entry(c, "Springen") && Entry(c, "Akrobatik"));
    EXPECT_GE(Entry(c, "Springen")->ranks, 5);
    EXPECT_GE(Entry(c, "Akrobatik")->bonus, 2);
  }
}

TEST_F(Classes, FinishingAddsAbilityArmourPenaltyAndUntrainedClassSkills) {
  Char* c = Make("Mensch", {{"Schurke", 1}});
  AbilityScore(c, 1) = 16;  // Dexterity +3
  ComputeModifiers(c);
  c->skillCount = 0;
  CharSkillEntry(c, SkillId("Schwimmen")).ranks = 2;
  c->armorCheckPenalty = 4;  // e.g. armour without proficiency
  FinishSkills(c);
  TotalSkills(c);
  // Swimming pays the penalty twice; untrained class (Verstecken) and cross-class
  // (Heilkunde) skills appear with 0 ranks.
  const std::tuple<const char*, int, int> cases[] = {
      {"Schwimmen", 2, 2 - 8}, {"Verstecken", 0, 3 - 4}, {"Heilkunde", 0, 0}};
  for (auto [skill, ranks, total] : cases) {
    const CharSkill* e = Entry(c, skill);
    ASSERT_NE(e, nullptr) << skill;
    EXPECT_EQ(e->ranks, ranks) << skill;
    EXPECT_TRUE(!total || e->total == total) << skill;
  }
}

// ---- characters by SRD 3.5 ----

namespace {

bool ClassSkill(const Char* c, int skill) {
  const int32_t* per = gSource.skills[skill].ClassSkill();
  for (int s = 0; s < c->classCount; ++s)
    if (per && per[c->classes[s]] >= 2) return true;
  return false;
}

}  // namespace

// CR of a PC-class character = its level (none below CR 1); NPC classes: level - 1; duergar,
// drow, svirfneblin, dromites and half-giants with class levels: CR +1. Skill points are
// never overspent (a cross-class rank costs 2, at most (level + 3) / 2); a skill without
// ranks has no line unless usable untrained with a bonus. Clerics, druids and wizards open
// a spell level at class level 2 x level - 1 with the final key ability at 10 + level.
TEST_F(Classes, Srd35LevelsSkillPointsAndSpellLevels) {
  const std::set<std::string> plusOne = {"Duergar", "Drow", "Svirfneblin", "Dromit", "Halbriese"};
  Char* c = Wired();
  int spellLevels = 0;
  for (int n = 0; n < 340; ++n) {
    const int kind = n % 4 == 1 ? 4 : 0, cr = n % 21;
    CreateSrd35(c, kind, cr);
    std::string race = gSource.races[c->subRace >= 0 ? c->subRace : c->race].name.c_str();
    std::string who = "character " + std::to_string(n) + " " + race + " " + ClassName(c, 0);
    if (c->templateIndex == 0) {  // a template's CR adds to the level's
      EXPECT_EQ(c->Level + (int)plusOne.count(race), kind ? cr + 1 : std::max(cr, 1)) << who;
      EXPECT_EQ(c->cr, kind ? cr : std::max(cr, 1)) << who;
    }
    int levels = 0;
    for (int s = 0; s < c->classCount; ++s) levels += c->classLevels[s];
    EXPECT_EQ(levels, c->Level) << who;
    const std::string first = ClassName(c, 0);
    if (c->classCount == 1 && (first == "Kleriker" || first == "Druide" || first == "Magier")) {
      for (int l = 1; l <= 9; ++l, ++spellLevels)
        EXPECT_EQ(c->spellsPerDay[0][l] >= 0,
                  2 * l - 1 <= std::min(c->Level, 20) && AbilityScore(c, first == "Magier" ? 3 : 4) >= 10 + l)
            << who << " " << l;
    }
    if (Levels(c, "Experte")) continue;  // the expert makes any ten skills class skills
    int cost = 0;
    for (int e = 0; e < c->skillCount; ++e) {
      const CharSkill& k = c->skills[e];
      bool cls = ClassSkill(c, k.skill);
      cost += cls ? k.ranks : 2 * k.ranks + (k.halfRank ? 1 : 0);
      EXPECT_LE(k.ranks, cls ? c->Level + 3 : (c->Level + 3) / 2) << who << " " << k.skill;
      EXPECT_TRUE(k.ranks || k.halfRank || (gSource.skills[k.skill].untrained && k.bonus)) << who << " " << k.skill;
    }
    EXPECT_LE(cost, c->skillPoints) << who;
  }
  EXPECT_GT(spellLevels, 200);
}

TEST_F(Classes, Srd35SkillPointsIgnoreEnhancementAndTheCommonerKeepsItsFeat) {
  // A headband's +4 enhancement earns no points: a 5th-level wizard with Int 14 has
  // (2 + 2) x 8 points, not (2 + 4) x 8.
  Char* c = Make("Zwerg", {{"Magier", 5}});
  c->rules = kRulesSrd35;
  c->IN = 14;
  AddCharBonus(c, &c->IN, 4, FindByNameOrFault(gSource.bonuses, gSource.bonusCount, "Verbesserung"), "Stirnband");
  ComputeModifiers(c);
  EXPECT_EQ(CharacterSkillPoints(c), 32);
  // A commoner is proficient with one simple weapon of its choice: a 1st-level commoner
  // carrying a club keeps its one feat for something else.
  c = Make("Zwerg", {{"Gemeiner", 1}}, 1);
  c->rules = kRulesSrd35;
  for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 12;
  ComputeModifiers(c);
  CalcBaseValues(c);
  c->getAllRequired = 1;
  c->itemCount = 1;
  c->items[0].equipment = ItemId("Knüppel");
  c->items[0].equipType = 0;
  CalculateFeats(c);
  int simple = gSource.proficiencyFeats[0][0];
  ASSERT_EQ(c->featCount, 2);  // 1st level: one feat, and the proficiency
  int at = c->feats[0] == simple ? 0 : 1;
  EXPECT_EQ(std::vector<int>({c->feats[at], c->featParameters[at], c->feats[1 - at] != simple}),
            std::vector<int>({simple, ItemId("Knüppel"), 1}));
}
