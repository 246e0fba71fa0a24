// The shipped rule data: everything loads, the counts are complete, and names
// resolve to the rows they name.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "generator/monster_cr.h"
#include "generator/script_binding.h"
#include "generator/source_fixture.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "source/reader.h"
#include "source/records.h"
#include "source/source_init.h"
#include "temp_dir.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// The loaded database of the generator tests; its per-test set-up is harmless here.
class ShippedData : public generator_test::SourceFixture {
 protected:
  template <class T>
  static int Find(const T* table, int count, const char* name) {
    return FindByName(table, count, name);
  }
};

// A word as a key writes it: a small letter right before a capital ("LeiseBewegen",
// "ÜberlegeneInitiative"), umlauts included.
bool HasCamelCase(const std::string& s) {
  static const std::regex kKey("(?:[a-z]|ä|ö|ü|ß)(?:[A-Z]|Ä|Ö|Ü)");
  return std::regex_search(s, kKey);
}

// Every row's display name: present, and words a person reads rather than a key.
template <class T>
void ExpectDisplayNames(const char* table, const T* rows, int count) {
  for (int i = 0; i < count; ++i) {
    std::string shown = rows[i].display.c_str();
    EXPECT_FALSE(shown.empty()) << table << ": " << rows[i].name.c_str();
    EXPECT_FALSE(HasCamelCase(shown)) << table << ": " << shown;
    EXPECT_EQ(shown.find('_'), std::string::npos) << table << ": " << shown;
  }
}

// The `Gesinnung` column of a shipped table, by row key.
std::map<std::string, std::string> AlignmentColumn(const char* path) {
  std::map<std::string, std::string> column;
  std::ifstream in(path);
  std::string line;
  std::vector<char*> fields(512);
  int at = -1, count = 0;
  for (int n = 0; std::getline(in, line); ++n) {
    if (n == 1 || line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    int found = SplitLine(buffer.data(), fields.data(), (int)fields.size());
    if (n == 0) {
      count = found;
      at = FindColumn(fields.data(), "Gesinnung", found);
    } else if (at >= 0 && found == count) {
      column[fields[0]] = fields[at];
    }
  }
  return column;
}

// A list literal with its inner NULs.
template <size_t N>
std::string List(const char (&s)[N]) {
  return std::string(s, N - 1);
}

}  // namespace

TEST_F(ShippedData, TablesHoldTheRuleBooksSizesTypesAndSchools) {
  EXPECT_EQ(gSource.sizeCount, 9);
  EXPECT_EQ(gSource.monsterTypeCount, 15);
  EXPECT_EQ(gSource.schoolCount, 9);  // eight schools and the universal one
  EXPECT_TRUE(gSource.races[gSource.raceCount].name == "Monster");
  EXPECT_EQ(gSource.races[gSource.raceCount].attackType, 1);
  const int fighter = Find(gSource.classes, gSource.classCount, "Kämpfer");
  const int dwarf = Find(gSource.races, gSource.raceCount, "Zwerg");
  const int deep = Find(gSource.races, gSource.raceCount, "Tiefenzwerg");
  ASSERT_GE(fighter, 0);
  ASSERT_GE(deep, 0);
  EXPECT_EQ(gSource.classes[fighter].hitDie, 10);
  EXPECT_EQ(gSource.races[deep].parent, dwarf);
  EXPECT_EQ(gSource.races[dwarf].parent, -1);
}

TEST_F(ShippedData, EveryRowHasADisplayName) {
  ExpectDisplayNames("classes", gSource.classes, gSource.classCount);
  ExpectDisplayNames("feats", gSource.feats, gSource.featCount);
  ExpectDisplayNames("equipment", gSource.equipment, gSource.equipmentCount);
  ExpectDisplayNames("skills", gSource.skills, gSource.skillCount);
  ExpectDisplayNames("races", gSource.races, gSource.raceCount);
  ExpectDisplayNames("spells", gSource.spells, gSource.spellCount);
  ExpectDisplayNames("powers", gSource.powers, gSource.powerCount);
  ExpectDisplayNames("effects", gSource.effects, gSource.effectCount);
  ExpectDisplayNames("specific items", gSource.specifics, gSource.specificCount);
  ExpectDisplayNames("monsters", gSource.monsters, gSource.monsterCount);
  ExpectDisplayNames("schools", gSource.schools, gSource.schoolCount);
  ExpectDisplayNames("sizes", gSource.sizes, gSource.sizeCount);
  ExpectDisplayNames("monster types", gSource.monsterTypes, gSource.monsterTypeCount);
  ExpectDisplayNames("domains", gSource.domains, gSource.domainCount);
  ExpectDisplayNames("templates", gSource.templates, gSource.templateCount);
  ExpectDisplayNames("regions", gSource.regions, gSource.regionCount);
  ExpectDisplayNames("monster abilities", gSource.abilities, gSource.abilityCount);
  ExpectDisplayNames("class extras", gSource.specials, gSource.specialCount);
  ExpectDisplayNames("bonus types", gSource.bonuses, gSource.bonusCount);
}

// Names as a German game master and the SRD spell them (display nullptr: not checked).
TEST_F(ShippedData, DisplayAndSrdNamesOfSampleRows) {
  auto expect = [](const auto* rows, int count, const char* key, const char* display, const char* srd) {
    int i = Find(rows, count, key);
    ASSERT_GE(i, 0) << key;
    if (display) {
      EXPECT_STREQ(rows[i].display.c_str(), display) << key;
    }
    EXPECT_STREQ(rows[i].srd.c_str(), srd) << key;
  };
  const Source& s = gSource;
  expect(s.skills, s.skillCount, "LeiseBewegen", "Leise bewegen", "Move Silently");
  expect(s.skills, s.skillCount, "WissenGewölbe", "Wissen (Gewölbe)", "Knowledge (dungeoneering)");
  expect(s.feats, s.featCount, "KriegsWaffen", "Kriegswaffen", "Martial Weapon Proficiency");
  expect(s.classes, s.classCount, "SchwarzerRitter", nullptr, "Blackguard");
  expect(s.templates, s.templateCount, "Skelleton", nullptr, "Skeleton");
  expect(s.sizes, s.sizeCount, "Diminutive", "Winzig", "Diminutive");
  expect(s.monsterTypes, s.monsterTypeCount, "MagicalBeast", nullptr, "Magical Beast");
  expect(s.effects, s.effectCount, "Enthauptend", nullptr, "Vorpal");
}

// Every alignment line is ";" or a frequency and a list of alignments or groups; a
// sample checked against the SRD's lines.
TEST_F(ShippedData, AlignmentLinesAreWellFormed) {
  const std::string item = "(RG|NG|CG|RN|N|CN|RB|NB|CB|n?[RCGB])";
  const std::regex line("(Immer|Meist|Oft|Beliebig):(\\*|" + item + "(," + item + ")*)");
  std::map<std::string, std::string> all;  // by path and key
  for (const char* path : {"Build/Data/Races.txt", "Build/Data/Templates.txt", "Build/Data/Monsters.txt"}) {
    std::map<std::string, std::string> column = AlignmentColumn(path);
    EXPECT_GT(column.size(), 10u) << path;
    for (const auto& [key, value] : column) {
      EXPECT_TRUE(value == ";" || std::regex_match(value, line)) << path << ": " << key << " " << value;
      all[path + (" " + key)] = value;
    }
  }
  // Dwarf "Often lawful good", drow "Usually neutral evil", human none; skeleton "Always
  // neutral evil", lich "Any evil", vampire "Always evil (any)".
  for (auto [row, value] : {std::pair{"Races.txt Zwerg", "Oft:RG"},
                            {"Races.txt Drow", "Meist:NB"},
                            {"Races.txt Mensch", "Beliebig:*"},
                            {"Templates.txt Skelleton", "Immer:NB"},
                            {"Templates.txt Lich", "Beliebig:B"},
                            {"Templates.txt Vampire", "Immer:B"}})
    EXPECT_EQ(all[std::string("Build/Data/") + row], value) << row;
}

// Every named magic item sits on a real base item that can carry it (no goods), costs more
// than that base, whose price the purchase deducts, and is wanted by at least one class
// group or found in hoards; row 0 is the never-chosen placeholder.
TEST_F(ShippedData, SpecificItemsNameTheirBaseAndCostMoreThanIt) {
  ASSERT_GE(gSource.specificCount, 1);
  EXPECT_TRUE(gSource.specifics[0].name == "KeinGegenstand");
  for (int g = 0; g < 4; ++g) EXPECT_EQ(gSource.specifics[0].groups[g], 0);
  for (int i = 1; i < gSource.specificCount; ++i) {
    const SpecificSource& s = gSource.specifics[i];
    SCOPED_TRACE(s.name.c_str());
    ASSERT_GE(s.base, 1);
    ASSERT_LT(s.base, gSource.equipmentCount);
    const EquipSource& e = gSource.equipment[s.base];
    EXPECT_GT(s.price, std::max(e.price, 0)) << e.name.c_str();
    EXPECT_NE(e.equipType, 10);
    int weight = 0;
    for (int g = 0; g < 4; ++g) {
      EXPECT_TRUE(s.groups[g] >= 0 && s.groups[g] <= 10);
      weight += s.groups[g];
    }
    // Bracers of armour are bought by their own rule, never as a named item: a hoard finds them.
    EXPECT_TRUE(weight > 0 || s.grades[0] + s.grades[1] + s.grades[2] > 0);
  }
}

// Building and releasing the whole Source gives back every block it took.
TEST(ShippedDataRelease, FreeingTheSourceLeavesNothing) {
  TempWorkDir dir;
  CaptureStdout();
  int before = TrackerCount();
  ASSERT_EQ(ReadGrammarConfig(), 0);
  ASSERT_EQ(RedirectCreatureScripts(), 0);
  ASSERT_EQ(BuildRules(), 0);
  FreeSource();
  ReleaseRedirection();
  DropGrammarForTests();
  int after = TrackerCount();
  GetCapturedStdout();
  EXPECT_EQ(after, before);
}

TEST_F(ShippedData, RequirementAndFeatListCodes) {
  const int fighter = Find(gSource.classes, gSource.classCount, "Kämpfer");
  const int mage = Find(gSource.classes, gSource.classCount, "Magier");
  const int a = Find(gSource.feats, gSource.featCount, "Abhärtung");
  const int b = Find(gSource.feats, gSource.featCount, "EinfacheWaffen");
  const int cl = 'C' | 'L' << 8, pg = 'P' | 'G' << 8;
  struct Case {
    std::string list;  // items as the reader leaves them: ";" a NUL, "," a blank
    bool feats;
    std::vector<int32_t> code;
    int32_t dependency;
  } cases[] = {
      {List("\0"), false, {}, -1},  // the field ";"
      {List("CL Kämpfer 3|Magier 3\0"), false, {cl, 2, fighter, 3, mage, 3}, -1},
      {List("PG Abhärtung\0PG EinfacheWaffen\0"), false, {pg, a, pg, b}, a},
      {List("MIN_FIGHTER:2\0"), true, {-2, 2}, -1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.list);
    String text;
    text.Assign(k.list.data(), k.list.size());
    Owned code;
    int32_t dependency = -1;
    if (k.feats)
      ResolveFeatListText(text, code);
    else
      ResolveRequirementList(text, code, &dependency);
    EXPECT_EQ(std::vector<int32_t>(code.Code() + 1, code.Code() + 1 + code.CodeLength()), k.code);
    EXPECT_EQ(dependency, k.dependency);
  }
}

TEST(MonsterText, SpellResistanceLeavesTheTextWithItsLine) {
  struct Case {
    const char *text, *rest;
    int32_t resistance;
  } cases[] = {
      {"Groß.\nSpell Resistance 18\nBiss.\n", "Groß.\nBiss.\n", 18},
      {"Groß.\nSpell Resistance 18", "Groß.\n", 18},
      {"Spell Resistance keine\n", "Spell Resistance keine\n", 0},
  };
  for (const Case& k : cases) {
    String text;
    text.Assign(k.text);
    EXPECT_EQ(TakeSpellResistanceFrom(text), k.resistance) << k.text;
    EXPECT_STREQ(text.c_str(), k.rest);
  }
}

// The game master's list of magic items by English name names every row with its key and
// price (scripts/magic-items-doc.py writes it from the table).
TEST_F(ShippedData, MagicItemListNamesEveryItem) {
  std::ifstream in(SCHMIEDE_SOURCE_DIR "/docs/data/magic-items.md");
  ASSERT_TRUE(in) << "docs/data/magic-items.md";
  std::map<std::string, std::string> listed;  // key -> the row
  for (std::string line; std::getline(in, line);) {
    size_t open = line.find("| `"), close = line.find("` |");
    if (open != std::string::npos && close != std::string::npos) listed[line.substr(open + 3, close - open - 3)] = line;
  }
  EXPECT_EQ(listed.size(), (size_t)gSource.specificCount - 1);
  for (int i = 1; i < gSource.specificCount; ++i) {
    const SpecificSource& s = gSource.specifics[i];
    auto row = listed.find(s.name.c_str());
    ASSERT_NE(row, listed.end()) << s.name.c_str() << ": run scripts/magic-items-doc.py";
    EXPECT_EQ(row->second.rfind("| " + std::string(s.srd.c_str()) + " |", 0), 0u) << row->second;
    EXPECT_NE(row->second.find("` | " + std::to_string(s.price) + " |"), std::string::npos) << row->second;
  }
}
