// Skills: the points a character has, ranks demanded by feats and classes, caps,
// synergies and the finishing of every entry.
#include <gtest/gtest.h>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/skills.h"
#include "generator/source_fixture.h"

using namespace debugspace;

namespace {

class Skills : public generator_test::SourceFixture {
 protected:
  Char* Make(const char* race, std::initializer_list<std::pair<const char*, int>> classes, int mIn) {
    Char* c = new Char();
    Fresh(c, 1);
    c->race = FindByNameOrFault(gSource.races, gSource.raceCount, race);
    c->Level = 0;
    for (const auto& [name, levels] : classes) {
      c->classes[c->classCount] = FindByNameOrFault(gSource.classes, gSource.classCount, name);
      c->classLevels[c->classCount] = c->preEpicLevels[c->classCount] = levels;
      c->Level += levels;
      ++c->classCount;
    }
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
    AbilityScore(c, 3) = 10 + 2 * mIn;
    ComputeModifiers(c);
    return c;
  }
  static int Skill(const char* name) { return FindByNameOrFault(gSource.skills, gSource.skillCount, name); }
  static const CharSkill* Entry(const Char* c, int skill) {
    for (int e = 0; e < c->skillCount; ++e)
      if (c->skills[e].skill == skill) return &c->skills[e];
    return nullptr;
  }
};

}  // namespace

TEST_F(Skills, PointsFollowClassesLevelsIntelligenceAndRace) {
  // A 1st-level human fighter with Intelligence modifier -1: max(2 - 1, 1) × 4 + 1 + 3.
  Char* c = Make("Mensch", {{"Kämpfer", 1}}, -1);
  EXPECT_EQ(CharacterSkillPoints(c), 8);
  delete c;
  c = Make("Zwerg", {{"Kämpfer", 1}}, -1);
  EXPECT_EQ(CharacterSkillPoints(c), 4);
  delete c;
  // Three fighter levels then two rogue levels, modifier +1: 3 × 4 + 2 × 3 + 2 × 9.
  c = Make("Elf", {{"Kämpfer", 3}, {"Schurke", 2}}, 1);
  EXPECT_EQ(CharacterSkillPoints(c), 36);
  delete c;
}

TEST_F(Skills, DemandedRanksComeFirstEvenWhenTheyUseEveryPoint) {
  // A wizard with Intelligence 2 (modifier -4) has 4 points. Demanded ranks of a
  // cross-class skill cost two points each and are granted in full even when the
  // points run out; nothing else gets ranks.
  for (int demanded : {2, 3}) {
    Char* c = Make("Zwerg", {{"Magier", 1}}, -4);
    c->requiredRanks[Skill("Klettern")] = demanded;
    CalculateSkills(c, 0);
    ASSERT_EQ(c->skillPoints, 4);
    const CharSkill* climb = Entry(c, Skill("Klettern"));
    ASSERT_NE(climb, nullptr);
    EXPECT_EQ(climb->ranks, demanded);
    for (int e = 0; e < c->skillCount; ++e)
      if (c->skills[e].skill != Skill("Klettern")) {
        EXPECT_EQ(c->skills[e].ranks, 0);
      }
    delete c;
  }
}

TEST_F(Skills, FiveRanksGiveTheirSynergies) {
  // Springen (a rogue class skill) demanded at 5 ranks: Akrobatik gets +2.
  for (int n = 0; n < 20; ++n) {
    Char* c = Make("Mensch", {{"Schurke", 5}}, 0);
    c->requiredRanks[Skill("Springen")] = 5;
    CalculateSkills(c, 0);
    const CharSkill* jump = Entry(c, Skill("Springen"));
    ASSERT_NE(jump, nullptr);
    EXPECT_GE(jump->ranks, 5);
    EXPECT_LE(jump->ranks, 5 + 3);
    const CharSkill* tumble = Entry(c, Skill("Akrobatik"));
    ASSERT_NE(tumble, nullptr);
    EXPECT_GE(tumble->bonus, 2);
    // Every entry stays within the level's cap.
    for (int e = 0; e < c->skillCount; ++e) EXPECT_LE(c->skills[e].ranks, c->Level + 3);
    delete c;
  }
}

TEST_F(Skills, FinishingAddsAbilityArmourPenaltyAndUntrainedClassSkills) {
  Char* c = Make("Mensch", {{"Schurke", 1}}, 0);
  AbilityScore(c, 1) = 16;  // Dexterity +3
  ComputeModifiers(c);
  c->skillCount = 0;
  CharSkillEntry(c, Skill("Schwimmen")).ranks = 2;
  c->armorCheckPenalty = 4;  // e.g. armour without proficiency
  FinishSkills(c);
  TotalSkills(c);
  const CharSkill* swim = Entry(c, Skill("Schwimmen"));
  ASSERT_NE(swim, nullptr);
  // Strength 10, twice the armour penalty for swimming.
  EXPECT_EQ(swim->total, 2 + 0 - 8);
  // Untrained rogue class skills appear with 0 ranks (Verstecken: Dexterity, armour penalty).
  const CharSkill* hide = Entry(c, Skill("Verstecken"));
  ASSERT_NE(hide, nullptr);
  EXPECT_EQ(hide->ranks, 0);
  EXPECT_EQ(hide->total, 3 - 4);  // Dexterity, the armour penalty once
  // So do untrained cross-class skills (Heilkunde for a rogue).
  const CharSkill* heal = Entry(c, Skill("Heilkunde"));
  ASSERT_NE(heal, nullptr);
  EXPECT_EQ(heal->ranks, 0);
  delete c;
}
