// Treasure under SRD 3.5: hoards by the treasure table, sale at half the price of items.
#include <cstring>
#include <string>

#include "generator/source_fixture.h"

namespace generator_test {
namespace {

class Srd35Treasure : public CreationFixture {
 protected:
  void Srd35Preset(Char* c, int kind, int cr) {
    UseRules(kRulesSrd35);
    Preset(c, kind, cr);
  }
};

bool Consumable(const std::string& name) {
  for (const char* n : {"TrankDerLeichtenWunden", "TrankDerMittelschwerenWunden", "Alchemistenfeuer", "Gegengift",
                        "Weihwasser", "Rauchstab", "Donnerstein", "Verstrickungsbeutel", "Sonnenstab",
                        "Zauberschriftrolle"})
    if (name == n) return true;
  return false;
}

// The coins of one roll of the table: dice × die × gp per step, and the most gems or art
// objects and items a roll gives.
struct Coins {
  int dice, die, gp;
};
struct Row {
  int level;
  Coins coins[4];
  int goods, items;
};
const Row kRows[] = {
    {1, {{1, 6, 10}, {1, 8, 10}, {2, 8, 10}, {1, 4, 100}}, 1, 1},
    {4, {{3, 10, 10}, {4, 12, 100}, {1, 6, 100}, {1, 8, 100}}, 4, 4},
    {10, {{2, 10, 100}, {6, 4, 100}, {5, 6, 100}, {0, 0, 0}}, 8, 4},
    {20, {{4, 8, 1000}, {4, 10, 1000}, {0, 0, 0}, {0, 0, 0}}, 42, 4},
};

TEST_F(Srd35Treasure, HoardsHoldWhatTheTableGives) {
  Char* c = new Char();
  Wire(c);
  for (const Row& row : kRows)
    for (int n = 0; n < 40; ++n) {
      Srd35Preset(c, 3, row.level);
      CreateCreature(c, 1);
      std::string who = "level " + std::to_string(row.level) + " hoard " + std::to_string(n);
      int32_t coins = c->treasureMoney;
      bool table = coins == 0;
      for (const Coins& k : row.coins)
        table = table || (k.gp && coins % k.gp == 0 && coins / k.gp >= k.dice && coins / k.gp <= k.dice * k.die);
      EXPECT_TRUE(table) << who << ": " << coins << " gp";
      EXPECT_EQ(c->money, coins) << who;
      int pieces = 0, items = 0;
      for (int i = 0; i < c->itemCount; ++i) {
        const CharItem& it = c->items[i];
        std::string name = gSource.equipment[it.equipment].name.c_str();
        if (it.equipType == 10 && !Consumable(name))
          pieces += atoi(it.label);
        else
          ++items;
      }
      EXPECT_LE(pieces, row.goods) << who;
      EXPECT_LE(items, row.items) << who;
    }
  delete c;
}

TEST_F(Srd35Treasure, ItemsSellAtHalfTheirPriceValuablesInFull) {
  Char* c = new Char();
  Wire(c);
  int below = 0;
  for (int n = 0; n < 150; ++n) {
    Srd35Preset(c, n % 3 == 0 ? 3 : n % 3 == 1 ? 1 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    int64_t full = c->treasureMoney, items = 0;
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (!it.treasure) continue;
      bool valuable = it.equipType == 10 && !Consumable(gSource.equipment[it.equipment].name.c_str());
      (valuable ? full : items) += (int64_t)it.price + it.value;
    }
    EXPECT_EQ(c->saleValue, full + items / 2) << "creature " << n;
    EXPECT_LE(c->saleValue, full + items) << "creature " << n;
    below += items > 0 && c->saleValue < full + items;
  }
  EXPECT_GT(below, 10);
  delete c;
}

}  // namespace
}  // namespace generator_test
