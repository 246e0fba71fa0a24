// Characters and classes under SRD 3.5: level for the CR, epic saves, skill points and
// prestige ranks, the commoner's weapon. The figures are the SRD's, typed in.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <map>
#include <set>
#include <vector>
#include <string>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/feats.h"
#include "generator/skills.h"
#include "generator/source_fixture.h"
#include "script/functions.h"

using namespace debugspace;

namespace {

class Srd35Chars : public generator_test::CreationFixture {
 protected:
  // A character, NPC (kind 4) or any creature built by SRD 3.5.
  void Build(Char* c, int kind, int cr) { CreateSrd35(c, kind, cr); }
  static int Named(const char* name) { return FindByNameOrFault(gSource.classes, gSource.classCount, name); }
  static int Skill(const char* name) { return FindByNameOrFault(gSource.skills, gSource.skillCount, name); }
  static bool ClassSkill(const Char* c, int skill) {
    const int32_t* per = gSource.skills[skill].ClassSkill();
    for (int s = 0; s < c->classCount; ++s)
      if (per && per[c->classes[s]] >= 2) return true;
    return false;
  }
};

}  // namespace

// CR of a PC-class character = its level (none below CR 1); NPC classes: level - 1.
TEST_F(Srd35Chars, LevelFollowsTheChallengeRating) {
  struct Row { int cr, pcLevel, pcCR, npcLevel; };
  const Row rows[] = {{0, 1, 1, 1}, {1, 1, 1, 2}, {4, 4, 4, 5}, {11, 11, 11, 12}, {19, 19, 19, 20}};
  Char* c = new Char();
  Wire(c);
  for (const Row& r : rows)
    for (int n = 0; n < 6; ++n) {
      for (int kind : {0, 4}) {
        Build(c, kind, r.cr);
        if (c->templateIndex > 0) continue;  // a template's CR adds to the level's
        int levels = 0;
        for (int s = 0; s < c->classCount; ++s) levels += c->classLevels[s];
        std::string who = "CR " + std::to_string(r.cr) + " kind " + std::to_string(kind);
        // Duergar, drow, svirfneblin, dromites and half-giants with class levels: CR +1.
        int race = c->subRace >= 0 ? c->subRace : c->race;
        std::string name = gSource.races[race].name.c_str();
        int raceCR = name == "Duergar" || name == "Drow" || name == "Svirfneblin" || name == "Dromit" ||
                             name == "Halbriese"
                         ? 1
                         : 0;
        EXPECT_EQ(c->Level + raceCR, kind == 0 ? r.pcLevel : r.npcLevel) << who << " " << name;
        EXPECT_EQ(c->cr, kind == 0 ? r.pcCR : r.cr) << who;
        EXPECT_EQ(levels, c->Level) << who << ": a level without a class";
      }
    }
  FreeCharBonuses(c);
  delete c;
}

// Beyond character level 20 base saves stay at their 20th-level values (good +12, poor
// +6); the epic save bonus is +1 per two levels beyond 20.
TEST_F(Srd35Chars, EpicSavesStopAtTwentieth) {
  // Good saves (Fort, Ref, Will) of the core classes.
  const std::map<std::string, std::array<bool, 3>> good = {
      {"Barbar", {true, false, false}},   {"Barde", {false, true, true}},   {"Druide", {true, false, true}},
      {"Hexenmeister", {false, false, true}}, {"Kämpfer", {true, false, false}}, {"Kleriker", {true, false, true}},
      {"Magier", {false, false, true}},   {"Mönch", {true, true, true}},    {"Paladin", {true, false, false}},
      {"Waldläufer", {true, true, false}}, {"Schurke", {false, true, false}}};
  const int epicSave[][2] = {{21, 0}, {22, 1}, {25, 2}, {30, 5}};
  Char* c = new Char();
  Wire(c);
  int checked = 0;
  for (const auto& [level, bonus] : epicSave)
    for (int n = 0; n < 30; ++n) {
      Build(c, 0, level);
      // (A race with a level adjustment is a level below the CR.)
      if (c->templateIndex > 0 || c->classCount != 1 || c->Level != level) continue;
      auto it = good.find(gSource.classes[c->classes[0]].name.c_str());
      if (it == good.end()) continue;
      ++checked;
      std::string who = it->first + " " + std::to_string(c->Level);
      EXPECT_EQ(c->epicSave, bonus) << who;
      EXPECT_EQ(c->baseFort, it->second[0] ? 12 : 6) << who;
      EXPECT_EQ(c->baseRef, it->second[1] ? 12 : 6) << who;
      EXPECT_EQ(c->baseWill, it->second[2] ? 12 : 6) << who;
    }
  EXPECT_GT(checked, 10);
  FreeCharBonuses(c);
  delete c;
}

// Skill points are never overspent (a rank of a skill that is no class skill costs 2 and
// stays within half of level + 3); a prestige class's ranks are had before its first
// level, within the caps of the level before it. A skill without ranks has no line unless
// it is usable untrained and carries a bonus.
TEST_F(Srd35Chars, SkillPointsAndPrestigeRanks) {
  const std::map<std::string, std::map<std::string, int>> prestige = {
      {"Assasin", {{"Verkleiden", 4}, {"Verstecken", 8}, {"LeiseBewegen", 8}}},
      {"ArkanerBetrüger", {{"SchriftzeichenEntschlüsseln", 7}, {"MechanismusAusschalten", 7},
                           {"Entfesselungskünstler", 7}, {"WissenArkanes", 4}}},
      {"Drachenjünger", {{"WissenArkanes", 8}}},
      {"Hierophant", {{"WissenReligion", 15}}},
      {"Horizontwanderer", {{"WissenGeographie", 8}}},
      {"MystischerTheurg", {{"WissenArkanes", 6}, {"WissenReligion", 6}}},
      {"Schattentänzer", {{"LeiseBewegen", 8}, {"Verstecken", 10}}}};
  Char* c = new Char();
  Wire(c);
  int prestigeSeen = 0;
  for (int n = 0; n < 300; ++n) {
    Build(c, n % 5 == 0 ? 4 : 0, 3 + n % 18);
    std::string who = "character " + std::to_string(n);
    for (int s = 0; s < c->classCount; ++s)
      who += std::string(" ") + gSource.classes[c->classes[s]].name.c_str() + " " + std::to_string(c->classLevels[s]);
    // The expert makes any ten skills class skills: the ten with the most ranks of those
    // no class lists.
    int chosen = 0;
    for (int s = 0; s < c->classCount; ++s)
      if (gSource.classes[c->classes[s]].name == "Experte") chosen = 10;
    std::vector<std::pair<int, int>> others;  // (ranks, entry)
    for (int e = 0; e < c->skillCount; ++e)
      if (!ClassSkill(c, c->skills[e].skill)) others.push_back({c->skills[e].ranks, e});
    std::sort(others.rbegin(), others.rend());
    std::set<int> expert;
    for (int i = 0; i < chosen && i < (int)others.size(); ++i) expert.insert(others[(size_t)i].second);
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
    int before = 0;
    for (int s = 0; s < c->classCount; before += c->classLevels[s++]) {
      auto it = prestige.find(gSource.classes[c->classes[s]].name.c_str());
      if (it == prestige.end()) continue;
      ++prestigeSeen;
      for (const auto& [skill, ranks] : it->second) {
        int got = 0;
        for (int e = 0; e < c->skillCount; ++e)
          if (c->skills[e].skill == Skill(skill.c_str())) got = c->skills[e].ranks;
        EXPECT_GE(got, ranks) << who << " " << it->first << " " << skill;
        EXPECT_LE(ranks, before + 3) << who << " enters " << it->first << " after " << before << " levels";
      }
    }
  }
  EXPECT_GE(prestigeSeen, 5);
  FreeCharBonuses(c);
  delete c;

  // A headband's +4 enhancement earns no points: a 5th-level wizard with Int 14 has
  // (2 + 2) x 8 points, not (2 + 4) x 8.
  c = new Char();
  Wire(c);
  ResetChar(c);
  c->rules = kRulesSrd35;
  c->race = FindByNameOrFault(gSource.races, gSource.raceCount, "Zwerg");
  c->classCount = 1;
  c->classes[0] = Named("Magier");
  c->Level = c->classLevels[0] = c->preEpicLevels[0] = 5;
  for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
  c->IN = 14;
  AddCharBonus(c, &c->IN, 4, FindByNameOrFault(gSource.bonuses, gSource.bonusCount, "Verbesserung"), "Stirnband");
  ComputeModifiers(c);
  EXPECT_EQ(CharacterSkillPoints(c), 32);
  FreeCharBonuses(c);
  delete c;
}

// A commoner is proficient with one simple weapon of its choice: a 1st-level commoner
// carrying a club keeps its one feat for something else.
TEST_F(Srd35Chars, CommonerKeepsItsFeat) {
  Char* c = new Char();
  Wire(c);
  ResetChar(c);
  c->rules = kRulesSrd35;
  c->race = FindByNameOrFault(gSource.races, gSource.raceCount, "Zwerg");
  c->classCount = 1;
  c->classes[0] = Named("Gemeiner");
  c->Level = c->classLevels[0] = c->preEpicLevels[0] = 1;
  for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 12;
  ComputeModifiers(c);
  CalcBaseValues(c);
  c->getAllRequired = 1;
  int club = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, "Knüppel");
  c->itemCount = 1;
  c->items[0].equipment = club;
  c->items[0].equipType = 0;
  CalculateFeats(c);
  int simple = gSource.proficiencyFeats[0][0], proficiencies = 0, others = 0;
  for (int i = 0; i < c->featCount; ++i) {
    if (c->feats[i] == simple) {
      ++proficiencies;
      EXPECT_EQ(c->featParameters[i], club);
    } else {
      ++others;
    }
  }
  EXPECT_EQ(proficiencies, 1);
  EXPECT_EQ(others, 1);  // 1st level: one feat
  FreeCharBonuses(c);
  delete c;
}
