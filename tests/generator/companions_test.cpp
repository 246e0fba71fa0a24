// Companions and every creature kind: a mount's tier, the familiar's price, and a
// corpus of creatures of every kind and CR with their companions nested in the export.
#include <gtest/gtest.h>

#include <cstdio>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/companions.h"
#include "generator/mixed.h"
#include "generator/source_fixture.h"
#include "shell/sheet.h"
#include "text_util.h"

using namespace debugspace;

namespace {

class Companions : public generator_test::SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    again_.assign((size_t)gSource.featCount, 0);
    notAgain_.assign((size_t)gSource.featCount, 0);
    spare_.assign(kRecordWords, 0);
    part_ = new Char();
  }
  void TearDown() override {
    FreeCharBonuses(part_);
    delete part_;
    SourceFixture::TearDown();
  }
  void Wire(Char* c) {
    c->context.random = &state_;
    c->context.effectDone = effectDone_.data();
    c->context.againDependency = again_.data();
    c->context.featNotAgain = notAgain_.data();
    c->context.classPart = part_;
    c->context.spareRecord = spare_.data();
    c->specialText = text_;
  }
  std::vector<int32_t> again_, notAgain_, spare_;
  Char* part_ = nullptr;
};

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
    record_.assign(kRecordWords, 0);
    record_[rec::kDiceMethod] = -1;
    record_[rec::kCRMin] = record_[rec::kCRMax] = cr;
    record_[rec::kKind] = kind == 2 || kind == 3 ? 1 : kind == 4 ? 0 : kind;
    record_[rec::kForceMixed] = kind == 2;
    record_[rec::kTreasureOnly] = kind == 3;
    record_[rec::kNpcClasses] = kind == 4;
    record_[rec::kFixedMonster] = -1;
    record_[rec::kFixedRace] = -1;
    record_[rec::kStoredHitPoints] = kNoHitPoints;
    record_[rec::kTreasureLow] = 1;
    record_[rec::kTreasureHigh] = 3;
    c->record = record_.data();
    CreateCreature(c, 1);
    // A monster choice that finds nothing (CR 45 without templates) is made again at the same CR.
    if (kind == 1) EXPECT_EQ(c->cr, cr);
    int here = (c->familiarChar != nullptr) + (c->mountChar != nullptr) + (c->servantChar != nullptr) + c->companionCount;
    if (here == 0) continue;
    companions += here;
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
  int merged = 0;
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
    for (int a = 0; a < kAttributes; ++a)
      if (c->absent[a]) {
        EXPECT_EQ(AbilityScore(c, a), 0);
      }
  }
  EXPECT_GT(merged, 30);
  FreeCharBonuses(c);
  delete c;
}
