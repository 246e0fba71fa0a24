// Monsters: the choice for a CR, the build of every row with and without templates,
// size steps, the skeleton, and the viewer's hit-die and size keys.
#include <gtest/gtest.h>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/monster.h"
#include "generator/source_fixture.h"
#include "source/source_init.h"

using namespace debugspace;

namespace {

class Monsters : public generator_test::SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    again_.assign((size_t)gSource.featCount, 0);
    notAgain_.assign((size_t)gSource.featCount, 0);
    ResetReferenceMonster();
  }
  Char* Blank(int cr) {
    Char* c = new Char();
    Fresh(c, 1);
    c->context.againDependency = again_.data();
    c->context.featNotAgain = notAgain_.data();
    c->kind = 1;
    c->cr = cr;
    c->race = -1;
    c->Level = 0;
    record_[rec::kCRMin] = cr;
    record_[rec::kCRMax] = 40;
    return c;
  }
  // Builds monster m with one option.
  Char* Build(int m, int variant, int templ, int cr) {
    Char* c = Blank(cr);
    c->monster = m;
    c->optionCount = 1;
    c->optionVariant[0] = variant;
    c->optionTemplate[0] = templ;
    c->optionCR[0] = cr;
    SetMonster(c);
    return c;
  }
  static int Monster(const char* name) { return FindByNameOrFault(gSource.monsters, gSource.monsterCount, name); }
  static int Template(const char* name) { return FindByNameOrFault(gSource.templates, gSource.templateCount, name); }
  std::vector<int32_t> again_, notAgain_;
};

}  // namespace

TEST_F(Monsters, EveryCRFromOneToThirtyFindsAMonster) {
  for (int cr = 1; cr <= 30; ++cr) {
    for (int n = 0; n < 5; ++n) {
      Char* c = Blank(cr);
      ASSERT_EQ(DetermineMonster(c), 0) << "no monster for CR " << cr;
      EXPECT_EQ(c->cr, cr);
      ASSERT_GE(c->monster, 0);
      // The built option's range holds the CR.
      bool held = false;
      for (int k = 0; k < 4; ++k)
        for (int t = 0; t < std::min(gSource.templateCount, 11); ++t) {
          int32_t high = 0;
          int32_t low = DetermineCR(c->monster, k, t, &high, false, false);
          held = held || (low <= cr && cr <= high);
        }
      EXPECT_TRUE(held) << gSource.monsters[c->monster].name.c_str() << " at CR " << cr;
      FreeCharBonuses(c);
      delete c;
    }
  }
}

TEST_F(Monsters, SizeModifiersAndDamageSteps) {
  const int expected[9] = {8, 4, 2, 1, 0, -1, -2, -4, -8};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(SizeModifier(i), expected[i]) << i;
  int32_t dice = 1, die = 8;
  StepDamageDie(&dice, &die);
  EXPECT_EQ(dice * 100 + die, 206);
  StepDamageDie(&dice, &die);
  EXPECT_EQ(dice * 100 + die, 208);
  dice = 1, die = 12;
  StepDamageDie(&dice, &die);
  EXPECT_EQ(dice * 100 + die, 208);
  dice = 1, die = 2;
  StepDamageDie(&dice, &die);
  EXPECT_EQ(dice * 100 + die, 103);
}

TEST_F(Monsters, EveryRowBuildsWithItsTemplates) {
  int skeleton = Template("Skelleton"), zombie = Template("Zombie");
  int built = 0;
  for (int m = 0; m < gSource.monsterCount; ++m) {
    const MonsterSource& row = gSource.monsters[m];
    for (int t = 0; t < std::min(gSource.templateCount, 11); ++t) {
      for (int k = 0; k < 4; ++k) {
        int32_t high = 0;
        int32_t low = DetermineCR(m, k, t, &high, false, false);
        if (low >= 1024) continue;
        Char* c = Build(m, k, t, low);
        std::string who = std::string(row.name.c_str()) + " template " + gSource.templates[t].name.c_str() + " variant " +
                          std::to_string(k);
        ++built;
        // Hit dice within the row's advancement (a zombie doubles them afterwards).
        int dice = t == zombie ? c->Level / 2 : c->Level;
        EXPECT_GE(dice, std::max(row.hd, 1)) << who;
        if (row.hdMax > 0 && k > 0) {
          EXPECT_LE(dice, row.hdMax) << who;
        }
        // Size: one step past each bracket.
        int grown = (row.hdInc > 0 && dice > row.hdInc) + (row.hdInc2 > 0 && dice > row.hdInc2);
        EXPECT_EQ(c->sizeIndex, row.size + grown) << who;
        EXPECT_EQ(c->sizeMod, SizeModifier(c->sizeIndex)) << who;
        // Attacks: the row's slots, or the skeleton's single claw.
        if (t == skeleton) {
          ASSERT_EQ(c->attackCount, 1) << who;
          EXPECT_STREQ(c->naturals[0].name, "Klaue");
          ASSERT_EQ(c->featCount, 1) << who;
          EXPECT_TRUE(gSource.feats[c->feats[0]].name == "VerbesserteInitiative");
          EXPECT_EQ(c->skillCount, 0);
          // The claw: half the hit dice plus Dexterity, then the change of the base
          // attack from the row's type at its hit dice to the final one.
          int first = BaseAttack(gSource.monsterTypes[row.type].attackType, std::max(row.hd, 1));
          EXPECT_EQ(c->naturals[0].attack, c->Level / 2 + c->MGE + c->GA - first) << who;
          EXPECT_EQ(c->MonsterTWType, 12) << who;  // a skeleton's hit dice are d12s
        } else {
          EXPECT_EQ(c->attackCount, std::min(row.attackCount, kNaturalAttacks)) << who;
        }
        // Untemplated and not grown: the row's bonus plus one roll per hit die.
        if (t == 0 && grown == 0 && row.tp + c->Level >= 1) {
          EXPECT_GE(c->hitPoints, row.tp + c->Level) << who;
          EXPECT_LE(c->hitPoints, row.tp + c->Level * row.hdType) << who;
        }
        EXPECT_GE(c->hitPoints, 1) << who;
        // No build step counts attacks per round: the start value stays.
        EXPECT_EQ(c->Attacks, 1) << who;
        FreeCharBonuses(c);
        delete c;
      }
    }
  }
  EXPECT_GT(built, gSource.monsterCount);
}

TEST_F(Monsters, CelestialAnimalsBecomeMagicalBeasts) {
  int wolf = Monster("Wolf");
  Char* c = Build(wolf, 0, Template("Celestial"), 1);
  EXPECT_TRUE(gSource.monsterTypes[c->creatureType].name == "MagicalBeast");
  // A magical beast has the good base attack: 2 hit dice give +2 where the animal had +1;
  // the template's change takes the medium row's -1 off the bite and steps its d6.
  EXPECT_EQ(c->GA, 2);
  EXPECT_EQ(c->naturals[0].attack, 3 + 1 - 1);
  EXPECT_EQ(c->naturals[0].damage[0] * 100 + c->naturals[0].damage[1], 108);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Monsters, TemplateChoiceLabelListsTheOptions) {
  // Shown labels: the question names every option with its number.
  Char* c = Blank(1);
  c->monster = Monster("Wolf");
  c->optionCount = 2;
  c->optionTemplate[1] = Template("Celestial");
  c->optionVariant[1] = 1;
  bool labels = gProcess.labelFlag;
  int debug = gProcess.debugOutput;
  gProcess.labelFlag = true;
  gProcess.debugOutput = 1;
  SetOutputLevels(1, -1);
  testing::internal::CaptureStdout();
  SetMonster(c);
  std::string out = testing::internal::GetCapturedStdout();
  SetOutputLevels(0, -1);
  gProcess.labelFlag = labels;
  gProcess.debugOutput = debug;
  EXPECT_NE(out.find("(Template wählen!\n0: Template: Keine, TW Erhöhung: 0\n1: Template: Himmlische Kreatur, TW Erhöhung: 1\n:)"),
            std::string::npos)
      << out;
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Monsters, GrowingTwoSizesStepsDamageTwice) {
  // A medium wolf given a d8 bite: Large gives 2d6, Huge 2d8; each step adds the size
  // row's natural armour and size change and the ability changes.
  Char* c = Build(Monster("Wolf"), 0, 0, 1);
  ASSERT_TRUE(gSource.sizes[c->sizeIndex].name == "Medium");
  c->naturals[0].damage[0] = 1;
  c->naturals[0].damage[1] = 8;
  int32_t attack = c->naturals[0].attack, ac = c->AC, strength = c->ST, mst = c->MST, mge = c->MGE;
  const SizeSource& medium = gSource.sizes[c->sizeIndex];
  MonsterSizeIncrease(c);
  EXPECT_EQ(c->naturals[0].damage[0] * 100 + c->naturals[0].damage[1], 206);
  EXPECT_EQ(c->ST, strength + medium.st);
  EXPECT_EQ(c->naturals[0].attack, attack + 2 * medium.sizeMod + (c->MST - mst));
  EXPECT_EQ(c->AC, ac + medium.ac + medium.sizeMod + (c->MGE - mge));
  MonsterSizeIncrease(c);
  EXPECT_EQ(c->naturals[0].damage[0] * 100 + c->naturals[0].damage[1], 208);
  EXPECT_TRUE(gSource.sizes[c->sizeIndex].name == "Huge");
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Monsters, DragonSkillPointsFollowTheIntelligenceScore) {
  // A white wyrmling: 3 hit dice, Intelligence 6, no listed feats.
  Char* c = Build(Monster("WhiteDragonWyrmling"), 0, 0, 2);
  EXPECT_EQ(c->skillPoints, (3 + 3) * (6 + 6));
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Monsters, HitDieAndSizeKeys) {
  int wolf = Monster("Wolf");
  Char* c = Build(wolf, 0, 0, 1);
  int dice = c->Level, ga = c->GA, bite = c->naturals[0].attack, hp = c->hitPoints;
  ChangeHitDice(c, '+');
  EXPECT_EQ(c->Level, dice + 1);
  EXPECT_EQ(c->GA, ga + (BaseAttack(2, dice + 1) - BaseAttack(2, dice)));
  EXPECT_EQ(c->naturals[0].attack, bite + (c->GA - ga));
  EXPECT_GT(c->hitPoints, hp);
  ChangeHitDice(c, '-');
  EXPECT_EQ(c->Level, dice);
  EXPECT_EQ(c->GA, ga);
  int size = c->sizeIndex;
  ChangeHitDice(c, '*');
  EXPECT_EQ(c->sizeIndex, size + 1);
  // One hit die: '-' changes nothing; hit points never fall below 1.
  c->Level = 1;
  c->hitPoints = 1;
  ChangeHitDice(c, '-');
  EXPECT_EQ(c->Level, 1);
  EXPECT_EQ(c->hitPoints, 1);
  FreeCharBonuses(c);
  delete c;

  // '*' is for monsters only; '+' moves a character's weapon total with its base
  // attack (a fighter of level 3 to 4: +3 to +4).
  Char* hero = Blank(3);
  hero->kind = 0;
  hero->sizeIndex = -1;
  ChangeHitDice(hero, '*');
  EXPECT_EQ(hero->sizeIndex, -1);
  hero->classCount = 1;
  hero->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, "Kämpfer");
  hero->classLevels[0] = hero->preEpicLevels[0] = hero->Level = 3;
  hero->itemCount = 1;
  hero->items[0].equipment = 0;
  hero->items[0].finalAttack = 5;
  ChangeHitDice(hero, '+');
  EXPECT_EQ(hero->items[0].finalAttack, 6);
  FreeCharBonuses(hero);
  delete hero;
}
