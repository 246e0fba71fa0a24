// Named magic items under SRD 3.5, in what characters carry and in hoards: every family turns
// up, each at its row's price, with charges and spells the item can hold.
#include <cstdio>
#include <string>

#include "generator/source_fixture.h"
#include "generator/treasure.h"

namespace generator_test {
namespace {

class Srd35Carried : public CreationFixture {};

// The item kinds of the named items' bases: the families the SRD's tables name.
struct Seen {
  int kind;
  const char* name;
};
const Seen kKinds[] = {{18, "potion"}, {19, "oil"},    {15, "wand"}, {16, "staff"},
                       {17, "rod"},    {20, "scroll"}, {3, "ring"},  {21, "slotless wondrous"}};

bool WornWondrous(int kind) { return (kind >= 4 && kind <= 9) || kind == 12 || kind == 13; }

// Whether one of the character's classes has the spell on its list at `level` (-1: any level).
bool OnOwnList(const Char* c, int spell, int level) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    int cls = c->classes[s];
    if (cls < 0 || cls >= gSource.classCount) continue;
    int at = gSource.spells[spell].Levels()[cls];
    if (at >= 0 && (level < 0 || at == level)) return true;
  }
  // A cleric's domains add their spells to his list.
  const SpellSource& x = gSource.spells[spell];
  for (int e = 0; e < x.domainCount && e < 2; ++e)
    for (int d = 0; d < c->domainCount && d < 16; ++d)
      if (x.domains[e] >= 0 && x.domains[e] == c->domains[d] && level < 0) return true;
  return false;
}

bool OnSomeList(int spell, int level) {
  for (int k = 0; k < gSource.classCount; ++k)
    if (gSource.spells[spell].Levels()[k] == level) return true;
  return false;
}

TEST_F(Srd35Carried, NamedItemsAtTheirPriceWithChargesAndSpellsTheyCanHold) {
  Char* c = new Char();
  Wire(c);
  int kinds[32] = {}, worn = 0;
  for (int n = 0; n < 500; ++n) {
    bool hoard = n >= 300;
    CreateSrd35(c, hoard ? 3 : 0, hoard ? 5 + 5 * (n % 4) : 1 + n % 20);
    std::string who = (hoard ? "hoard " : "character ") + std::to_string(n);
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.specific <= 0) continue;
      ASSERT_LT(it.specific, gSource.specificCount) << who;
      const SpecificSource& x = gSource.specifics[it.specific];
      int kind = SpecificKind(it.specific);
      SCOPED_TRACE(who + ": " + x.name.c_str() + " \"" + it.label + "\"");
      if (kind >= 0 && kind < 32) ++kinds[kind];
      worn += WornWondrous(kind);
      bool potion = kind == 18 || kind == 19;
      int pieces = 1;
      if (potion) sscanf(it.label, "%d Stück", &pieces);
      EXPECT_EQ((int64_t)it.value + it.price, (int64_t)x.price * pieces);
      if (x.charges > 0) {
        EXPECT_GE(it.charges, 1);
        EXPECT_LE(it.charges, x.charges);
      } else {
        EXPECT_EQ(it.charges, 0);
      }
      bool carried = !hoard && !it.treasure;
      if (potion && carried) {
        ASSERT_GE(x.spell, 0);
        EXPECT_LE(x.spellLevel, 3);
      }
      if (kind == 15 && carried) {
        ASSERT_GE(x.spell, 0);
        EXPECT_TRUE(OnOwnList(c, x.spell, -1)) << gSource.spells[x.spell].name.c_str();
      }
      if (kind == 20) {
        ASSERT_GE(it.spell, 1) << "a scroll without a spell";
        ASSERT_LE(it.spell, gSource.spellCount);
        EXPECT_TRUE(OnSomeList(it.spell - 1, x.spellLevel)) << gSource.spells[it.spell - 1].name.c_str();
        if (carried) {
          EXPECT_TRUE(OnOwnList(c, it.spell - 1, x.spellLevel)) << gSource.spells[it.spell - 1].name.c_str();
        }
      } else {
        EXPECT_EQ(it.spell, 0);
      }
    }
  }
  for (const Seen& s : kKinds) EXPECT_GT(kinds[s.kind], 0) << "no " << s.name;
  EXPECT_GT(worn, 0) << "no worn wondrous item";
  delete c;
}

}  // namespace
}  // namespace generator_test
