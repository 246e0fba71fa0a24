// Template effects: monsters of known stat blocks built with every template that fits
// them, checked against figures typed in from the reference's template texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include "generator/combat.h"
#include "generator/source_fixture.h"
#include "source/source_init.h"

using namespace debugspace;

namespace {

// Base creatures (reference stat blocks): size index (0 Fine .. 8 Colossal), Dex, Cha,
// natural armour, armour class, hit dice and hit die; animal, humanoid, armour worn (its
// stat block's armour class does not say what is natural, so natural armour is not
// checked on it).
struct Subject {
  const char* name;
  int size, dex, cha, natural, ac, hd, die;
  bool animal, humanoid, worn;
};
const Subject kSubjects[] = {
    {"Schreckensratte", 3, 17, 4, 1, 15, 1, 8, true, false, false},  // dire rat: +1 size, +3 Dex, +1 natural
    {"Wolf", 4, 15, 6, 2, 14, 2, 8, true, false, false},
    {"Kobold", 3, 13, 8, 1, 15, 1, 8, false, true, true},       // +1 size, +1 Dex, +1 natural, +2 leather
    {"Troglodyte", 4, 9, 10, 6, 15, 2, 8, false, true, false},  // -1 Dex, +6 natural
    {"Owlbear", 5, 12, 10, 5, 15, 5, 10, false, false, false},  // -1 size, +1 Dex, +5 natural
    {"Elefant", 6, 10, 7, 7, 15, 11, 8, true, false, false},    // -2 size, +7 natural
};
const int kSkeletonArmour[9] = {0, 0, 0, 1, 2, 2, 3, 6, 10};  // natural armour replaced, by size
const int kZombieArmour[9] = {0, 0, 0, 1, 2, 3, 4, 7, 11};    // natural armour added, by size

int Mod(int score) { return score / 2 - 5; }

class Templates : public generator_test::CreationFixture {
 protected:
  static bool Has(const Char* c, const char* feat) {
    for (int i = 0; i < c->featCount; ++i)
      if (gSource.feats[c->feats[i]].name == feat) return true;
    return false;
  }
  static std::string TypeOf(const Char* c) { return gSource.monsterTypes[c->creatureType].name.c_str(); }
};

}  // namespace

TEST_F(Templates, TemplateEffectsFollowTheReference) {
  const int kBuilds = 100;  // per monster and template: enough rolls to see the hit die's range
  std::set<std::string> seen;
  Char* c = new Char();
  Wire(c);
  for (const Subject& s : kSubjects) {
    int m = FindByNameOrFault(gSource.monsters, gSource.monsterCount, s.name);
    ASSERT_GE(m, 0) << s.name;
    for (int t = 1; t < gSource.templateCount; ++t) {
      std::string tpl = gSource.templates[t].name.c_str();
      bool humanoidOnly = tpl == "Vampire" || tpl == "Lich" || tpl == "Demilich" || tpl == "WormThatWalks" ||
                          tpl.rfind("Were", 0) == 0 || tpl == "Lycanthrope" || tpl == "DireWereboar";
      if (humanoidOnly && !s.humanoid) continue;  // these templates take humanoids
      if (tpl == "Ghost" && s.cha < 6) continue;
      int32_t high = 0;
      int cr = std::max(DetermineCR(m, 0, t, &high, false, false) % 1024, 1);
      int low = 1 << 30, top = 0;
      std::string who = std::string(s.name) + " " + tpl;
      bool were = tpl.rfind("Were", 0) == 0 || tpl == "Lycanthrope" || tpl == "DireWereboar";
      // Hit dice and die the template gives.
      int dice = tpl == "Zombie" ? 2 * s.hd : s.hd;
      int die = tpl == "Skelleton" || tpl == "Zombie" || tpl == "Vampire" || tpl == "Ghost" || tpl == "Lich" ||
                        tpl == "Demilich"
                    ? 12
                : tpl == "HalfDragon"    ? std::min(s.die + 2, 12)
                : tpl == "WormThatWalks" ? 8
                                         : s.die;
      for (int n = 0; n < kBuilds; ++n) {
        Preset(c, 1, cr);
        record_[rec::kFixedMonster] = m;
        record_[rec::kParam10] = t;
        CreateCreature(c, 1);
        ASSERT_EQ(c->templateIndex, t) << who;
        low = std::min(low, c->hitPoints);
        top = std::max(top, c->hitPoints);
        int dex = s.dex + gSource.templates[t].attributeMods[1];
        int size = std::clamp(s.size, 0, 8);
        int sizeMod = std::array<int, 9>{8, 4, 2, 1, 0, -1, -2, -4, -8}[size];
        int ac = 10 + c->AC;
        if (tpl == "Skelleton") {
          if (!s.worn) {
            EXPECT_EQ(ac, 10 + sizeMod + Mod(dex) + kSkeletonArmour[size]) << who;
          }
          EXPECT_EQ(c->Init + c->MGE, Mod(dex) + 4) << who;  // Improved Initiative alone
        } else if (tpl == "Zombie") {
          EXPECT_EQ(ac, s.ac - Mod(s.dex) + Mod(dex) + kZombieArmour[size]) << who;
          EXPECT_EQ(c->featCount, 1) << who;
          EXPECT_TRUE(Has(c, "Zähigkeit")) << who;
          EXPECT_EQ(c->skillCount, 0) << who;
        } else if (tpl == "Vampire") {
          EXPECT_EQ(ac, s.ac - Mod(s.dex) + Mod(dex) + 6) << who;
          for (const char* f : {"Wachsamkeit", "Kampfreflexe", "VerbesserteInitiative", "BlitzschnelleReflexe"})
            EXPECT_TRUE(Has(c, f)) << who << " lacks " << f;
          EXPECT_EQ(Has(c, "Ausweichen"), dex >= 13) << who;
        } else if (tpl == "Ghost") {
          int cha = s.cha + 4;
          if (!s.worn) {
            EXPECT_EQ(ac, s.ac - s.natural + std::max(Mod(cha), 1)) << who;  // manifested
          }
        } else if (tpl == "Lich") {
          if (!s.worn) {
            EXPECT_EQ(ac, s.ac - s.natural + std::max(s.natural, 5)) << who;
          }
        } else if (tpl == "Demilich") {
          for (const char* f : {"Blitzgeschwindigkeit", "BeharrlicheMagie", "AutomatischBeschleunigteZauber"})
            EXPECT_TRUE(Has(c, f)) << who << " lacks " << f;
        } else if (tpl == "HalfDragon") {
          EXPECT_EQ(ac, s.ac + 4) << who;
          EXPECT_EQ(TypeOf(c), "Dragon") << who;
        } else if (tpl == "HalfCelestial" || tpl == "HalfFiend") {
          EXPECT_EQ(c->MR, std::min(s.hd + 10, 35)) << who;
          EXPECT_EQ(ac, s.ac - Mod(s.dex) + Mod(dex) + 1) << who;
        } else if (tpl == "Celestial" || tpl == "Fiendish") {
          EXPECT_EQ(c->MR, std::min(s.hd + 5, 25)) << who;
        } else if (tpl == "Paragon") {
          EXPECT_EQ(c->MR, c->cr + 25) << who;
          if (!s.worn) {
            EXPECT_EQ(ac, s.ac - Mod(s.dex) + Mod(dex) + 24 + std::max(5 - s.natural, 0)) << who;
          }
        } else if (tpl == "Pseudonatural") {
          EXPECT_EQ(c->MR, s.hd * 5) << who;
        } else if (tpl == "WormThatWalks") {
          EXPECT_EQ(c->MR, c->cr + 10) << who;
        } else if (were) {
          EXPECT_TRUE(Has(c, "EisernerWille")) << who;
        }
        if (tpl == "Phrenic" || tpl == "Celestial" || tpl == "Fiendish") {
          if (s.animal) {
            EXPECT_EQ(TypeOf(c), "MagicalBeast") << who;
          }
        }
        EXPECT_EQ(c->Level, dice) << who;
        EXPECT_EQ(c->MonsterTWType, die) << who;
        // Undead have no Constitution: their d12s alone give hit points (a zombie's
        // Toughness 3 more); skeletons and zombies have no Intelligence either, and
        // their Fortitude is the undead base save (1 per 3 hit dice) alone.
        if (die == 12 && tpl != "HalfDragon") {
          EXPECT_EQ(c->KO, 0) << who;
          EXPECT_GE(c->shownHitPoints, dice) << who;
          EXPECT_LE(c->shownHitPoints, dice * 12 + (tpl == "Zombie" ? 3 : 0)) << who;
        }
        if (tpl == "Skelleton" || tpl == "Zombie") {
          EXPECT_EQ(c->IN, 0) << who;
          EXPECT_EQ(SaveTotal(c, 2), dice / 3) << who;
        }
        seen.insert(tpl);
      }
      // The rolls spread over the template's die: never wider, and wider than the base
      // creature's die allows where the template enlarges it.
      if (were) continue;  // a lycanthrope adds its animal's dice
      EXPECT_LE(top - low, dice * (die - 1)) << who;
      if (dice * die > s.hd * s.die && dice <= 2) {
        EXPECT_GT(top - low, s.hd * (s.die - 1)) << who;
      }
    }
  }
  FreeCharBonuses(c);
  delete c;
  // Every template of the table was built on some base creature.
  EXPECT_EQ(seen.size(), (size_t)gSource.templateCount - 1);
}

// Wererats may be giants, like every lycanthrope.
TEST_F(Templates, LycanthropesTakeHumanoidsAndGiants) {
  int giant = FindByNameOrFault(gSource.monsters, gSource.monsterCount, "HillGiant");
  ASSERT_GE(giant, 0);
  for (const char* name : {"Lycanthrope", "Werebear", "Wereboar", "Wererat", "Weretiger", "DireWereboar"}) {
    int t = FindByNameOrFault(gSource.templates, gSource.templateCount, name);
    ASSERT_GE(t, 0) << name;
    int32_t high = 0;
    EXPECT_LT(DetermineCR(giant, 0, t, &high, false, false), 1024) << name;
  }
}
