// Classes, skills and hit points against the class tables, the prerequisite language, and
// characters by SRD 3.5.
#include <map>
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
  for (const char* name : {"Kämpfer", "Barbar", "Schurke", "Magier", "Kleriker", "Mönch"}) {
    const ClassRule& k = kClassRules.at(name);
    for (int level = 1; level <= 20; ++level) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(level));
      Char* c = Single(name, level);
      CalcBaseValues(c);
      EXPECT_EQ(c->GA, BaseAttackOf(k, level));
      EXPECT_EQ(c->baseFort, SaveOf(k.fort, level));
      EXPECT_EQ(c->baseRef, SaveOf(k.ref, level));
      EXPECT_EQ(c->baseWill, SaveOf(k.will, level));
      EXPECT_EQ(c->Attacks, std::min((c->GA - 1) / 5 + 1, 4));  // one more per 5 base attack
      RollHitPoints(c);
      int first = std::max(k.hitDie + c->MKO, 1);
      EXPECT_GE(c->hitPoints, first + (level - 1) * std::max(1 + c->MKO, 1));
      EXPECT_LE(c->hitPoints, first + (level - 1) * first);
    }
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

TEST_F(Classes, LevelsAreSplitWithoutLoss) {
  Char* c = NewChar();
  int multi = 0;
  for (int n = 0; n < 300; ++n) {
    int level = 1 + n % 20;
    Fresh(c, level);
    RollAttributes(c, 1 + n % 2);
    ChooseClasses(c, 1 + n % 2);
    ASSERT_GE(c->classCount, 1);
    int total = 0;
    for (int s = 0; s < c->classCount; ++s) {
      ASSERT_TRUE(c->classes[s] >= 0 && c->classes[s] < gSource.classCount);
      EXPECT_EQ(gSource.classes[c->classes[s]].npc, 0) << ClassName(c, s);
      EXPECT_GE(c->classLevels[s], 1);
      EXPECT_EQ(c->preEpicLevels[s], c->classLevels[s]);
      for (int t = 0; t < s; ++t) EXPECT_NE(c->classes[t], c->classes[s]) << "a class taken twice";
      total += c->classLevels[s];
    }
    EXPECT_EQ(total, level);
    EXPECT_TRUE(level > 2 || c->classCount == 1) << "two levels leave no room for a second class";
    multi += c->classCount > 1;
  }
  EXPECT_GT(multi, 30);
}

TEST_F(Classes, ClassFeatScriptsGrantProficiencies) {
  // Rogues and wizards may hold the martial feat for a few named weapons only.
  const struct {
    const char* name;
    bool medium, martial;
  } table[] = {{"Barbar", true, true}, {"Magier", false, false}, {"Kämpfer", true, true}, {"Schurke", false, false}};
  for (const auto& e : table) {
    Char* c = Make("Mensch", {{e.name, 3}});
    ClassFeatScripts(c);
    EXPECT_EQ(Holds(c, "MittelschwereRüstung") > 0, e.medium) << e.name;
    EXPECT_TRUE(!e.martial || Holds(c, "KriegsWaffen") > 0) << e.name;
    EXPECT_EQ(c->ClassLevel, 0);
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
  const int human = RaceId("Mensch"), dwarf = RaceId("Zwerg");
  const struct {
    std::initializer_list<int32_t> words;
    bool pass;
  } cases[] = {
      {{Op('S', 'T'), 13}, true},
      {{Op('S', 'T'), 14}, false},
      {{Op('G', 'E'), 15, Op('G', 'A'), 6}, true},
      {{Op('G', 'E'), 15, Op('G', 'A'), 7}, false},
      {{Op('K', 'R'), 2}, true},  // 5 Barbarian levels: 5 / 4 + 1 = 2
      {{Op('K', 'R'), 3}, false},
      {{Op('C', 'L'), 2, ClassId("Kämpfer"), 1, ClassId("Schurke"), 3}, true},
      {{Op('C', 'L'), 1, ClassId("Schurke"), 4}, false},
      {{Op('R', 'A'), 2, human, dwarf}, true},
      {{Op('R', 'A'), 1, human}, false},
      {{Op('N', 'C'), ClassId("Paladin")}, true},
      {{Op('N', 'C'), ClassId("Barbar")}, false},
      {{Op('K', 'O'), 13}, true},  // the SRD's Con 13 of Mind Over Body, at the value and one above
      {{Op('K', 'O'), 14}, false},
      {{Op('S', 'F'), 4}, true},
      {{Op('S', 'W'), 2}, true},  // base Will +2 of Mental Resistance
      {{Op('S', 'W'), 3}, false},
      {{Op('S', 'R'), 1}, false},
      {{Op('S', 'N')}, true},
      {{Op('D', 'V')}, true},
      {{Op('S', 'S')}, false},
      {{Op('H', 'S'), 0}, false},
      {{Op('L', 'V'), 5}, true},  // the caller passes level 5 below
      {{Op('L', 'V'), 6}, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::vector<int32_t>(k.words)));
    EXPECT_EQ(CheckRules(c, -1, c->featCount, List(k.words), 5, nullptr), k.pass);
  }
}

TEST_F(Classes, FailingFeatTestsMarkTheFeatButOwnershipTestsDoNot) {
  Char* c = NewChar();
  Fresh(c, 3);
  c->ST = 10;
  int feat = 5, other = 7;
  std::vector<int32_t> weights((size_t)gSource.featCount, 100), notAgain((size_t)gSource.featCount, 0);
  c->context.featNotAgain = notAgain.data();
  // A missing feat: fails, leaves no mark (it may be taken later).
  EXPECT_FALSE(CheckRules(c, feat, 0, List({Op('P', 'R'), other}), 0, weights.data()));
  EXPECT_EQ(weights[(size_t)feat], 100);
  EXPECT_EQ(notAgain[(size_t)feat], 0);
  // Owned once: PR passes; PG needs more of it than of the feat itself.
  c->feats[c->featCount++] = other;
  EXPECT_TRUE(CheckRules(c, feat, 1, List({Op('P', 'R'), other}), 0, weights.data()));
  EXPECT_TRUE(CheckRules(c, feat, 1, List({Op('P', 'G'), other}), 0, weights.data()));
  c->feats[c->featCount++] = feat;
  EXPECT_FALSE(CheckRules(c, feat, 2, List({Op('P', 'G'), other}), 0, weights.data()));
  EXPECT_EQ(weights[(size_t)feat], 100);
  // An ability test fails for good: weight 0 and the not-again mark.
  EXPECT_FALSE(CheckRules(c, feat, 2, List({Op('S', 'T'), 13}), 0, weights.data()));
  EXPECT_EQ(weights[(size_t)feat], 0);
  EXPECT_EQ(notAgain[(size_t)feat], 1);
  c->context.featNotAgain = nullptr;
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
  // A wizard with Intelligence 2 (modifier -4) has 4 points. Demanded ranks of a
  // cross-class skill cost two points each and are granted in full even when the
  // points run out; nothing else gets ranks.
  for (int demanded : {2, 3}) {
    Char* c = Make("Zwerg", {{"Magier", 1}}, -4);
    c->requiredRanks[SkillId("Klettern")] = demanded;
    CalculateSkills(c, 0);
    ASSERT_EQ(c->skillPoints, 4);
    ASSERT_NE(Entry(c, "Klettern"), nullptr);
    for (int e = 0; e < c->skillCount; ++e)
      EXPECT_EQ(c->skills[e].ranks, c->skills[e].skill == SkillId("Klettern") ? demanded : 0);
  }
}

TEST_F(Classes, FiveRanksGiveTheirSynergies) {
  // Springen (a rogue class skill) demanded at 5 ranks: Akrobatik gets +2.
  for (int n = 0; n < 20; ++n) {
    Char* c = Make("Mensch", {{"Schurke", 5}});
    c->requiredRanks[SkillId("Springen")] = 5;
    CalculateSkills(c, 0);
    ASSERT_TRUE(Entry(c, "Springen") && Entry(c, "Akrobatik"));
    EXPECT_GE(Entry(c, "Springen")->ranks, 5);
    EXPECT_GE(Entry(c, "Akrobatik")->bonus, 2);
    for (int e = 0; e < c->skillCount; ++e) EXPECT_LE(c->skills[e].ranks, c->Level + 3);
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
  // Swimming: Strength 10, twice the armour penalty. Untrained skills appear with 0 ranks,
  // class skills (Verstecken: Dexterity, the penalty once) and cross-class ones (Heilkunde).
  const struct {
    const char* skill;
    int ranks, total;
  } cases[] = {{"Schwimmen", 2, 2 + 0 - 8}, {"Verstecken", 0, 3 - 4}, {"Heilkunde", 0, 0}};
  for (const auto& k : cases) {
    const CharSkill* e = Entry(c, k.skill);
    ASSERT_NE(e, nullptr) << k.skill;
    EXPECT_EQ(e->ranks, k.ranks) << k.skill;
    EXPECT_TRUE(!k.total || e->total == k.total) << k.skill << " " << e->total;
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

// CR of a PC-class character = its level (none below CR 1); NPC classes: level - 1.
// Duergar, drow, svirfneblin, dromites and half-giants with class levels: CR +1.
TEST_F(Classes, Srd35LevelFollowsTheChallengeRating) {
  const int rows[][4] = {{0, 1, 1, 1}, {1, 1, 1, 2}, {4, 4, 4, 5}, {11, 11, 11, 12}, {19, 19, 19, 20}};
  const std::set<std::string> plusOne = {"Duergar", "Drow", "Svirfneblin", "Dromit", "Halbriese"};
  Char* c = Wired();
  for (const auto& [cr, pcLevel, pcCR, npcLevel] : rows)
    for (int n = 0; n < 12; ++n) {
      int kind = n % 2 ? 4 : 0;
      CreateSrd35(c, kind, cr);
      if (c->templateIndex > 0) continue;  // a template's CR adds to the level's
      int levels = 0;
      for (int s = 0; s < c->classCount; ++s) levels += c->classLevels[s];
      std::string race = gSource.races[c->subRace >= 0 ? c->subRace : c->race].name.c_str();
      std::string who = "CR " + std::to_string(cr) + " kind " + std::to_string(kind) + " " + race;
      EXPECT_EQ(c->Level + (int)plusOne.count(race), kind == 0 ? pcLevel : npcLevel) << who;
      EXPECT_EQ(c->cr, kind == 0 ? pcCR : cr) << who;
      EXPECT_EQ(levels, c->Level) << who << ": a level without a class";
    }
}

// Skill points are never overspent (a rank of a skill that is no class skill costs 2 and
// stays within half of level + 3); a prestige class's ranks are had before its first
// level, within the caps of the level before it. A skill without ranks has no line unless
// it is usable untrained and carries a bonus.
TEST_F(Classes, Srd35SkillPointsAndPrestigeRanks) {
  Char* c = Wired();
  int prestigeSeen = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, n % 5 == 0 ? 4 : 0, 3 + n % 18);
    std::string who = "character " + std::to_string(n);
    for (int s = 0; s < c->classCount; ++s) who += " " + ClassName(c, s) + " " + std::to_string(c->classLevels[s]);
    // The expert makes any ten skills class skills: the ten with the most ranks of those
    // no class lists.
    std::vector<std::pair<int, int>> others;  // (ranks, entry)
    for (int e = 0; e < c->skillCount; ++e)
      if (!ClassSkill(c, c->skills[e].skill)) others.push_back({c->skills[e].ranks, e});
    std::sort(others.rbegin(), others.rend());
    std::set<int> expert;
    for (int i = 0; i < (Levels(c, "Experte") ? 10 : 0) && i < (int)others.size(); ++i)
      expert.insert(others[(size_t)i].second);
    int cost = 0;
    for (int e = 0; e < c->skillCount; ++e) {
      const CharSkill& k = c->skills[e];
      bool cls = ClassSkill(c, k.skill) || expert.count(e);
      cost += cls ? k.ranks : 2 * k.ranks + (k.halfRank ? 1 : 0);
      EXPECT_LE(k.ranks, cls ? c->Level + 3 : (c->Level + 3) / 2) << who << " " << gSource.skills[k.skill].name.c_str();
      if (k.ranks == 0 && k.halfRank == 0) {
        EXPECT_TRUE(gSource.skills[k.skill].untrained && k.bonus != 0) << who << " lists an empty skill";
      }
    }
    EXPECT_LE(cost, c->skillPoints) << who;
    for (int s = 0, before = 0; s < c->classCount; before += c->classLevels[s++]) {
      auto it = kEntryRanks.find(ClassName(c, s));
      if (it == kEntryRanks.end()) continue;
      ++prestigeSeen;
      for (const auto& [skill, ranks] : it->second) {
        EXPECT_GE(Ranks(c, skill.c_str()), ranks) << who << " " << it->first << " " << skill;
        EXPECT_LE(ranks, before + 3) << who << " enters " << it->first << " after " << before << " levels";
      }
    }
  }
  EXPECT_GE(prestigeSeen, 5);
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
  EXPECT_EQ(std::count(c->feats, c->feats + 2, simple), 1);
  for (int i = 0; i < 2; ++i)
    if (c->feats[i] == simple) {
      EXPECT_EQ(c->featParameters[i], ItemId("Knüppel"));
    }
}
