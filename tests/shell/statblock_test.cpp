// The stat block: its figures against the sheet's, parsed from both texts, over a corpus of
// every kind under both rule sets; and unadvanced monsters against their rule-book blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "shell/figures.h"
#include "shell/sheet_fixture.h"
#include "shell/statblock.h"

using namespace debugspace;

namespace {

class StatBlockTest : public shell_test::SheetFixture {
 protected:
  // The block's head (the creature's own entries), continuation lines joined.
  std::string Head(Char* c) {
    std::string head;
    for (const std::string& line : StatBlock(c)) {
      EXPECT_LE(CodePoints(line), 78u) << line;
      if (line.empty()) break;
      head += line[0] == ' ' ? line.substr(1) : "\n" + line;
    }
    return head + "\n";
  }
};

int Int(const std::string& text, const std::regex& pattern, int group = 1) {
  std::smatch m;
  return std::regex_search(text, m, pattern) ? std::stoi(m.str(group)) : -9999;
}

const std::regex kDice(R"(\nTrefferwürfel: ([0-9W+-]+) \((-?\d+) TP, Durchschnitt (-?\d+)\))"),
    kBlockInit(R"(\nInitiative: ([+-]\d+))"),
    kBlockAc(R"(\nRüstungsklasse: (-?\d+)(?: \(([^)]*)\))?, Berührung (-?\d+), auf dem falschen Fuß (-?\d+))"),
    kSaves(R"(\nRettungswürfe: Zähigkeit ([+-]\d+), Reflex ([+-]\d+), Wille ([+-]\d+))");

// Every figure both show is the same; armour class parts add up, touch and flat-footed follow them.
std::string Compare(const std::string& sheet, const std::string& block) {
  std::ostringstream faults;
  auto same = [&](const char* what, int a, int b) {
    if (a != b) faults << what << ": sheet " << a << ", block " << b << "\n";
  };
  static const std::regex kHp(R"(Trefferpunkte: (-?\d+))"), kInit(R"(│ Initiative: (-?\d+))"),
      kAc(R"(│ RK +(-?\d+) = 10)"), kParts(R"(│ RK[^\n]*\n│ +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +│)"),
      kMonster(R"(Monster: *[^│]+? TW: +(\d+))"), kClass(R"(Klasse: +[^│]+? Level: +(\d+))");
  same("TP", Int(sheet, kHp), Int(block, kDice, 2));
  same("Initiative", Int(sheet, kInit), Int(block, kBlockInit));
  const char* saves[3] = {"Zähigkeit", "Reflex", "Wille"};
  for (int i = 0; i < 3; ++i)
    same(saves[i], Int(sheet, std::regex(std::string("│ ") + saves[i] + R"( +(-?\d+) )")), Int(block, kSaves, i + 1));
  const char* abilities[6] = {"St", "Ge", "Ko", "In", "We", "Ch"};
  for (const char* a : abilities) {
    std::smatch m;
    std::string inBlock =
        std::regex_search(block, m, std::regex(std::string("\nAttribute:.*\\b") + a + " (\\S+?)[,\n]")) ? m.str(1)
                                                                                                        : "?";
    int onSheet = Int(sheet, std::regex(std::string("│ ") + a + R"(: +(-?\d+) )"));
    if (inBlock != "—") same(a, onSheet, inBlock == "?" ? -9999 : std::stoi(inBlock));
  }
  // Hit dice: as many as the sheet counts, the average their expression gives.
  std::smatch m;
  if (!std::regex_search(block, m, kDice)) return faults.str() + "no hit dice in\n" + block;
  std::string expression = m.str(1);
  int dice = 0, halves = 0, fixed = 0;
  static const std::regex kTerm(R"(([+-]?)(\d+)(?:W(\d+))?)");
  for (std::sregex_iterator t(expression.begin(), expression.end(), kTerm), end; t != end; ++t) {
    int n = std::stoi((*t)[2]) * ((*t)[1] == "-" ? -1 : 1);
    if ((*t)[3].matched)
      dice += n, halves += n * (std::stoi((*t)[3]) + 1);
    else
      fixed += n;
  }
  same("average", halves / 2 + fixed, std::stoi(m.str(3)));
  int sheetDice = 0;
  if (std::regex_search(sheet, m, kMonster)) {
    sheetDice = std::stoi(m.str(1));
  } else {
    for (std::sregex_iterator k(sheet.begin(), sheet.end(), kClass), end; k != end; ++k)
      sheetDice += std::stoi((*k)[1]);
  }
  same("hit dice", sheetDice, dice);
  // Armour class: the sheet's total and parts; the block's parts add up to it.
  if (!std::regex_search(block, m, kBlockAc)) return faults.str() + "no armour class in\n" + block;
  int total = std::stoi(m.str(1)), touch = std::stoi(m.str(3)), flat = std::stoi(m.str(4));
  same("RK", Int(sheet, kAc), total);
  std::map<std::string, int> parts;
  std::string list = m.str(2);
  static const std::regex kPart(R"(([+-]\d+) ([^,]+))");
  int sum = 10;
  for (std::sregex_iterator p(list.begin(), list.end(), kPart), end; p != end; ++p)
    sum += parts[(*p)[2]] = std::stoi((*p)[1]);
  same("RK parts", total, sum);
  std::smatch s;
  if (std::regex_search(sheet, s, kParts)) {
    same("Rüstung", std::stoi(s.str(1)), parts["Rüstung"]);
    same("Schild", std::stoi(s.str(2)), parts["Schild"]);
  }
  same("Berührung", total - parts["Rüstung"] - parts["Schild"] - parts["natürlich"], touch);
  bool keepsDex = block.find("Reflexbewegung") != std::string::npos;
  same("auf dem falschen Fuß", keepsDex ? total : total - std::max(parts["GE"], 0) - std::max(parts["Ausweichen"], 0),
       flat);
  return faults.str();
}

TEST_F(StatBlockTest, FiguresEqualTheSheetsAndTheExportsForEveryKindUnderBothRuleSets) {
  const int kinds[] = {0, 1, 2, 4, -1};
  int compared = 0;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    UseRules(rules);
    for (int n = 0; n < 400; ++n) {
      Preset(c_, kinds[n % 5], (n / 5) % 26);
      CreateCreature(c_, 1);
      if (c_->kind == 1 && n % 7 == 3) ChangeHitDice(c_, n % 2 ? '+' : '-');
      for (Char* c : shell_test::WithCompanions(c_)) {
        EXPECT_EQ(Compare(OwnSheet(c), Head(c)), "") << "rules " << rules << " creature " << n;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 800);
}

// Unadvanced monsters against the figures of their rule-book blocks.
TEST_F(StatBlockTest, UnadvancedMonstersShowTheirRuleBookFigures) {
  struct Row {
    const char* monster;
    int dice, cr;
    std::vector<std::string> lines;
  };
  // Lines the English comparison (SrdBlocksTest) and Compare above do not read.
  const Row rows[] = {
      {"Ogre", 4, 3, {"Initiative: -1", "Schätze: Standard"}},
      {"Troll",
       6,
       5,
       {"Rüstungsklasse: 16 (-1 Größe, +2 GE, +5 natürlich), Berührung 11, auf dem falschen Fuß 14",
        "Grundangriffsbonus/Ringkampf: +4/+14", "Angriffsfläche/Reichweite: 3 m/3 m",
        "Organisation: Einzelgänger oder Gruppe (2–4)", "Herausforderungsgrad: 5"}},
      {"Wolf",
       2,
       1,
       {"Bewegungsrate: 15 m (10 Felder)", "Angriffsfläche/Reichweite: 1,5 m/1,5 m", "Aufstieg: 3 TW (",
        "); 4–6 TW ("}},
      // No reach in its row ("varies"): a colossal creature's 30 ft.
      {"GeniusLoci", 70, 30, {"Angriffsfläche/Reichweite: 9 m/9 m"}},
  };
  for (RuleSet rules : {kRulesOwn, kRulesSrd35})
    for (const Row& row : rows) {
      UseRules(rules);
      Preset(c_, 1, row.cr);
      int m = FindByName(gSource.monsters, gSource.monsterCount, row.monster);
      ASSERT_GE(m, 0) << row.monster;
      record_[rec::kFixedMonster] = m;
      record_[rec::kMonsterOption] = row.dice;
      record_[rec::kParam10] = FindByName(gSource.templates, gSource.templateCount, "Keins");
      CreateCreature(c_, 1);
      std::string block = Head(c_);
      for (const std::string& line : row.lines)
        EXPECT_NE(block.find(line), std::string::npos) << row.monster << " rules " << rules << ": " << line << "\n"
                                                       << block;
    }
}

}  // namespace
