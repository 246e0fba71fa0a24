// Class extras: arcanas cost spell slots, lores fall back to the secret of health,
// and equipment raises skills.
#include <gtest/gtest.h>

#include "generator/attributes.h"
#include "generator/extras.h"
#include "generator/spells.h"
#include "random/decisions.h"
#include "generator/source_fixture.h"

using namespace debugspace;

namespace {
class Extras : public generator_test::SourceFixture {
 protected:
  Char* Wizard(int levels) {
    Char* c = new Char();
    Fresh(c, levels);
    c->classCount = 1;
    c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, "Magier");
    c->classLevels[0] = c->preEpicLevels[0] = levels;
    c->Level = levels;
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
    AbilityScore(c, 3) = 20;
    ComputeModifiers(c);
    return c;
  }
};
}  // namespace

TEST_F(Extras, ArcanasCostSpellSlots) {
  Char* c = Wizard(20);
  CalculateSpellCount(c);
  int perDay = 0, toDraw = 0;
  for (int s = 0; s < 10; ++s) {
    perDay += std::max(c->spellsPerDay[0][s], 0);
    toDraw += std::max(c->spellsToDraw[0][s], 0);
  }
  c->Arcanas = 3;
  DoArcanas(c);
  int perDayAfter = 0, toDrawAfter = 0;
  for (int s = 0; s < 10; ++s) {
    perDayAfter += std::max(c->spellsPerDay[0][s], 0);
    toDrawAfter += std::max(c->spellsToDraw[0][s], 0);
  }
  EXPECT_EQ(perDayAfter, perDay - 3);
  EXPECT_EQ(toDrawAfter, toDraw - 3);  // a wizard prepares: each arcana costs a spell to draw
  delete c;
}

TEST_F(Extras, LoresWithoutEligibleSecretsTakeTheSecretOfHealth) {
  Char* c = Wizard(10);
  c->specialText = text_;
  c->IN = 0;  // lore value 2 × 2 = 4: no secret needs that little
  c->Lores = 2;
  DoLores(c);
  EXPECT_EQ(c->TP, 2 * 3);  // the secret of health, twice
  delete c;
}

TEST_F(Extras, EquipmentRaisesSkills) {
  Char* c = Wizard(5);
  int effect = -1;
  for (int e = 0; e < gSource.effectCount && effect < 0; ++e)
    if (gSource.effects[e].skillBonus.CodeLength() >= 3) effect = e;
  ASSERT_GE(effect, 0);
  const int32_t* code = gSource.effects[effect].skillBonus.Code();
  CharItem& it = c->items[c->itemCount++];
  it = CharItem();
  it.effects[0] = effect;
  it.effectCount = 1;
  c->skillCount = 0;
  EquipmentSkillBonuses(c);
  ASSERT_GE(c->skillCount, 1);
  EXPECT_EQ(c->skills[0].skill, code[1]);
  EXPECT_EQ(c->skills[0].bonus, code[3]);
  delete c;
}

TEST_F(Extras, AnEmptyHierophantPickTakesNoneAndTheCountGoesOn) {
  Char* c = Wizard(5);
  c->specialText = text_;
  int rows = 0;
  for (int i = 0; i < gSource.specialCount; ++i) rows += gSource.specials[i].type == 8;
  std::vector<int32_t> stream(2 * (size_t)rows + 8, kStreamEnd);
  int32_t position = 0;
  SetDecisionStream(stream.data(), &position);
  int32_t flag = gProcess.recordFlag;
  gProcess.recordFlag = 1;
  c->HierophantAbilities = rows + 2;
  DoHierophantAbilities(c);
  gProcess.recordFlag = flag;
  UseScratchStream();
  EXPECT_EQ(position, 2 * (rows + 2));  // every pick is made, the two empty ones recorded as -1
  EXPECT_EQ(stream[(size_t)position - 1], -1);
  delete c;
}
