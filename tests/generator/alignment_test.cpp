// Alignment: the table lines, and what classes, a cleric's domains and a monster's line allow.
#include <set>
#include <sstream>

#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

using Codes = std::set<std::string>;

Codes Split(const std::string& codes) {
  std::istringstream in(codes);
  Codes out;
  for (std::string code; in >> code;) out.insert(code);
  return out;
}

using Alignment = CreationFixture;

}  // namespace

TEST_F(Alignment, TableLinesAndTheirGermanText) {
  // Field, the alignments it allows, its text; or the part a faulty field is refused for.
  const struct {
    const char *field, *codes, *text, *bad;
  } cases[] = {{"Immer:RB", "RB", "Immer rechtschaffen böse", nullptr},
               {"Oft:N", "N", "Oft neutral", nullptr},
               {"Meist:C", "CG CN CB", "Meist chaotisch", nullptr},
               {"Beliebig:*", "RG NG CG RN N CN RB NB CB", "Beliebig", nullptr},
               {"Beliebig:B", "RB NB CB", "Beliebig (böse)", nullptr},
               {"Beliebig:nR", "NG CG N CN NB CB", "Beliebig (nicht rechtschaffen)", nullptr},
               {"Meist:NG,NB", "NG NB", "Meist neutral gut oder neutral böse", nullptr},
               {";", "", "", nullptr},
               {"Selten:N", "", "", "Selten"},
               {"Meist:XY", "", "", "XY"},
               {"Meist:N,", "", "", ""},
               {"Immer", "", "", "Immer"}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.field);
    AlignmentLine line;
    std::string bad;
    ASSERT_EQ(ParseAlignmentLine(k.field, &line, &bad), k.bad == nullptr);
    if (k.bad) {
      EXPECT_EQ(bad, k.bad);
      continue;
    }
    Codes codes;
    for (int a = 0; a < kAlignments; ++a)
      if (line.set & (1 << a)) codes.insert(AlignmentCode(a));
    EXPECT_EQ(codes, Split(k.codes));
    EXPECT_EQ(AlignmentLineText(line), k.text);
  }
}

TEST_F(Alignment, ClassesDomainsAndAnAlwaysLineDecide) {
  struct Case {
    const char* monster;  // null: a human
    std::vector<std::pair<const char*, int>> classes;
    std::vector<const char*> domains;
    const char* expected;
  } cases[] = {{nullptr, {{"Paladin", 5}, {"Barbar", 3}}, {}, "RG"},                // the paladin has more levels
               {nullptr, {{"Barbar", 5}, {"Paladin", 3}}, {}, "NG CG N CN NB CB"},  // the barbarian has
               {nullptr, {{"Paladin", 4}, {"Barbar", 4}}, {}, "RG"},                // a tie: the first class
               {nullptr, {{"Kleriker", 6}}, {"Böses", "Krieg"}, "RB NB CB"},
               {nullptr, {{"Druide", 4}, {"Mönch", 2}}, {}, "RN"},
               // The SRD's demands: dwarven defender any lawful, war mind any nonchaotic.
               {nullptr, {{"ZwergischerVerteidiger", 3}}, {}, "RG RN RB"},
               {nullptr, {{"Kriegsgeist", 3}}, {}, "RG NG RN N RB NB"},
               {"Unicorn", {{"Paladin", 4}}, {}, "CG"},  // always chaotic good, whatever its class
               {"Otyugh", {{"Paladin", 4}}, {}, "RG"}};  // usually neutral gives way
  for (const auto& k : cases) {
    SCOPED_TRACE(k.expected);
    Codes drawn;
    for (int n = 0; n < 60; ++n) {
      Char* c = Wired();
      ResetChar(c);
      c->kind = k.monster != nullptr;
      (k.monster ? c->monster : c->race) = k.monster ? MonsterId(k.monster) : RaceId("Mensch");
      for (auto [name, levels] : k.classes) {
        c->classes[c->classCount] = ClassId(name);
        c->classLevels[c->classCount++] = levels;
      }
      int slot = 0;
      for (const char* d : k.domains) c->domains[slot++] = FindByNameOrFault(gSource.domains, gSource.domainCount, d);
      DrawAlignment(c, &state_);
      drawn.insert(AlignmentCode(c->alignment));
      FreeChars();
    }
    EXPECT_EQ(drawn, Split(k.expected));  // 60 draws meet each of up to six alignments
  }
}

// A whole Otyugh (usually neutral): 3/4 and 1/36 of the rest.
TEST_F(Alignment, AWholeMonsterFollowsItsLine) {
  const int m = MonsterId("Otyugh"), total = 120;
  int neutral = 0;
  for (int n = 0; n < total; ++n) {
    Char* c = Wired();
    Preset(c, 1, gSource.monsters[m].cr);
    record_[rec::kFixedMonster] = m;
    CreateCreature(c, 1);
    DrawFinalDetails(c);
    neutral += AlignmentCode(c->alignment) == std::string("N");
    FreeChars();
  }
  EXPECT_GE(neutral, 0.65 * total);
  EXPECT_LE(neutral, 0.9 * total);
}
