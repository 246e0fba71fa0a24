// Companions and every creature kind: a corpus of every kind and CR with its companions
// nested in the export, mixed creatures, and the SRD 3.5 companion, mount and familiar tables.
#include <array>
#include <set>

#include "generator/companions.h"
#include "generator/mixed.h"
#include "generator/source_fixture.h"
#include "text_util.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Companions : public CreationFixture {};

}  // namespace

TEST_F(Companions, StrengthRaisesNaturalAttacksWithItsModifier) {
  Char* c = Wired();
  c->ST = 15;
  c->attackCount = 1;
  c->naturals[0].attack = 3;
  c->naturals[0].damage[2] = 2;
  RaiseStrength(c, 2);  // 15 to 17: the modifier rises by 1
  EXPECT_EQ((std::array{c->ST, c->MST, c->naturals[0].attack, c->naturals[0].damage[2]}), (std::array{17, 3, 4, 3}));
  int32_t counter = 0, field = 3;
  EXPECT_EQ(RaiseToMaster(&field, 7, &counter), 4);
  EXPECT_EQ(field * 10 + counter, 74);
  EXPECT_EQ(RaiseToMaster(&field, 5, &counter), 0);
}

TEST_F(Companions, EveryKindAndCRBuildsAndNestsItsCompanions) {
  Char* c = Wired();
  const int kinds[] = {0, 1, 2, 3, 4, -1};
  int companions = 0, nested = 0;
  for (int n = 0; n < 2040; ++n) {
    int kind = kinds[n % 6], cr = (n / 6) % 51;
    Preset(c, kind, cr);
    CreateCreature(c, 1);
    EXPECT_TRUE(kind != 1 || c->cr == cr) << c->cr;  // a failed monster choice is made again at the same CR
    int here =
        (c->familiarChar != nullptr) + (c->mountChar != nullptr) + (c->servantChar != nullptr) + c->companionCount;
    if (here == 0) continue;
    companions += here;
    for (const Char* k : {c->familiarChar, c->mountChar, c->servantChar}) {
      if (!k) continue;
      std::string notes = Notes(k);
      EXPECT_NE(notes.find("Empatische Verbindung mit dem Meister"), std::string::npos) << notes;
      EXPECT_EQ(notes.find("Kann mit seinem Meister sprechen") != std::string::npos, k->familiarFlags[2] != 0) << notes;
    }
    std::vector<std::string> blocks = ExportedCreatures(Export(c));
    ASSERT_EQ(blocks.size(), 1u);
    nested += CountOf(blocks[0], "STARTFAMILIAR\n") + CountOf(blocks[0], "STARTMOUNT\n") +
              CountOf(blocks[0], "STARTSERVANT\n") + CountOf(blocks[0], "STARTCOMPANION=");
  }
  EXPECT_GT(companions, 20);
  EXPECT_EQ(nested, companions);
}

TEST_F(Companions, MixedCreaturesMergeTheirClassPart) {
  // Half ranks of the same skill make a whole rank; a new entry takes the better ability.
  Char* c = Wired();
  c->skillCount = 0;
  MergeSkill(c, 0, 2, 5, 0, 1, 0);
  MergeSkill(c, 0, 1, 5, 2, 3, 0);
  ASSERT_EQ(c->skillCount, 1);
  EXPECT_EQ(c->skills[0].ranks, 2 + 1 + 1);
  EXPECT_EQ(c->skills[0].halfRank, 0);
  EXPECT_EQ(c->skills[0].ability, 3);

  // Forced mixed monsters: the class part's classes join the monster, its base attack adds
  // to the monster's and gives the attacks per round, an absent ability stays absent.
  c = Wired();
  int merged = 0, equipped = 0;
  // The class part's equipment follows its monster's type: always for these, never for those.
  const std::set<std::string> always = {"Fey", "Giant", "Humanoid", "MonstrousHumanoid", "Outsider", "Undead"};
  const std::set<std::string> never = {"Animal", "Construct", "Elemental", "MagicalBeast", "Ooze", "Plant", "Vermin"};
  for (int n = 0; n < 60; ++n) {
    Preset(c, 2, 4 + n % 12);
    CreateCreature(c, 1);
    if (!c->mixed) continue;
    ++merged;
    std::string type = c->creatureType >= 0 ? TypeName(c) : "";
    SCOPED_TRACE(std::to_string(n) + " " + type);
    EXPECT_GE(c->classCount, part_->classCount);
    EXPECT_EQ(c->GA, c->monsterBase[0] + part_->GA);
    EXPECT_EQ(c->Attacks, part_->Attacks);
    // A zeroed record asks for no dice (the scores are the monster's); a profile takes 1.
    EXPECT_EQ(part_->diceMethod, part_->profileMode ? 1 : 0);
    equipped += always.count(type) > 0;
    EXPECT_TRUE(always.count(type) ? c->treasureIndex > 0 : !never.count(type) || c->treasureIndex == 0);
    for (int a = 0; a < kAttributes; ++a) EXPECT_TRUE(!c->absent[a] || AbilityScore(c, a) == 0) << a;
  }
  EXPECT_GT(merged, 30);
  EXPECT_GT(equipped, 10);
}

TEST_F(Companions, NpcClassesAddLevelsAndCharactersHandOnWhatIsLeftOfTheirWealth) {
  // Humans of CR 9 have level 10; NPC classes, also when the record asks for them, 10 / 5 + 10 + 1 = 13.
  // Equipment put into treasure is paid from the wealth: the rest is the treasure budget.
  Char* c = Wired();
  int human = RaceId("Mensch"), paid = 0;
  for (int n = 0; n < 40; ++n) {
    int kind = n % 2 ? 4 : 0;
    Preset(c, kind, 9);
    record_[rec::kFixedRace] = human;
    CreateCreature(c, 1);
    EXPECT_TRUE(c->templateIndex || c->Level == (kind == 4 ? 13 : 10)) << n << ": " << c->Level;
    int32_t spent = 0;
    for (int i = 0; i < c->treasureIndex; ++i)
      if (c->items[i].treasure) spent += c->items[i].price + c->items[i].value;
    paid += spent > 0;
    EXPECT_EQ(c->treasureBudget, c->wealth - spent) << n;
  }
  EXPECT_GT(paid, 10);
}

TEST_F(Companions, TemplatedCharactersTakeTheTemplatesAbilityChanges) {
  // Every template raises Strength by 30 here: at levels 1 to 4 exactly the templated reach 29.
  std::vector<std::array<int32_t, kAttributes>> saved((size_t)gSource.templateCount);
  for (int t = 0; t < gSource.templateCount; ++t) {
    std::copy_n(gSource.templates[t].attributeMods, kAttributes, saved[(size_t)t].begin());
    std::fill_n(gSource.templates[t].attributeMods, kAttributes, 0);
    gSource.templates[t].attributeMods[0] = 30;
  }
  Char* c = Wired();
  int templated = 0;
  for (int n = 0; n < 400; ++n) {
    Preset(c, 0, n % 4);
    CreateCreature(c, 1);
    templated += c->templateIndex > 0;
    EXPECT_EQ(c->templateIndex > 0, c->ST >= 29) << n << ": " << c->ST;
  }
  for (int t = 0; t < gSource.templateCount; ++t)
    std::copy(saved[(size_t)t].begin(), saved[(size_t)t].end(), gSource.templates[t].attributeMods);
  EXPECT_GT(templated, 5);
}

// The fiendish template gives Intelligence 3 at least, also to a mindless vermin.
TEST_F(Companions, AFiendishMindlessVerminThinksWithIntelligenceThree) {
  Char* c = Wired();
  Preset(c, 1, 1);
  record_[rec::kFixedMonster] = MonsterId("GiantAntWorker");
  record_[rec::kParam10] = TemplateId("Fiendish");
  CreateCreature(c, 1);
  ASSERT_EQ(c->templateIndex, record_[rec::kParam10]);
  EXPECT_EQ((std::array<int, 3>{c->absent[3], c->IN, c->MIN}), (std::array<int, 3>{0, 3, -4}));
}

// A bare master's companions: an animal companion of up to 40 hit dice may be the
// legendary bear (20 to 40) or tiger (26 to 40); a familiar has at least half the master's
// final hit points (70 here) once they are set; a servant of level 7 (u = (7 - 10) / 3 =
// -1) the monster's own hit dice.
TEST_F(Companions, CompanionsFollowTheMastersNumbers) {
  const int epic[2] = {MonsterId("LegendärerBär"), MonsterId("LegendärerTiger")};
  int found = 0, familiars = 0, servants = 0;
  for (int n = 0; n < 1000 && (!found || familiars < 3 || servants < 3); ++n) {
    Char* c = Wired();
    record_.assign(kRecordWords, 0);
    c->record = record_.data();
    c->hitPoints = 40;
    c->TP = 30;
    c->money = 1000;
    c->AnimalCompanion = 40;
    c->Familiar = 1;
    c->Servant = 7;
    DoCompanions(c);
    c->shownHitPoints = 71;
    FamiliarHitPoints(c);
    for (int k = 0; k < c->companionCount; ++k)
      found += c->companionChars[k]->monster == epic[0] || c->companionChars[k]->monster == epic[1];
    if (Char* f = c->familiarChar) {
      ++familiars;
      EXPECT_EQ(f->shownHitPoints, std::max(35, f->hitPoints + f->TP));
    }
    if (c->servantChar) {
      ++servants;
      EXPECT_EQ(c->servantChar->Level, gSource.monsters[c->servantChar->monster].hd);
    }
    FreeChars();
  }
  EXPECT_GT(found, 0);
  EXPECT_GE(familiars, 3);
  EXPECT_GE(servants, 3);
}

namespace {

// A sample of the druid's list: animal, first druid level of its list, hit dice and size.
const char kCompanions[] =
    "Dachs 1 1 Small, Kamel 1 3 Large, Hund 1 1 Small, Reithund 1 2 Medium, Falke 1 1 Tiny, Reitpferd 1 3 Large, "
    "Wolf 1 2 Medium, Menschenaffe 4 4 Large, Schwarzbär 4 3 Medium, Bison 4 5 Large, Leopard 4 3 Medium, "
    "Braunbär 7 6 Large, Riesenkrokodil 7 7 Huge, Tiger 7 6 Large, Eisbär 10 8 Large, Megaraptor 10 8 Huge, "
    "Schreckensbär 13 12 Large, Elefant 13 11 Huge, Schreckenstiger 16 16 Large, Tyrannosaurus 16 18 Huge";

// Bonus hit dice of the companion table by effective druid level; above 20th, +2 per three levels.
int CompanionBonusDice(int level) {
  const int kRows[][2] = {{1, 0}, {3, 2}, {6, 4}, {9, 6}, {12, 8}, {15, 10}, {18, 12}};
  int bonus = 0;
  for (const auto& row : kRows) bonus = level >= row[0] ? row[1] : bonus;
  return bonus + (level > 20 ? (level - 20) / 3 * 2 : 0);
}

// The familiar list, and the improved familiars by arcane level.
const std::pair<const char*, int> kFamiliars[] = {
    {"Fledermaus", 1},    {"Katze", 1},  {"Falke", 1},         {"Eidechse", 1},
    {"Eule", 1},          {"Ratte", 1},  {"Rabe", 1},          {"WinzigeViper", 1},
    {"Kröte", 1},         {"Wiesel", 1}, {"ShockerLizard", 5}, {"Stirge", 5},
    {"FormianWorker", 7}, {"Imp", 7},    {"Pseudodragon", 7},  {"Quasit", 7}};

}  // namespace

TEST_F(Companions, Srd35CompanionsFollowTheDruidPaladinAndFamiliarTables) {
  Char* c = Wired();
  int companions = 0, mounts = 0, familiars = 0;
  for (int n = 0; n < 400; ++n) {
    CreateSrd35(c, 0, 1 + n % 20);
    SCOPED_TRACE("character " + std::to_string(n));
    int ranger = Levels(c, "Waldläufer"), druid = Levels(c, "Druide") + (ranger >= 4 ? ranger / 2 : 0);
    ASSERT_EQ(c->companionCount, druid >= 1 ? 1 : 0);
    const std::string name = druid >= 1 ? MonsterName(c->companionChars[0]) : "-";
    if (size_t at = (std::string(", ") + kCompanions).find(", " + name + " "); at != std::string::npos) {
      const Char* a = c->companionChars[0];
      int list = 0, hd = 0;
      char size[16] = {};
      sscanf(kCompanions + at + name.size(), " %d %d %15[A-Za-z]", &list, &hd, size);
      EXPECT_LE(list, druid) << name;
      EXPECT_EQ(a->Level, hd + CompanionBonusDice(druid - (list - 1))) << name;
      EXPECT_EQ(SizeName(a), size) << name;
      ++companions;
    }
    // Mount: heavy warhorse (4 HD) or warpony (2 HD); bonus HD and Int by paladin level.
    int paladin = Levels(c, "Paladin");
    ASSERT_EQ(c->mountChar != nullptr, paladin >= 5);
    if (c->mountChar) {
      const int kRows[][3] = {{5, 2, 6}, {8, 4, 7}, {11, 6, 8}, {15, 8, 9}};
      int bonus = 0, intelligence = 0;
      for (const auto& row : kRows)
        if (paladin >= row[0]) bonus = row[1], intelligence = row[2];
      const Char* m = c->mountChar;
      int hd = MonsterName(m) == "SchweresKriegspferd" ? 4 : MonsterName(m) == "Kriegspony" ? 2 : -1;
      ASSERT_GT(hd, 0) << MonsterName(m);
      EXPECT_EQ(m->Level * 100 + m->IN, (hd + bonus) * 100 + intelligence);
      ++mounts;
    }
    if (const Char* f = c->familiarChar) {
      int level = 0;
      for (const auto& [name, from] : kFamiliars) level = MonsterName(f) == name ? from : level;
      ASSERT_GT(level, 0) << MonsterName(f);
      EXPECT_LE(level, level > 1 ? c->Familiar : 1) << MonsterName(f);
      EXPECT_EQ(f->shownHitPoints, c->shownHitPoints / 2);
      ++familiars;
    }
  }
  EXPECT_GE(companions, 8);
  EXPECT_GE(mounts, 5);
  EXPECT_GE(familiars, 3);
}

TEST_F(Companions, Srd35MonsterWithClassLevelsCountsItsHitDiceByTheSrd) {
  Char* c = Wired();
  // Humanoids of one hit die, advanced by character class only.
  const char* const kOneDie[] = {"Kobold", "Goblin", "Orc", "Hobgoblin"};
  // A feat of the monster's stat block, kept beside the class levels' feats.
  const std::pair<const char*, const char*> kStatBlockFeat[] = {
      {"Azer", "HeftigerAngriff"},      {"Gnoll", "HeftigerAngriff"}, {"HillGiant", "HeftigerAngriff"},
      {"Minotaur", "HeftigerAngriff"},  {"Bugbear", "Wachsamkeit"},   {"Lizardfolk", "Mehrfachangriff"},
      {"Troglodyte", "Mehrfachangriff"}};
  int skills = 0, replaced = 0, kept = 0, focused = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, 2, 2 + n % 25);
    SCOPED_TRACE("mixed creature " + std::to_string(n) + " " + MonsterName(c));
    for (int e = 0; e < c->skillCount; ++e, ++skills) EXPECT_LE(c->skills[e].ranks, c->Level + 3);
    for (const auto& [name, feat] : kStatBlockFeat)
      if (MonsterName(c) == name) {
        EXPECT_GT(Holds(c, feat), 0) << feat;
        ++kept;
      }
    // Spell Focus: +1 on the DC of the school's spells, the class levels' spells too.
    for (int f = 0; f < c->featCount; ++f) {
      for (int slot = 0; slot < c->classCount && gSource.feats[c->feats[f]].name == "Zauberfokus"; ++slot)
        for (int level = 0; level <= 9; ++level)
          for (int k = 0; k < c->spellsChosenCount[slot][level] && k < 10; ++k) {
            int sp = c->spellsChosen[slot][level][k];
            if (sp < 0 || sp >= gSource.spellCount || gSource.spells[sp].school != c->featParameters[f]) continue;
            EXPECT_GE(SpellDC(c, slot, sp, level), SpellDC(c, slot, -1, level) + 1);
            ++focused;
          }
    }
    for (const char* name : kOneDie)
      if (MonsterName(c) == name) {
        EXPECT_EQ(c->Level, c->classHitDice);
        ++replaced;
      }
  }
  EXPECT_GE(skills, 300);
  EXPECT_GE(replaced, 3);
  EXPECT_GE(kept, 2);
  EXPECT_GE(focused, 3);
}
