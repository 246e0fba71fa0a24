// Monsters under SRD 3.5: advancement and templates against figures typed from the SRD.
#include <cstring>
#include <string>

#include "generator/combat.h"
#include "source_fixture.h"

namespace generator_test {
namespace {

class Srd35Monsters : public CreationFixture {
 protected:
  // A fixed monster with `template` and `dice` hit dice, built under SRD 3.5.
  void Build(Char* c, const char* monster, int dice, const char* templ = "Keins") {
    UseRules(kRulesSrd35);
    Wire(c);
    Preset(c, 1, 5);
    int m = FindByName(gSource.monsters, gSource.monsterCount, monster);
    int t = FindByName(gSource.templates, gSource.templateCount, templ);
    ASSERT_GE(m, 0) << monster;
    ASSERT_GE(t, 0) << templ;
    record_[rec::kFixedMonster] = m;
    record_[rec::kMonsterOption] = dice;
    record_[rec::kParam10] = t;
    CreateCreature(c, 1);
  }
  std::string SizeName(const Char* c) { return gSource.sizes[c->sizeIndex].name.c_str(); }
};

// Advanced monsters: size from the first hit die of the Advancement bracket, CR by the
// type's hit dice per +1 and +1 for growing to Large or larger, damage by the size
// table, attack with the size change once, and 1 + 1 per 3 HD feats.
TEST_F(Srd35Monsters, AdvancementFollowsTheImprovingMonstersTables) {
  struct Row {
    const char* monster;
    int dice, cr;
    const char* size;
    int dice0, die0, attack0;  // first natural attack; attack 0 = not checked
    int bonusFeats;            // the stat block's bonus feats (B)
  } rows[] = {
      {"Wolf", 4, 2, "Large", 1, 8, 9, 1},        // 2 HD animal CR 1; 4-6 HD (Large); Track; Str 22
      {"Wolf", 6, 3, "Large", 1, 8, 0, 1},
      {"Tiger", 13, 7, "Huge", 2, 6, 0, 0},       // 6 HD CR 4; 13-18 HD (Huge), claw 1d8
      {"Hellhound", 8, 5, "Medium", 1, 8, 0, 1},  // 4 HD outsider CR 3; 9-12 HD (Large); Track
      {"Hellhound", 9, 6, "Large", 2, 6, 0, 1},
      {"Pixie", 3, 4, "Small", 0, 0, 0, 1},       // 1 HD fey CR 4; 2-3 HD (Small); Weapon Finesse
  };
  Char* c = new Char();
  for (const Row& r : rows) {
    std::string who = std::string(r.monster) + " " + std::to_string(r.dice) + " HD";
    Build(c, r.monster, r.dice);
    ASSERT_EQ(c->Level, r.dice) << who;
    EXPECT_EQ(DetermineSrdCR(c->monster, 0, 0, nullptr, false) + AdvancedMonsterCR(c->monster, r.dice, true),
              r.cr)
        << who;
    EXPECT_EQ(SizeName(c), r.size) << who;
    EXPECT_EQ(c->featCount, 1 + r.dice / 3 + r.bonusFeats) << who;
    if (r.dice0) {
      EXPECT_EQ(c->naturals[0].damage[0], r.dice0) << who;
      EXPECT_EQ(c->naturals[0].damage[1], r.die0) << who;
    }
    if (r.attack0) {
      EXPECT_EQ(c->naturals[0].attack, r.attack0) << who;
    }
  }
  delete c;
}

// The template rules: celestial vermin become magical beasts, a zombie keeps no
// spellcasting or spell resistance, a vampire keeps the base creature's base attack and
// saves, a paragon has maximum hit points (plus 12 per HD) with Constitution per die.
TEST_F(Srd35Monsters, TemplatesFollowTheSrd) {
  Char* c = new Char();
  Build(c, "GiantAntWorker", 2, "Celestial");
  EXPECT_STREQ(gSource.monsterTypes[c->creatureType].name.c_str(), "MagicalBeast");
  Build(c, "Couatl", 9, "Zombie");
  EXPECT_EQ(c->classCount, 0);  // couatl: casts as a 9th-level sorcerer, SR 16
  EXPECT_EQ(c->MR, 0);
  Build(c, "Minotaur", 6, "Vampire");
  EXPECT_EQ(c->GA, 6);  // monstrous humanoid 6 HD: +6, Ref +5, Will +5, Fort +2
  EXPECT_EQ(c->baseRef, 5);
  EXPECT_EQ(c->baseWill, 5);
  EXPECT_EQ(c->baseFort, 2);
  Build(c, "Wolf", 2, "Paragon");  // 2d8, Con 15 + 15 = 30
  EXPECT_EQ(c->hitPoints + c->TP, 2 * (8 + 10) + 2 * 12);
  delete c;
}

// Advanced monsters: +1 to the highest physical score per four hit dice beyond the stat
// block's, carried into attack and damage; a Strength change moves a sole natural attack's
// damage by 1 1/2 times the modifier change, a primary one's once, a secondary one's by half.
TEST_F(Srd35Monsters, AdvancementRaisesStrengthAndItsShareOfDamage) {
  struct Row {
    const char* monster;
    int dice, strength, slot, attack, bonus;
  } rows[] = {
      {"Tiger", 12, 25, 0, 15, 7},     // Str 23 + 2: claw +9 (BAB 9, Str +7, Large -1), 1d8+7
      {"Tiger", 12, 25, 1, 10, 3},     // bite, secondary: 2d6+3
      {"Tiger", 13, 33, 1, 0, 5},      // Huge: Str 23 + 8 + 2 = 33, bite 3d6+5
      {"Krokodil", 5, 20, 0, 0, 7},    // bite alone: 1d8+6 at Str 19, +7 at Str 20
      {"Wolf", 6, 22, 0, 0, 9},        // Large, Str 13 + 8 + 1; bite alone: 1 1/2 x +6
  };
  Char* c = new Char();
  for (const Row& r : rows) {
    std::string who = std::string(r.monster) + " " + std::to_string(r.dice) + " HD, attack " + std::to_string(r.slot);
    Build(c, r.monster, r.dice);
    EXPECT_EQ(c->ST, r.strength) << who;
    if (r.attack) {
      EXPECT_EQ(c->naturals[r.slot].attack, r.attack) << who;
    }
    EXPECT_EQ(c->naturals[r.slot].damage[2], r.bonus) << who;
  }
  delete c;
}

// Advanced animals (Int 2) gain 2 - 4, at least 1 skill point per added hit die.
TEST_F(Srd35Monsters, AdvancementGivesAtLeastOneSkillPointPerDie) {
  auto ranks = [this](const char* monster, int dice) {
    Char* c = new Char();
    Build(c, monster, dice);
    int sum = 0;
    for (int i = 0; i < c->skillCount; ++i) sum += c->skills[i].ranks;
    delete c;
    return sum;
  };
  EXPECT_EQ(ranks("Wolf", 6) - ranks("Wolf", 2), 4);
  EXPECT_EQ(ranks("Tiger", 12) - ranks("Tiger", 6), 6);
}

// Over a corpus: every monster has at least 1 hit point per hit die, and an untemplated
// one its CR from the type's hit dice per +1 CR.
TEST_F(Srd35Monsters, CorpusCountsHitPointsPerDieAndCRByType) {
  const std::pair<const char*, int> perCR[] = {{"Animal", 3}, {"MagicalBeast", 3}, {"MonstrousHumanoid", 3},
                                               {"Dragon", 2}, {"Outsider", 2}};
  UseRules(kRulesSrd35);
  Char* c = new Char();
  Wire(c);
  int advanced = 0;
  for (int n = 0; n < 200; ++n) {
    CreateSrd35(c, 1, 1 + n % 20);
    std::string who = std::string(gSource.monsters[c->monster].name.c_str()) + " " + std::to_string(n);
    EXPECT_GE(c->hitPoints, c->Level) << who;
    const MonsterSource& m = gSource.monsters[c->monster];
    if (c->templateIndex != 0 || c->mixed || c->Level <= m.hd) continue;
    int per = 4;
    for (const auto& p : perCR)
      if (gSource.monsterTypes[m.type].name == p.first) per = p.second;
    bool grew = c->sizeIndex > m.size;
    bool large = std::string("Large Huge Gargantuan Colossal").find(SizeName(c)) != std::string::npos;
    EXPECT_EQ(c->cr, m.cr + (c->Level - m.hd) / per + (grew && large)) << who;
    ++advanced;
  }
  EXPECT_GT(advanced, 20);
  delete c;
}

}  // namespace
}  // namespace generator_test
