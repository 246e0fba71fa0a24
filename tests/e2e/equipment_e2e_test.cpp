// A character batch as a game master runs it: the export lists every item with its
// enhancement and effects, and every name it uses is a row of the shipped tables.
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program.h"

namespace {

// First column of every data row (the two header lines skipped).
std::set<std::string> Names(const std::string& table) {
  std::ifstream in(std::string(SCHMIEDE_SOURCE_DIR) + "/Build/Data/" + table);
  std::set<std::string> names;
  std::string line, first;
  for (int row = 0; std::getline(in, line); ++row)
    if (row >= 2 && std::istringstream(line) >> first) names.insert(first);
  return names;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line.substr(line.find('=') + 1));
  for (std::string part; std::getline(in, part, ',');) out.push_back(part);
  return out;
}

}  // namespace

TEST(CharacterBatch, ExportListsEveryItemWithEnhancementAndEffects) {
  WorkDir dir;
  ProgramRun run = RunProgram(dir, {"0"}, "0 12 12 4 4 0 0 0 0 0\nx\nausruestung\nd\nd\nd\nd\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 0));
  std::string exported = dir.Read("export/ausruestung.exp");
  ASSERT_EQ(ExportedCreatures(exported).size(), 4u) << exported;
  std::set<std::string> equipment = Names("Equipment.txt"), specific = Names("Specific.txt"),
                        effects = Names("Effects.txt");
  ASSERT_GT(equipment.size(), 100u);
  // Per kind of item: the field count, and where its enhancement and its effect count stand.
  struct Kind {
    size_t fields, enhancement, count;
  };
  const std::map<std::string, Kind> kinds = {
      {"EQUIPWEAPON", {9, 5, 6}}, {"EQUIPARMOR", {7, 3, 4}}, {"EQUIPSHIELD", {6, 2, 3}}, {"EQUIPARROWS", {3, 0, 1}}};
  std::istringstream lines(exported);
  std::string line, name;
  int items = 0, enhanced = 0, shown = 0, effectLines = 0, expectedEffects = 0;
  bool open = false;
  while (std::getline(lines, line)) {
    std::string key = line.substr(0, line.find('='));
    std::vector<std::string> f = Fields(line);
    if (key == "EQUIPSTART" || key == "TREASURESTART") {
      ASSERT_FALSE(open) << "an item block is not closed before " << line;
      open = true;
      ++items;
    } else if (line == "EQUIPEND") {
      ASSERT_TRUE(open);
      open = false;
    } else if (key == "EQUIPMENT") {
      ASSERT_EQ(f.size(), 4u) << line;
      name = f[1];
      EXPECT_TRUE(equipment.count(name) || specific.count(name)) << "unknown item " << line;
      EXPECT_GE(std::stoi(f[2]), 0) << line;
    } else if (key == "EQUIPEFFECT") {
      ASSERT_GE(f.size(), 4u) << line;
      EXPECT_TRUE(effects.count(f[2])) << "unknown effect " << line;
      EXPECT_FALSE(f[3].empty()) << "an effect without its detail text: " << line;
      ++effectLines;
    } else if (auto kind = kinds.find(key); kind != kinds.end() && f.size() == kind->second.fields) {
      int enhancement = std::stoi(f[kind->second.enhancement]);
      EXPECT_LE(enhancement, 6) << line;
      if (enhancement <= 0) continue;
      ++enhanced;
      expectedEffects += std::stoi(f[kind->second.count]);
      // Sheets on the screen name the item with its bonus.
      shown += Has(run, name + " +" + std::to_string(enhancement));
    }
  }
  EXPECT_FALSE(open);
  EXPECT_EQ(CountOf(exported, "EQUIPEND"), items);
  // Level-13 characters carry equipment, and their magic arms show on the sheets paged through.
  EXPECT_GE(items, 4) << exported;
  // Every fighting style with a weapon arms its character.
  for (const std::string& block : ExportedCreatures(exported)) {
    size_t style = block.find("ATTACKTYPES=");
    ASSERT_NE(style, std::string::npos);
    EXPECT_TRUE(atoi(block.c_str() + style + 12) == 0 || Has(block, "EQUIPWEAPON=")) << block;
  }
  EXPECT_GE(enhanced, 1) << exported;
  EXPECT_GE(shown, 1) << run.output;
  EXPECT_LE(expectedEffects, effectLines);
}

// Choose-class mode asks for race, class and class levels on the console; piped answers
// make a human fighter of 2 levels with a second class every time, whatever the dice
// decide for the rest.
TEST(ChooseClassMode, PipedAnswersChooseRaceClassAndLevels) {
  for (int run = 0; run < 3; ++run) {
    WorkDir dir;
    // No profile, no template, race 0 ("Mensch"), no subrace, class 4 ("Kämpfer"), chance
    // for the placement of the scores, a further class: the fighter keeps 2 of the 6
    // levels, chance picks the second class, no third.
    ProgramRun r = RunProgram(dir, {"0"}, "0 5 5 1 1 0 1 0 0 0\n0\n0\n0\n0\n4\n-1\n1\n2\n-1\n0\nx\nkaempfer\nq\n", 60);
    ASSERT_TRUE(EndedWith(r, 0));
    for (const char* question : {"(Volk w", "(Subrace?:)", "(Klasse w", "(Weitere Klasse hinzuf", "Level der Klasse K"})
      EXPECT_TRUE(Has(r, question)) << question << "\n" << r.output.substr(0, 6000);
    std::string exported = dir.Read("export/kaempfer.exp");
    EXPECT_TRUE(Has(exported, "RACE=Mensch") && Has(exported, "CLASS=0,Kämpfer,2,") && Has(exported, "CLASS=1,"))
        << exported.substr(0, 2000);
  }
}

// With everything to choose, "-1" lets chance decide the rest of one stage only: the
// stages after it, down to the hit points, ask again.
TEST(ChooseClassMode, ThisRandomEndsOnlyItsStage) {
  WorkDir dir;
  std::string input = "0 5 5 1 1 0 2 0 0 0\n";
  for (int k = 0; k < 40; ++k) input += "-1\n";  // the rest goes to the viewer
  ProgramRun r = RunProgram(dir, {"0"}, (input + "q\n").c_str(), 60);
  ASSERT_TRUE(EndedWith(r, 0));
  size_t hitPoints = r.output.find("Manuel Random (Trefferpunkte)");
  EXPECT_NE(hitPoints, std::string::npos) << r.output.substr(0, 6000);
  // The alignment comes last: asked after the hit points when more than one fits the
  // classes drawn, and on the sheet in any case.
  size_t alignment = r.output.find("(Gesinnung wählen!:)\n");
  EXPECT_TRUE(alignment == std::string::npos || alignment > hitPoints);
  EXPECT_NE(r.output.find("│ Gesinnung: ", hitPoints), std::string::npos) << r.output.substr(hitPoints);
}
