// Companions and every creature kind: a mount's tier, the familiar's price, and a
// corpus of creatures of every kind and CR with their companions nested in the export.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <string>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/companions.h"
#include "generator/mixed.h"
#include "generator/source_fixture.h"
#include "shell/sheet.h"
#include "text_util.h"

using namespace debugspace;

namespace {

class Companions : public generator_test::CreationFixture {};

}  // namespace

TEST_F(Companions, StrengthRaisesNaturalAttacksWithItsModifier) {
  Char* c = new Char();
  Wire(c);
  c->ST = 15;
  c->attackCount = 1;
  c->naturals[0].attack = 3;
  c->naturals[0].damage[2] = 2;
  RaiseStrength(c, 2);  // 15 to 17: the modifier rises by 1
  EXPECT_EQ(c->ST, 17);
  EXPECT_EQ(c->MST, 3);
  EXPECT_EQ(c->naturals[0].attack, 4);
  EXPECT_EQ(c->naturals[0].damage[2], 3);
  int32_t counter = 0, field = 3;
  EXPECT_EQ(RaiseToMaster(&field, 7, &counter), 4);
  EXPECT_EQ(field, 7);
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(RaiseToMaster(&field, 5, &counter), 0);
  delete c;
}

TEST_F(Companions, EveryKindAndCRBuildsAndNestsItsCompanions) {
  // 2040 creatures: kinds 0 (characters), 1 (monsters), 2 (mixed), 3 (treasure),
  // 4 (NPC classes) and -1 (any), CR 0 to 50 in turn.
  Char* c = new Char();
  Wire(c);
  const int kinds[] = {0, 1, 2, 3, 4, -1};
  int companions = 0, nested = 0;
  for (int n = 0; n < 2040; ++n) {
    int kind = kinds[n % 6], cr = (n / 6) % 51;
    Preset(c, kind, cr);
    CreateCreature(c, 1);
    // A monster choice that finds nothing (CR 45 without templates) is made again at the same CR.
    if (kind == 1) {
      EXPECT_EQ(c->cr, cr);
    }
    int here = (c->familiarChar != nullptr) + (c->mountChar != nullptr) + (c->servantChar != nullptr) + c->companionCount;
    if (here == 0) continue;
    companions += here;
    // Every bound companion shows the two familiar lines its master gave it.
    for (const Char* k : {c->familiarChar, c->mountChar, c->servantChar}) {
      if (!k) continue;
      std::string notes(k->specialText->data, k->specialText->length);
      EXPECT_NE(notes.find("Empatische Verbindung mit dem Meister"), std::string::npos) << notes;
      EXPECT_EQ(notes.find("Kann mit seinem Meister sprechen") != std::string::npos, k->familiarFlags[2] != 0) << notes;
    }
    // The export holds the companions inside the master's block.
    char path[] = "/tmp/schmiede-companions-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* f = fdopen(fd, "w+");
    PrintChar(c, 0, 1, f);
    fflush(f);
    rewind(f);
    std::string exported;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, f)) > 0;) exported.append(buffer, got);
    fclose(f);
    remove(path);
    std::vector<std::string> blocks = ExportedCreatures(exported);
    ASSERT_EQ(blocks.size(), 1u) << exported.substr(0, 2000);
    nested += CountOf(blocks[0], "STARTFAMILIAR\n") + CountOf(blocks[0], "STARTMOUNT\n") +
              CountOf(blocks[0], "STARTSERVANT\n") + CountOf(blocks[0], "STARTCOMPANION=");
  }
  EXPECT_GT(companions, 20);
  EXPECT_EQ(nested, companions);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Companions, MixedCreaturesMergeTheirClassPart) {
  // Half ranks of the same skill make a whole rank; a new entry takes the better ability.
  Char* c = new Char();
  Wire(c);
  c->skillCount = 0;
  MergeSkill(c, 0, 2, 5, 0, 1, 0);
  MergeSkill(c, 0, 1, 5, 2, 3, 0);
  ASSERT_EQ(c->skillCount, 1);
  EXPECT_EQ(c->skills[0].ranks, 2 + 1 + 1);
  EXPECT_EQ(c->skills[0].halfRank, 0);
  EXPECT_EQ(c->skills[0].ability, 3);
  delete c;

  // Forced mixed monsters: the class part's classes join the monster, its base attack adds
  // to the monster's, an absent ability stays absent.
  c = new Char();
  Wire(c);
  int merged = 0, equipped = 0;
  // The class part's equipment follows its monster's type: always for these, never for those.
  const std::set<std::string> always = {"Fey", "Giant", "Humanoid", "MonstrousHumanoid", "Outsider", "Undead"};
  const std::set<std::string> never = {"Animal", "Construct", "Elemental", "MagicalBeast", "Ooze", "Plant", "Vermin"};
  for (int n = 0; n < 60; ++n) {
    record_.assign(kRecordWords, 0);
    record_[rec::kDiceMethod] = -1;
    record_[rec::kCRMin] = record_[rec::kCRMax] = 4 + n % 12;
    record_[rec::kKind] = 1;
    record_[rec::kForceMixed] = 1;
    record_[rec::kFixedMonster] = -1;
    record_[rec::kFixedRace] = -1;
    record_[rec::kStoredHitPoints] = kNoHitPoints;
    c->record = record_.data();
    CreateCreature(c, 1);
    if (!c->mixed) continue;
    ++merged;
    EXPECT_GE(c->classCount, part_->classCount) << n;
    EXPECT_EQ(c->GA, c->monsterBase[0] + part_->GA) << n;
    // The class levels give the attacks per round.
    EXPECT_EQ(c->Attacks, part_->Attacks) << n;
    // A zeroed record asks for no dice (the scores are the monster's); a profile takes 1.
    EXPECT_EQ(part_->diceMethod, part_->profileMode ? 1 : 0) << n;
    std::string type = c->creatureType >= 0 ? gSource.monsterTypes[c->creatureType].name.c_str() : "";
    if (always.count(type)) {
      ++equipped;
      EXPECT_GT(c->treasureIndex, 0) << n << " " << type;
    }
    if (never.count(type)) {
      EXPECT_EQ(c->treasureIndex, 0) << n << " " << type;
    }
    for (int a = 0; a < kAttributes; ++a)
      if (c->absent[a]) {
        EXPECT_EQ(AbilityScore(c, a), 0);
      }
  }
  EXPECT_GT(merged, 30);
  EXPECT_GT(equipped, 10);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Companions, NpcClassesAddLevelsAndCharactersHandOnWhatIsLeftOfTheirWealth) {
  // Humans of CR 9 have level 10; NPC classes, also when the record asks for them,
  // 10 / 5 + 10 + 1 = 13. Equipment put into treasure is paid out of the wealth:
  // only the rest is the treasure budget that goods and the sale value start from.
  Char* c = new Char();
  Wire(c);
  int human = FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch"), paid = 0;
  for (int n = 0; n < 40; ++n) {
    int kind = n % 2 ? 4 : 0;
    Preset(c, kind, 9);
    record_[rec::kFixedRace] = human;
    CreateCreature(c, 1);
    if (c->templateIndex == 0) {
      EXPECT_EQ(c->Level, kind == 4 ? 13 : 10) << n;
    }
    int32_t spent = 0;
    for (int i = 0; i < c->treasureIndex; ++i)
      if (c->items[i].treasure) spent += c->items[i].price + c->items[i].value;
    paid += spent > 0;
    EXPECT_EQ(c->treasureBudget, c->wealth - spent) << n;
  }
  EXPECT_GT(paid, 10);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Companions, TemplatedCharactersTakeTheTemplatesAbilityChanges) {
  // Every template raises Strength by 30 here: at levels 1 to 4 only a templated
  // character reaches 29, and every templated one does.
  std::vector<std::array<int32_t, kAttributes>> saved((size_t)gSource.templateCount);
  for (int t = 0; t < gSource.templateCount; ++t) {
    std::copy_n(gSource.templates[t].attributeMods, kAttributes, saved[(size_t)t].begin());
    std::fill_n(gSource.templates[t].attributeMods, kAttributes, 0);
    gSource.templates[t].attributeMods[0] = 30;
  }
  Char* c = new Char();
  Wire(c);
  int templated = 0;
  for (int n = 0; n < 400; ++n) {
    record_.assign(kRecordWords, 0);
    record_[rec::kDiceMethod] = -1;
    record_[rec::kCRMin] = record_[rec::kCRMax] = n % 4;
    record_[rec::kFixedMonster] = -1;
    record_[rec::kFixedRace] = -1;
    record_[rec::kStoredHitPoints] = kNoHitPoints;
    c->record = record_.data();
    CreateCreature(c, 1);
    templated += c->templateIndex > 0;
    EXPECT_EQ(c->templateIndex > 0, c->ST >= 29) << n << ": " << c->ST;
  }
  for (int t = 0; t < gSource.templateCount; ++t)
    std::copy(saved[(size_t)t].begin(), saved[(size_t)t].end(), gSource.templates[t].attributeMods);
  EXPECT_GT(templated, 5);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Companions, EpicAnimalsServeAsAnimalCompanions) {
  // With up to 40 hit dice the legendary bear (20 to 40) and tiger (26 to 40) fit.
  const int epic[2] = {FindByNameOrFault(gSource.monsters, gSource.monsterCount, "LegendärerBär"),
                       FindByNameOrFault(gSource.monsters, gSource.monsterCount, "LegendärerTiger")};
  int found = 0;
  for (int n = 0; n < 1000 && !found; ++n) {
    Char* c = new Char();
    Wire(c);
    record_.assign(kRecordWords, 0);
    c->record = record_.data();
    c->AnimalCompanion = 40;
    DoCompanions(c);
    for (int k = 0; k < c->companionCount; ++k)
      found += c->companionChars[k]->monster == epic[0] || c->companionChars[k]->monster == epic[1];
    FreeCharBonuses(c);
    delete c;
  }
  EXPECT_GT(found, 0);
}

TEST_F(Companions, AFiendishMindlessVerminThinksWithIntelligenceThree) {
  // The fiendish template gives Intelligence 3 at least, also to a mindless vermin:
  // a present score with its modifier.
  Char* c = new Char();
  Wire(c);
  record_.assign(kRecordWords, 0);
  record_[rec::kKind] = 1;
  record_[rec::kFixedMonster] = FindByNameOrFault(gSource.monsters, gSource.monsterCount, "GiantAntWorker");
  record_[rec::kParam10] = FindByNameOrFault(gSource.templates, gSource.templateCount, "Fiendish");
  record_[rec::kCRMin] = record_[rec::kCRMax] = 1;
  c->record = record_.data();
  CreateCreature(c, 1);
  ASSERT_EQ(c->templateIndex, record_[rec::kParam10]);
  EXPECT_FALSE(c->absent[3]);
  EXPECT_EQ(c->IN, 3);
  EXPECT_EQ(c->MIN, -4);
  FreeCharBonuses(c);
  delete c;
}

TEST_F(Companions, FamiliarAndServantFollowTheMastersNumbers) {
  // Familiar: at least half the master's final hit points (70 here), once they are set.
  // Servant of level 7: u = (7 - 10) / 3 = -1, so the monster's own hit dice.
  int familiars = 0, servants = 0;
  for (int n = 0; n < 200 && (familiars < 3 || servants < 3); ++n) {
    Char* c = new Char();
    Wire(c);
    record_.assign(kRecordWords, 0);
    c->record = record_.data();
    c->hitPoints = 40;
    c->TP = 30;
    c->money = 1000;
    c->Familiar = 1;
    c->Servant = 7;
    DoCompanions(c);
    c->shownHitPoints = 71;
    FamiliarHitPoints(c);
    if (Char* f = c->familiarChar) {
      ++familiars;
      EXPECT_EQ(f->shownHitPoints, std::max(35, f->hitPoints + f->TP));
    }
    if (c->servantChar) {
      ++servants;
      EXPECT_EQ(c->servantChar->Level, gSource.monsters[c->servantChar->monster].hd);
    }
    FreeCharBonuses(c);
    delete c;
  }
  EXPECT_GE(familiars, 3);
  EXPECT_GE(servants, 3);
}
