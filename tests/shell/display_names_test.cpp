// What a person reads names every row by its display name: over a fixed-seed corpus of
// every kind under both rule sets, no sheet or stat block shows a table key, an English type or size,
// a note that sends the reader to a description, or an unnamed favoured enemy.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "generator/creation.h"
#include "shell/sheet_fixture.h"
#include "shell/statblock.h"

using namespace debugspace;

namespace {

// English words of the SRD's sizes and creature types that German sheets must not show.
const std::set<std::string> kEnglish = {"Fine",      "Diminutive", "Tiny",      "Small",     "Medium", "Large",
                                        "Huge",      "Gargantuan", "Colossal",  "Ooze",      "Undead", "Animal",
                                        "Construct", "Dragon",     "Elemental", "Fey",       "Giant",  "Outsider",
                                        "Plant",     "Vermin",     "Magical",   "Monstrous", "Beast",  "Slap"};

// The words of a line: runs of letters (UTF-8 letters taken whole).
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned char ch = (unsigned char)line[i];
    if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= 0x80 && ch != 0xE2)) {
      word += (char)ch;
      continue;
    }
    if (ch == 0xE2) i += 2;  // frames and dashes part words
    if (!word.empty()) words.push_back(word);
    word.clear();
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// A key joins its words without blanks: a small letter (or ä, ö, ü, ß) right before a capital.
const std::regex kKey("(?:[a-z]|ä|ö|ü|ß)[A-Z]");

using DisplayNames = shell_test::SheetFixture;

TEST_F(DisplayNames, SheetsAndStatBlocksShowNoKeysNoEnglishAndNameWhatTheyMean) {
  int spellLike = 0, rangers = 0, crafts = 0;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    UseRules(rules);
    const int kinds[] = {0, 1, 2, 4};
    for (int n = 0; n < 240; ++n) {
      Wire(c_);
      Preset(c_, kinds[n % 4], 1 + (n / 4) % 25);
      CreateCreature(c_, 1);
      DrawFinalDetails(c_);
      std::string notes = generator_test::Notes(c_);
      spellLike += notes.find("Zauberähnliche Fähigkeiten: siehe Beschreibung") != std::string::npos;
      rangers += notes.find(" Kreaturenarten") != std::string::npos;
      std::string sheet = SheetText(c_);
      crafts += sheet.find("│   Handwerk (") != std::string::npos;
      for (const std::string& row : StatBlock(c_, 78)) sheet += row + "\n";
      for (const char* sent : {"siehe Beschreibung", "Kreaturenarten"})
        EXPECT_EQ(sheet.find(sent), std::string::npos) << "creature " << n << ": " << sent << "\n" << sheet;
      for (const std::string& line : shell_test::Lines(sheet)) {
        EXPECT_FALSE(std::regex_search(line, kKey)) << "creature " << n << ": a key in\n" << line;
        for (const std::string& word : Words(line))
          EXPECT_FALSE(kEnglish.count(word)) << "creature " << n << ": English " << word << " in\n" << line;
      }
    }
  }
  // The corpus holds what the checks are about.
  EXPECT_GT(spellLike, 0);
  EXPECT_GT(rangers, 0);
  EXPECT_GT(crafts, 0);
}

}  // namespace
