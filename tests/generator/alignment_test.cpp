// Alignment: the table lines, and the alignment of every creature of a corpus against
// what its classes, a cleric's domains and its monster's line allow.
#include <map>
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

// The alignments the SRD's class descriptions demand, by the classes' keys.
const std::map<std::string, Codes> kClasses = {
    {"Paladin", Split("RG")},                        // lawful good
    {"Mönch", Split("RG RN RB")},                    // any lawful
    {"Barbar", Split("NG CG N CN NB CB")},           // any nonlawful
    {"Barde", Split("NG CG N CN NB CB")},            // any nonlawful
    {"Druide", Split("NG RN N CN NB")},              // neutral good, lawful neutral, neutral, ...
    {"SchwarzerRitter", Split("RB NB CB")},          // blackguard: any evil
    {"Assasin", Split("RB NB CB")},                  // any evil
    {"ArkanerBetrüger", Split("NG CG N CN NB CB")},  // arcane trickster: any nonlawful
    {"ZwergischerVerteidiger", Split("RG RN RB")},   // dwarven defender: any lawful
    {"Pyrokinet", Split("CG CN CB")},                // pyrokineticist: any chaotic
    {"Kriegsgeist", Split("RG NG RN N RB NB")}};     // war mind: any nonchaotic
// A cleric's alignment domains.
const std::map<std::string, Codes> kDomains = {{"Gutes", Split("RG NG CG")},
                                               {"Böses", Split("RB NB CB")},
                                               {"Ordnung", Split("RG RN RB")},
                                               {"Chaos", Split("CG CN CB")}};
const Codes kAll = Split("RG NG CG RN N CN RB NB CB");

class Alignment : public CreationFixture {
 protected:
  // What the classes allow: all of them together, or, when they cannot meet, the class
  // with the most levels (the earlier one on a tie).
  static Codes Allowed(const Char* c) {
    Codes all = kAll, main = kAll;
    int mainLevels = -1;
    for (int s = c->kind == 1 ? c->casterSlots : 0; s < c->classCount; ++s) {
      std::string name = gSource.classes[c->classes[s]].name.c_str();
      Codes set = kClasses.count(name) ? kClasses.at(name) : kAll;
      if (name == "Kleriker")
        for (int d : c->domains)
          if (d >= 0 && kDomains.count(gSource.domains[d].name.c_str())) {
            const Codes& domain = kDomains.at(gSource.domains[d].name.c_str());
            Codes both;
            std::set_intersection(set.begin(), set.end(), domain.begin(), domain.end(),
                                  std::inserter(both, both.end()));
            set = both;
          }
      Codes both;
      std::set_intersection(all.begin(), all.end(), set.begin(), set.end(), std::inserter(both, both.end()));
      all = both;
      if (c->classLevels[s] > mainLevels) {
        mainLevels = c->classLevels[s];
        main = set;
      }
    }
    return all.empty() ? main : all;
  }
};

}  // namespace

TEST_F(Alignment, TableLinesAndTheirGermanText) {
  struct Case {
    const char *field, *codes, *text, *bad;
  } cases[] = {
      {"Immer:RB", "RB", "Immer rechtschaffen böse", nullptr},
      {"Meist:N", "N", "Meist neutral", nullptr},
      {"Oft:CG", "CG", "Oft chaotisch gut", nullptr},
      {"Meist:C", "CG CN CB", "Meist chaotisch", nullptr},
      {"Beliebig:*", "RG NG CG RN N CN RB NB CB", "Beliebig", nullptr},
      {"Beliebig:B", "RB NB CB", "Beliebig (böse)", nullptr},
      {"Beliebig:nR", "NG CG N CN NB CB", "Beliebig (nicht rechtschaffen)", nullptr},
      {"Meist:NG,NB", "NG NB", "Meist neutral gut oder neutral böse", nullptr},
      {";", "", "", nullptr},
      {"Selten:N", "", "", "Selten"},
      {"Meist:XY", "", "", "XY"},
      {"Meist:N,", "", "", ""},
      {"Immer", "", "", "Immer"},
  };
  for (const Case& k : cases) {
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
  } cases[] = {
      {nullptr, {{"Paladin", 5}, {"Barbar", 3}}, {}, "RG"},                // the paladin has more levels
      {nullptr, {{"Barbar", 5}, {"Paladin", 3}}, {}, "NG CG N CN NB CB"},  // the barbarian has
      {nullptr, {{"Paladin", 4}, {"Barbar", 4}}, {}, "RG"},                // a tie: the first class
      {nullptr, {{"Kleriker", 6}}, {"Gutes", "Ordnung"}, "RG"},
      {nullptr, {{"Kleriker", 6}}, {"Böses", "Krieg"}, "RB NB CB"},
      {nullptr, {{"Druide", 4}, {"Mönch", 2}}, {}, "RN"},
      {nullptr, {{"Assasin", 3}, {"Barde", 2}}, {}, "NB CB"},
      {"Unicorn", {{"Paladin", 4}}, {}, "CG"},  // always chaotic good, whatever its class
      {"Otyugh", {{"Paladin", 4}}, {}, "RG"},   // usually neutral gives way
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.expected);
    Codes drawn;
    for (int n = 0; n < 60; ++n) {
      Char* c = Wired();
      ResetChar(c);
      if (k.monster) {
        c->kind = 1;
        c->monster = MonsterId(k.monster);
      } else {
        c->race = RaceId("Mensch");
      }
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

TEST_F(Alignment, MonstersFollowTheirLine) {
  struct Case {
    const char* monster;
    const char* codes;       // the SRD's line
    double lowest, highest;  // share of those alignments
  } cases[] = {{"Unicorn", "CG", 1, 1},
               {"GelatinousCube", "N", 1, 1},
               {"Otyugh", "N", 0.65, 0.9}};  // usually: 3/4, and 1/36 of the rest
  for (const Case& k : cases) {
    SCOPED_TRACE(k.monster);
    int m = MonsterId(k.monster);
    int inLine = 0, total = 120;
    for (int n = 0; n < total; ++n) {
      Char* c = Wired();
      Preset(c, 1, gSource.monsters[m].cr);
      record_[rec::kFixedMonster] = m;
      CreateCreature(c, 1);
      DrawFinalDetails(c);
      inLine += Split(k.codes).count(AlignmentCode(c->alignment));
      FreeChars();
    }
    EXPECT_GE(inLine, k.lowest * total);
    EXPECT_LE(inLine, k.highest * total);
  }
}

TEST_F(Alignment, EveryCreatureOfACorpusFitsItsClassesAndLine) {
  int creatures = 0;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    UseRules(rules);
    for (int n = 0; n < 240; ++n) {
      const int kinds[] = {0, 4, 1, 2};
      Char* c = Wired();
      Preset(c, kinds[n % 4], n * 7 % 20 + 1);
      CreateCreature(c, 1);
      DrawFinalDetails(c);
      std::vector<const Char*> all = {c, c->familiarChar, c->mountChar, c->servantChar};
      for (int i = 0; i < c->companionCount; ++i) all.push_back(c->companionChars[i]);
      for (const Char* k : all) {
        if (!k) continue;
        ++creatures;
        ASSERT_GE(k->alignment, 0);
        ASSERT_LT(k->alignment, kAlignments);
        std::string code = AlignmentCode(k->alignment);
        Codes allowed = Allowed(k);
        // A monster's line, or its template's that replaces it.
        AlignmentLine line;
        if (k->kind == 1) line = gSource.monsters[k->monster].alignment;
        if (k->templateIndex > 0 && gSource.templates[k->templateIndex].alignment.frequency != kNoAlignmentLine)
          line = gSource.templates[k->templateIndex].alignment;
        if (k == c->servantChar) {
          EXPECT_TRUE(kDomains.at("Böses").count(code)) << code;  // a fiendish servant is evil
        } else if (k->kind == 1 && line.frequency == kAlignmentAlways) {
          EXPECT_TRUE(line.set & (1 << k->alignment)) << gSource.monsters[k->monster].name.c_str() << " " << code;
        } else {
          EXPECT_TRUE(allowed.count(code)) << code << " of a creature with " << k->classCount << " classes";
        }
      }
      FreeChars();
    }
  }
  EXPECT_GT(creatures, 480);
}
