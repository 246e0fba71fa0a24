// Monsters against the reference rules: skill totals carry the modifier of the final
// ability score, advancement adds no more ranks than hit dice, and advanced monsters
// take the good and poor saves and the feats of their hit dice.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "generator/source_fixture.h"

using namespace debugspace;

namespace {

class MonsterCorpus : public generator_test::CreationFixture {
 protected:
  // Key ability of every skill (0 Str .. 5 Cha), typed from the reference.
  static int KeyAbility(const std::string& skill) {
    static const std::map<std::string, int> key = {
        {"Schätzen", 3}, {"Balancieren", 1}, {"Bluffen", 5}, {"Klettern", 0}, {"Konzentration", 2},
        {"Handwerk", 3}, {"SchriftzeichenEntschlüsseln", 3}, {"Diplomatie", 5}, {"MechanismusAusschalten", 3},
        {"Verkleiden", 5}, {"Entfesselungskünstler", 1}, {"Fälschen", 3}, {"InformationenSammeln", 5},
        {"MitTierenUmgehen", 5}, {"Heilkunde", 4}, {"Verstecken", 1}, {"Einschüchtern", 5}, {"Springen", 0},
        {"Lauschen", 4}, {"LeiseBewegen", 1}, {"SchlösserÖffnen", 1}, {"Auftreten", 5}, {"Beruf", 4},
        {"Reiten", 1}, {"Suchen", 3}, {"MotivErkennen", 4}, {"Fingerfertigkeit", 1}, {"SprachenSprechen", -1},
        {"Zauberkunde", 3}, {"Entdecken", 4}, {"Überlebenskunst", 4}, {"Schwimmen", 0}, {"Akrobatik", 1},
        {"MagischenGegenstandBenutzen", 5}, {"SeilBenutzen", 1}, {"Autohypnose", 4}, {"Psikunde", 3},
        {"PsionischenGegenstandBenutzen", 5}, {"Ausspähen", 3}};
    if (skill.rfind("Wissen", 0) == 0) return 3;
    auto it = key.find(skill);
    return it == key.end() ? -2 : it->second;
  }
  static int Modifier(int score) { return score >= 10 ? (score - 10) / 2 : -((11 - score) / 2); }

  // The skill entries of a monster or companion: the ability part of each total is the
  // modifier of the creature's final score; hit dice beyond the row's add at most one
  // rank per hit die to a skill (the maximum rises by one rank per hit die).
  void CheckSkills(const Char* x, const std::string& who, int* checked) {
    const MonsterSource& row = gSource.monsters[x->monster];
    for (int e = 0; e < x->skillCount; ++e) {
      const CharSkill& k = x->skills[e];
      std::string name = gSource.skills[k.skill].name.c_str();
      int key = KeyAbility(name);
      ASSERT_NE(key, -2) << "no key ability typed for " << name;
      if (key < 0 || (&x->ST)[key] <= 0) continue;  // no key ability, or the score is absent
      EXPECT_EQ(k.total - k.ranks - k.bonus - k.penalty, Modifier((&x->ST)[key]))
          << who << " " << name << " total " << k.total << " with score " << (&x->ST)[key];
      int listed = 0;
      for (int i = 0; i < row.skillCount; ++i)
        if (row.skills[i][0] == k.skill) listed = row.skills[i][1];
      if (listed > 0 && x->templateIndex == 0) {  // a template's script may add ranks of its own
        EXPECT_LE(k.ranks - listed, std::max(x->Level - row.hd, 0)) << who << " " << name;
      }
      ++*checked;
    }
  }
};

}  // namespace

TEST_F(MonsterCorpus, SkillTotalsFollowTheFinalAbilities) {
  Char* c = new Char();
  Wire(c);
  int checked = 0, advanced = 0, companions = 0;
  for (int n = 0; n < 600; ++n) {
    Preset(c, n % 2 == 0 ? 1 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    std::string who = "creature " + std::to_string(n);
    if (c->kind == 1 && !c->mixed && c->monster >= 0) {
      CheckSkills(c, who + " " + gSource.monsters[c->monster].name.c_str() + " " + gSource.templates[c->templateIndex].name.c_str() + " HD " + std::to_string(c->Level), &checked);
      advanced += c->Level > gSource.monsters[c->monster].hd;
    }
    std::vector<const Char*> kin = {c->familiarChar, c->mountChar, c->servantChar};
    for (int i = 0; i < c->companionCount; ++i) kin.push_back(c->companionChars[i]);
    for (const Char* k : kin)
      if (k) {
        CheckSkills(k, who + " companion " + gSource.monsters[k->monster].name.c_str(), &checked);
        ++companions;
      }
  }
  EXPECT_GT(checked, 1000);
  EXPECT_GT(advanced, 50);
  EXPECT_GT(companions, 20);
  delete c;
}

TEST_F(MonsterCorpus, AdvancedMonstersTakeTheSavesAndFeatsOfTheirHitDice) {
  // From the reference stat blocks: base hit dice, the good saves (Reflex, Will,
  // Fortitude), Intelligence or mindless, the feats listed, and the top of the advancement.
  struct Row {
    const char* name;
    int hd;
    const char* good;
    bool mind;
    int feats, top;
  } rows[] = {
      {"Wolf", 2, "RF", true, 2, 6},
      {"Schreckenswolf", 6, "RWF", true, 4, 18},
      {"Schreckenslöwe", 8, "RWF", true, 3, 24},
      {"Triceratops", 16, "RF", true, 6, 48},
      {"Owlbear", 5, "RF", true, 2, 15},
      {"AirElementalLarge", 8, "R", true, 5, 15},
      {"FireElementalMedium", 4, "R", true, 4, 7},
      {"EarthElementalLarge", 8, "F", true, 3, 15},
      {"InvisibleStalker", 8, "R", true, 3, 24},
      {"Belker", 7, "R", true, 3, 21},
      {"Magmin", 2, "R", true, 1, 6},
      {"Treant", 7, "F", true, 3, 21},
      {"ShamblingMound", 8, "F", true, 3, 24},
      {"Tendriculos", 9, "F", true, 4, 27},
      {"Zelekhut", 8, "", true, 3, 24},
      {"Homunculus", 2, "", true, 1, 6},
      {"WillOWisp", 9, "W", true, 5, 18},
      {"GrayOoze", 3, "", false, 0, 9},
      {"OchreJelly", 6, "", false, 0, 18},
      {"MonstrousSpiderHuge", 8, "F", false, 0, 15},
      {"MonstrousScorpionLarge", 5, "F", false, 0, 9},
  };
  Char* c = new Char();
  Wire(c);
  int built = 0;
  for (const Row& r : rows) {
    int m = FindByName(gSource.monsters, gSource.monsterCount, r.name);
    ASSERT_GE(m, 0) << r.name;
    for (int dice : {r.hd, r.hd + 1, (r.hd + r.top) / 2, r.top}) {
      Preset(c, 1, gSource.monsters[m].cr);
      record_[rec::kFixedMonster] = m;
      record_[rec::kMonsterOption] = dice;
      record_[rec::kParam10] = 0;
      CreateCreature(c, 1);
      std::string who = std::string(r.name) + " with " + std::to_string(dice) + " HD";
      ASSERT_EQ(c->Level, dice) << who;
      std::string good = r.good;
      auto base = [&](char save) { return good.find(save) != std::string::npos ? 2 + dice / 2 : dice / 3; };
      EXPECT_EQ(c->baseRef, base('R')) << who;
      EXPECT_EQ(c->baseWill, base('W')) << who;
      EXPECT_EQ(c->baseFort, base('F')) << who;
      // Any creature with Intelligence has a feat per three hit dice; a mindless one
      // keeps what its stat block lists.
      EXPECT_EQ(c->featCount, r.feats + (r.mind ? dice / 3 - r.hd / 3 : 0)) << who;
      ++built;
    }
  }
  EXPECT_EQ(built, 4 * (int)(sizeof rows / sizeof rows[0]));
  delete c;
}
