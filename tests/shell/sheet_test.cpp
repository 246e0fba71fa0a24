// The sheet and the export of fixed-seed creatures of every kind: the export's records in
// the order of its table, every kind of record, the sheet's marks, colours and nesting;
// and what debug output shows of the equipment choice.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generator/source_fixture.h"
#include "platform/console.h"
#include "shell/sheet.h"
#include "text_util.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// The export's records, row by row of its table; records of one row may alternate.
const std::vector<std::vector<std::string>> kRows = {
    {"STARTCHARACTER"}, {"TYPE", "MONSTER", "RACE", "SIZE"}, {"TEMPLATE"}, {"TW", "CR", "SPELLFAILURE"}, {"CLASS"},
    {"SPECIALIZED"}, {"FORBIDDEN"}, {"DOMAIN"}, {"ATTRIBUTE"}, {"TP"}, {"GA"}, {"BREAKSR"}, {"SPEED"}, {"SR"},
    {"ATTACKS"}, {"ATTACKSOPP"}, {"ARMORMALUS"}, {"INITIATIVE"}, {"ATTACKSMONK", "MONKDAMAGE"}, {"GAMELEE"},
    {"GARANGE"}, {"RWREF", "RWWIL", "RWFORT"}, {"RK"}, {"FEATCOUNT"}, {"FEAT"}, {"SKILLS", "SKILLPOINTS"}, {"SKILL"},
    {"ATTACKTYPES"}, {"MONSTERATTACK"}, {"EQUIPSTART", "TREASURESTART"}, {"EQUIPEFFECT"}, {"EQUIPMATERIAL"},
    {"EQUIPMENT"}, {"EQUIPWEAPON"}, {"EQUIPBASE"}, {"ATTACKSECOND"}, {"MAXSTR"}, {"EQUIPARMOR"}, {"EQUIPARROWS"},
    {"EQUIPSHIELD"},
    {"NOSHIELD"}, {"EQUIPDESC"}, {"EQUIPEND"}, {"MONEY"}, {"PSIPOINTS", "PSIDISCIPLE"}, {"PSIKNOWN"}, {"PSI"},
    {"SPELLSKNOWN"}, {"SPELL"}, {"STARTCHARTEXT"}, {"STARTFAMILIAR"}, {"STARTMOUNT"}, {"STARTSERVANT"},
    {"STARTCOMPANION"}, {"ENDCHARACTER"}};

int RowOf(const std::string& key) {
  for (size_t r = 0; r < kRows.size(); ++r)
    for (const std::string& k : kRows[r])
      if (k == key) return (int)r;
  return -1;
}

// Checks one creature from its STARTCHARACTER line on and returns the line after its
// ENDCHARACTER (the end on a fault). An item block repeats as a whole; a text block's
// lines are free text; a companion's block is a creature of its own.
size_t CheckCreature(const std::vector<std::string>& lines, size_t at, std::set<std::string>& seen) {
  int last = -1;
  for (size_t i = at; i < lines.size(); ++i) {
    std::string key = lines[i].substr(0, lines[i].find('='));
    if (key.empty()) continue;  // the empty line after a long row of equal attacks
    int row = RowOf(key);
    bool nextItem = row == RowOf("EQUIPSTART") && last == RowOf("EQUIPEND");
    if (row < 0 || (row < last && !nextItem)) {
      ADD_FAILURE() << lines[i] << " after " << lines[i - 1];
      return lines.size();
    }
    seen.insert(key);
    last = row;
    if (key == "ENDCHARACTER") return i + 1;
    if (key == "STARTCHARTEXT") {
      while (i < lines.size() && lines[i] != "CHARTEXTEND") ++i;
    } else if (key != "STARTCHARACTER" && key.rfind("START", 0) == 0 && key.find("START", 1) == std::string::npos &&
               row > RowOf("STARTCHARTEXT")) {
      i = CheckCreature(lines, i + 1, seen);
      if (i >= lines.size() || lines[i] != "END" + key.substr(5)) {
        ADD_FAILURE() << key << " is not closed";
        return lines.size();
      }
    }
  }
  return lines.size();
}

std::string ExportOf(Char* c) {
  char* buffer = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&buffer, &length);
  PrintChar(c, 0, 1, f);
  fclose(f);
  std::string text(buffer, length);
  free(buffer);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Sheet : public generator_test::CreationFixture {
 protected:
  void SetUp() override {
    CreationFixture::SetUp();
    c_ = new Char();
    Wire(c_);
  }
  void TearDown() override {
    FreeCharBonuses(c_);
    delete c_;
    gProcess.silent = false;
    CreationFixture::TearDown();
  }
  // Kinds 0 (characters), 1 (monsters), 2 (mixed), 4 (NPC classes) and -1 (any) in turn.
  void Build(int n) {
    const int kinds[] = {0, 1, 2, 4, -1};
    Preset(c_, kinds[n % 5], (n / 5) % 31);
    CreateCreature(c_, 1);
  }
  // The sheet's lines, as the consistency check collects them.
  std::vector<std::string> SheetLines(Char* c) {
    gProcess.silent = true;
    gProcess.consistencyText = TextCreate("sheet-test");
    PrintChar(c, 1, 1, nullptr);
    std::vector<std::string> lines = Lines(std::string(gProcess.consistencyText->data, gProcess.consistencyText->length));
    TextDestroy(gProcess.consistencyText);
    gProcess.consistencyText = nullptr;
    gProcess.silent = false;
    return lines;
  }
  Char* c_ = nullptr;
};

int Companions(const Char* c) {
  int n = 0;
  for (const Char* k : {c->familiarChar, c->mountChar, c->servantChar}) n += k ? 1 + Companions(k) : 0;
  for (int i = 0; i < c->companionCount; ++i) n += 1 + Companions(c->companionChars[i]);
  return n;
}

}  // namespace

TEST_F(Sheet, EveryKindExportsItsRecordsInTheTableOrder) {
  std::set<std::string> seen, all;
  for (const auto& row : kRows) all.insert(row.begin(), row.end());
  bool spellChar = false, nestedSheet = false;
  for (int n = 0; n < 5000 && (seen != all || !spellChar || !nestedSheet); ++n) {
    Build(n);
    std::vector<std::string> lines = Lines(ExportOf(c_));
    ASSERT_EQ(CheckCreature(lines, 0, seen), lines.size()) << "creature " << n;
    // A monster's own spell-casting classes are exported as the pseudo class.
    if (c_->kind == 1 && c_->monsterCaster && !c_->mixed) {
      EXPECT_EQ(lines[8].rfind("CLASS=0,Spellchar,", 0), 0u) << lines[8];
      spellChar = true;
    }
    // Its summary shows every natural attack.
    if (c_->kind == 1) {
      std::string summary = SummaryRow(c_, 1);
      EXPECT_EQ(CountOf(summary, "\n"), std::max(c_->attackCount, 1)) << summary;
      // The cell holds the first 18 letters of a name.
      for (int i = 0; i < c_->attackCount; ++i)
        EXPECT_NE(summary.find(std::string(c_->naturals[i].name).substr(0, 18)), std::string::npos) << summary;
    }
    // Companions' whole sheets inside the master's one frame.
    if (!nestedSheet && Companions(c_) > 0) {
      nestedSheet = true;
      std::string sheet;
      for (const std::string& line : SheetLines(c_)) sheet += line + "\n";
      EXPECT_EQ(CountOf(sheet, "│ Trefferpunkte: "), 1 + Companions(c_)) << sheet;
      EXPECT_EQ(CountOf(sheet, "┌"), 1);
      EXPECT_EQ(CountOf(sheet, "└"), 1);
    }
  }
  for (const std::string& key : all) EXPECT_TRUE(seen.count(key)) << "no " << key << " record in the corpus";
  EXPECT_TRUE(spellChar && nestedSheet);
}

TEST_F(Sheet, MixedCreaturesAttackWithoutTheClassPartsEpicBonus) {
  // Merged totals: both parts' base attack + ability + size (and the "other" column).
  int epic = 0;
  for (int n = 0; n < 20; ++n) {
    Preset(c_, 2, 45);
    CreateCreature(c_, 1);
    if (!c_->mixed) continue;
    epic += c_->epicAttack > 0;
    std::string melee = "GAMELEE=" + std::to_string(c_->GA + c_->MST + c_->sizeMod + c_->AttackMod) + ",";
    std::string ranged = "GARANGE=" + std::to_string(c_->GA + c_->MGE + c_->sizeMod + c_->AttackMod) + ",";
    std::string exported = ExportOf(c_);
    EXPECT_NE(exported.find(melee), std::string::npos) << n;
    EXPECT_NE(exported.find(ranged), std::string::npos) << n;
  }
  EXPECT_GT(epic, 3);
}

TEST_F(Sheet, MarksUnarmedAttacksAndLongAttackRows) {
  Build(50);
  ASSERT_GT(c_->itemCount, 0);
  CharItem& it = c_->items[0];
  // The mark is the first of masterwork, mithril, mercury and magic that is set.
  struct Case {
    int masterwork, mithril, mercury, magic, bits;
    char mark;
  } cases[] = {{1, 1, 1, 1, 15, 'A'}, {0, 1, 1, 1, 11, 'M'}, {0, 0, 1, 1, 9, 'Q'}, {0, 0, 0, 1, 1, '!'},
               {0, 0, 0, 0, 0, ' '}};
  for (const Case& k : cases) {
    it.masterwork = k.masterwork, it.mithril = k.mithril, it.mercury = k.mercury, it.magic = k.magic;
    std::vector<std::string> lines = SheetLines(c_);
    size_t at = 0;
    while (at < lines.size() && lines[at].find(" GM ") == std::string::npos) ++at;
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at][std::string("│  ").size() + 1], k.mark) << lines[at];
    std::string exported = ExportOf(c_);
    size_t first = exported.find("EQUIPMATERIAL=");
    EXPECT_EQ(exported.substr(first, exported.find('\n', first) - first), "EQUIPMATERIAL=" + std::to_string(k.bits));
  }
  // Unarmed attacks: attacks plus monk attacks, with the unarmed damage.
  c_->Attacks = 2, c_->MonkAttacks = 1, c_->Unarmed1 = 2, c_->Unarmed2 = 6;
  std::string sheet;
  for (const std::string& line : SheetLines(c_)) sheet += line + "\n";
  EXPECT_NE(sheet.find("Waffenlos: 3 Angriffe, 2W6"), std::string::npos);
  std::string exported = ExportOf(c_);
  EXPECT_NE(exported.find("ATTACKSMONK=3\nMONKDAMAGE=2,6\n"), std::string::npos);
  // A row of twelve equal attacks without a step: "count * bonus" and an empty line.
  c_->kind = 1;
  c_->attackCount = 1;
  c_->naturals[0] = CharAttack{"Tentakel", 7, 12, 0, {1, 4, 2}, 0};
  exported = ExportOf(c_);
  EXPECT_NE(exported.find("MONSTERATTACK=0,Primär  : ,\"Tentakel\",1,4,2,12 * 7\n\n"), std::string::npos);
}

TEST_F(Sheet, HeadRowsShowLabelsAndValuesInColour) {
  Build(50);
  ASSERT_GT(c_->classCount, 0);
  ScreenBuffer* screen = ConsoleCreate();
  ASSERT_NE(screen, nullptr);
  SetSheetScreens(&screen, 1);
  PrintChar(c_, 0, 1, nullptr);
  // Labels light red, values light green, frames and blanks grey: the head row
  // ("│ Humanoid ...", "│ HG:    10") and the first class row ("│ Klasse: %15s Level: %2d").
  struct Cell {
    int row, column, attribute;
  } cells[] = {{1, 0, 7},  {1, 2, 10}, {1, 79, 7}, {1, 81, 12}, {1, 83, 12}, {1, 84, 7},
               {1, 88, 10}, {3, 2, 12}, {3, 8, 12}, {3, 24, 10}, {3, 26, 12}, {3, 32, 7}};
  for (const Cell& k : cells)
    EXPECT_EQ(ConsoleCellAttribute(screen, k.column, k.row), k.attribute)
        << ConsoleRowText(screen, k.row) << " column " << k.column;
  SetSheetScreens(nullptr, 0);
  ConsoleDestroy(screen);
}

TEST_F(Sheet, ConsistencyCheckShowsTheFirstDifferingLineOnce) {
  Build(51);
  std::vector<std::string> lines = SheetLines(c_);
  std::string reference;
  size_t fourth = 0, sixth = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 3) fourth = reference.size();
    if (i == 5) sixth = reference.size();
    reference += lines[i] + "\n";
  }
  TextBuffer* text = TextCreate("sheet-test-reference");
  TextAppend(text, reference.data(), reference.size());
  gProcess.consistencyReference = text;
  for (bool changed : {false, true}) {
    // The reference differs in the fourth and the sixth line: only the fourth is shown.
    if (changed) text->data[fourth + 4] = text->data[sixth + 4] = '#';
    gProcess.lineInconsistencyShown = false;
    CaptureStdout();
    SheetLines(c_);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out, changed ? "Inconsistence Found in Line:\n" + lines[3] + "\n" : "");
  }
  gProcess.consistencyReference = nullptr;
  TextDestroy(text);
}

TEST_F(Sheet, DebugOutputNamesTheItemAndListsWeaponWeights) {
  // Labels shown at debug level 2: the effect-count question names its item, and every
  // weapon candidate prints its class, race and standard weights.
  bool labels = gProcess.labelFlag;
  gProcess.labelFlag = true;
  SetOutputLevels(2, -1);
  std::string out;
  for (int n = 75; n < 300 && (out.find("Anzahl der Effeckte auf ") == std::string::npos || out.find("(Race)") == std::string::npos);
       n += 5) {
    CaptureStdout();
    Build(n);
    out += GetCapturedStdout();
  }
  SetOutputLevels(0, -1);
  gProcess.labelFlag = labels;
  EXPECT_EQ(out.find("%s"), std::string::npos);
  static const std::regex kCount(R"(.*\(Anzahl der Effeckte auf [^ %]+ wählen!\).*)");
  static const std::regex kWeight(R"( *\d+/\d+ +\S+: ( *\d+\(\S+\) \* )+ *\d+\(Race\) \* +\d+\(Standard\) = +\d+)");
  bool count = false, weight = false;
  for (const std::string& line : Lines(out)) {
    count = count || (line.find("Effeckte auf") != std::string::npos && std::regex_match(line, kCount));
    weight = weight || (line.find("(Race)") != std::string::npos && std::regex_match(line, kWeight));
  }
  EXPECT_TRUE(count);
  EXPECT_TRUE(weight);
}
