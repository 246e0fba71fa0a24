// Companions and mixed creatures by the SRD 3.5 rules, against figures typed in from the
// SRD: the druid's companion list and table, the paladin's mount table, the familiar list
// and its hit points, and the hit dice, feats, spell DCs and skill ranks of a monster
// with class levels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "generator/source_fixture.h"
#include "generator/spells.h"

using namespace debugspace;

namespace {

class Srd35Companions : public generator_test::CreationFixture {};

int Levels(const Char* c, const char* name) {
  int n = 0;
  for (int s = 0; s < c->classCount; ++s)
    if (gSource.classes[c->classes[s]].name == name) n += c->classLevels[s];
  return n;
}

const char* MonsterName(const Char* k) { return gSource.monsters[k->monster].name.c_str(); }
const char* SizeName(const Char* k) { return gSource.sizes[k->sizeIndex].name.c_str(); }

// The druid's list: the first druid level of the animal's list, its hit dice and size.
struct Animal {
  const char* name;
  int list, hd;
  const char* size;
};
const Animal kCompanions[] = {
    {"Dachs", 1, 1, "Small"}, {"Kamel", 1, 3, "Large"}, {"Schreckensratte", 1, 1, "Small"}, {"Hund", 1, 1, "Small"},
    {"Reithund", 1, 2, "Medium"}, {"Adler", 1, 1, "Small"}, {"Falke", 1, 1, "Tiny"}, {"Reitpferd", 1, 3, "Large"},
    {"SchweresPferd", 1, 3, "Large"}, {"Eule", 1, 1, "Tiny"}, {"Pony", 1, 2, "Medium"}, {"KleineViper", 1, 1, "Small"},
    {"MittlereViper", 1, 2, "Medium"}, {"Wolf", 1, 2, "Medium"}, {"Menschenaffe", 4, 4, "Large"},
    {"Schwarzbär", 4, 3, "Medium"}, {"Bison", 4, 5, "Large"}, {"Wildschwein", 4, 3, "Medium"}, {"Gepard", 4, 3, "Medium"},
    {"Schreckensdachs", 4, 3, "Medium"}, {"Schreckensfledermaus", 4, 4, "Large"}, {"Schreckenswiesel", 4, 3, "Medium"},
    {"Leopard", 4, 3, "Medium"}, {"Waran", 4, 3, "Medium"}, {"Würgeschlange", 4, 3, "Medium"},
    {"GroßeViper", 4, 3, "Large"}, {"Vielfraß", 4, 3, "Medium"}, {"Braunbär", 7, 6, "Large"},
    {"Schreckensvielfraß", 7, 5, "Large"}, {"Riesenkrokodil", 7, 7, "Huge"}, {"Deinonychus", 7, 4, "Large"},
    {"Schreckensaffe", 7, 5, "Large"}, {"Schreckenseber", 7, 7, "Large"}, {"Schreckenswolf", 7, 6, "Large"},
    {"Löwe", 7, 5, "Large"}, {"Nashorn", 7, 8, "Large"}, {"RiesigeViper", 7, 6, "Huge"}, {"Tiger", 7, 6, "Large"},
    {"Eisbär", 10, 8, "Large"}, {"Schreckenslöwe", 10, 8, "Large"}, {"Megaraptor", 10, 8, "Huge"},
    {"Riesenwürgeschlange", 10, 11, "Huge"}, {"Schreckensbär", 13, 12, "Large"}, {"Elefant", 13, 11, "Huge"},
    {"Schreckenstiger", 16, 16, "Large"}, {"Triceratops", 16, 16, "Huge"}, {"Tyrannosaurus", 16, 18, "Huge"}};

// Bonus hit dice of the companion table by effective druid level; above 20th, +2 per
// three levels.
int CompanionBonusDice(int level) {
  const int kRows[][2] = {{1, 0}, {3, 2}, {6, 4}, {9, 6}, {12, 8}, {15, 10}, {18, 12}};
  int bonus = 0;
  for (const auto& row : kRows)
    if (level >= row[0]) bonus = row[1];
  return bonus + (level > 20 ? (level - 20) / 3 * 2 : 0);
}

// The familiar list, and the improved familiars by arcane level.
const std::pair<const char*, int> kFamiliars[] = {
    {"Fledermaus", 1}, {"Katze", 1}, {"Falke", 1}, {"Eidechse", 1}, {"Eule", 1}, {"Ratte", 1}, {"Rabe", 1},
    {"WinzigeViper", 1}, {"Kröte", 1}, {"Wiesel", 1}, {"ShockerLizard", 5}, {"Stirge", 5}, {"FormianWorker", 7},
    {"Imp", 7}, {"Pseudodragon", 7}, {"Quasit", 7}};

}  // namespace

TEST_F(Srd35Companions, CompanionsFollowTheDruidPaladinAndFamiliarTables) {
  Char* c = new Char();
  Wire(c);
  int companions = 0, mounts = 0, familiars = 0;
  for (int n = 0; n < 400; ++n) {
    CreateSrd35(c, 0, 1 + n % 20);
    std::string who = "character " + std::to_string(n);
    int ranger = Levels(c, "Waldläufer"), druid = Levels(c, "Druide") + (ranger >= 4 ? ranger / 2 : 0);
    ASSERT_EQ(c->companionCount, druid >= 1 ? 1 : 0) << who;
    if (druid >= 1) {
      const Char* a = c->companionChars[0];
      const Animal* row = nullptr;
      for (const Animal& x : kCompanions)
        if (strcmp(x.name, MonsterName(a)) == 0) row = &x;
      ASSERT_NE(row, nullptr) << who << ": " << MonsterName(a);
      EXPECT_LE(row->list, druid) << who << ": " << row->name;
      EXPECT_EQ(a->Level, row->hd + CompanionBonusDice(druid - (row->list - 1))) << who << ": " << row->name;
      EXPECT_STREQ(SizeName(a), row->size) << who << ": " << row->name;
      ++companions;
    }
    // Mount: heavy warhorse (4 HD) or warpony (2 HD); bonus HD and Int by paladin level.
    int paladin = Levels(c, "Paladin");
    ASSERT_EQ(c->mountChar != nullptr, paladin >= 5) << who;
    if (c->mountChar) {
      const int kRows[][3] = {{5, 2, 6}, {8, 4, 7}, {11, 6, 8}, {15, 8, 9}};
      int bonus = 0, intelligence = 0;
      for (const auto& row : kRows)
        if (paladin >= row[0]) bonus = row[1], intelligence = row[2];
      const Char* m = c->mountChar;
      int hd = strcmp(MonsterName(m), "SchweresKriegspferd") == 0 ? 4 : strcmp(MonsterName(m), "Kriegspony") == 0 ? 2 : -1;
      ASSERT_GT(hd, 0) << who << ": " << MonsterName(m);
      EXPECT_EQ(m->Level, hd + bonus) << who;
      EXPECT_EQ(m->IN, intelligence) << who;
      ++mounts;
    }
    if (const Char* f = c->familiarChar) {
      int level = 0;
      for (const auto& [name, from] : kFamiliars)
        if (strcmp(name, MonsterName(f)) == 0) level = from;
      ASSERT_GT(level, 0) << who << ": " << MonsterName(f);
      EXPECT_LE(level, level > 1 ? c->Familiar : 1) << who << ": " << MonsterName(f);
      EXPECT_EQ(f->shownHitPoints, c->shownHitPoints / 2) << who;
      ++familiars;
    }
  }
  EXPECT_GE(companions, 20);
  EXPECT_GE(mounts, 5);
  EXPECT_GE(familiars, 3);
  delete c;
}

TEST_F(Srd35Companions, MonsterWithClassLevelsCountsItsHitDiceByTheSrd) {
  Char* c = new Char();
  Wire(c);
  // Humanoids of one hit die, advanced by character class only.
  const char* const kOneDie[] = {"Kobold", "Goblin", "Orc", "Hobgoblin"};
  // A feat of the monster's stat block, kept beside the class levels' feats.
  const std::pair<const char*, const char*> kStatBlockFeat[] = {{"Azer", "HeftigerAngriff"},
                                                                {"Gnoll", "HeftigerAngriff"},
                                                                {"HillGiant", "HeftigerAngriff"},
                                                                {"Minotaur", "HeftigerAngriff"},
                                                                {"Bugbear", "Wachsamkeit"},
                                                                {"Lizardfolk", "Mehrfachangriff"},
                                                                {"Troglodyte", "Mehrfachangriff"}};
  int skills = 0, replaced = 0, kept = 0, focused = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, 2, 2 + n % 25);
    for (int e = 0; e < c->skillCount; ++e, ++skills)
      EXPECT_LE(c->skills[e].ranks, c->Level + 3) << "mixed creature " << n << ", hit dice " << c->Level;
    for (const auto& [name, feat] : kStatBlockFeat)
      if (strcmp(MonsterName(c), name) == 0) {
        bool held = false;
        for (int i = 0; i < c->featCount; ++i) held = held || gSource.feats[c->feats[i]].name == feat;
        EXPECT_TRUE(held) << "mixed creature " << n << ": " << name << " without " << feat;
        ++kept;
      }
    // Spell Focus: +1 on the DC of the school's spells, the class levels' spells too.
    for (int f = 0; f < c->featCount; ++f) {
      if (!(gSource.feats[c->feats[f]].name == "Zauberfokus")) continue;
      for (int slot = 0; slot < c->classCount; ++slot)
        for (int level = 0; level <= 9; ++level)
          for (int k = 0; k < c->spellsChosenCount[slot][level] && k < 10; ++k) {
            int sp = c->spellsChosen[slot][level][k];
            if (sp < 0 || sp >= gSource.spellCount || gSource.spells[sp].school != c->featParameters[f]) continue;
            EXPECT_GE(SpellDC(c, slot, sp, level), SpellDC(c, slot, -1, level) + 1) << "mixed creature " << n;
            ++focused;
          }
    }
    for (const char* name : kOneDie)
      if (strcmp(MonsterName(c), name) == 0) {
        EXPECT_EQ(c->Level, c->classHitDice) << "mixed creature " << n << ": " << name;
        ++replaced;
      }
  }
  EXPECT_GE(skills, 300);
  EXPECT_GE(replaced, 3);
  EXPECT_GE(kept, 2);
  EXPECT_GE(focused, 3);
  delete c;
}
