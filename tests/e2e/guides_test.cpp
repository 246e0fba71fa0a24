// The examples of docs/guides.md, taken from the guide itself: each is applied to a
// copy of Build/, the debug runtime rebuilds from that copy, and the new monster,
// feat or profile must load and be used. A wrong example fails here.
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program.h"

namespace {

// A fenced block of the guide whose info string is "append:<file>" or "create:<file>".
struct Example {
  std::string section;  // the "## " heading above it
  bool append = false;
  std::string file;  // relative to the working directory
  std::string text;  // the block's lines, each ending with "\n"
};

std::vector<Example> GuideExamples() {
  std::stringstream guide(ReadFile(std::string(SCHMIEDE_SOURCE_DIR) + "/docs/guides.md"));
  std::vector<Example> out;
  std::string section, line;
  Example* open = nullptr;
  bool otherFence = false;
  while (std::getline(guide, line)) {
    if (open) {
      if (line == "```")
        open = nullptr;
      else
        open->text += line + "\n";
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      if (otherFence) {
        otherFence = false;
        continue;
      }
      std::string info = line.substr(3);
      bool append = info.rfind("append:", 0) == 0, create = info.rfind("create:", 0) == 0;
      if (!append && !create) {
        otherFence = true;
        continue;
      }
      out.push_back(Example{section, append, info.substr(7), ""});
      open = &out.back();
      continue;
    }
    if (!otherFence && line.rfind("## ", 0) == 0) section = line.substr(3);
  }
  return out;
}

std::vector<Example> ExamplesOf(const std::string& section) {
  std::vector<Example> out;
  for (const Example& e : GuideExamples())
    if (e.section == section) out.push_back(e);
  return out;
}

// Rows of a table (line 1 header, line 2 skipped, empty lines ignored) as column -> value.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int Index(const std::string& name) const {
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].empty() && rows[i][0] == name) return (int)i;
    return -1;
  }
  std::string Value(int row, const std::string& column) const {
    for (size_t c = 0; c < header.size(); ++c)
      if (header[c] == column && c < rows[(size_t)row].size()) return rows[(size_t)row][c];
    return "";
  }
};

Table ReadTable(const std::string& text) {
  Table t;
  std::vector<std::string> lines = SplitLines(text);
  if (!lines.empty()) t.header = TableFields(lines[0]);
  for (size_t i = 2; i < lines.size(); ++i) {
    std::vector<std::string> f = TableFields(lines[i]);
    if (!f.empty()) t.rows.push_back(f);
  }
  return t;
}

class Guide : public ::testing::Test {
 protected:
  void SetUp() override { dir.CopyBuild(); }  // the examples must never touch the shipped data

  // Applies every example of a guide; returns them.
  std::vector<Example> Apply(const std::string& section) {
    std::vector<Example> examples = ExamplesOf(section);
    EXPECT_FALSE(examples.empty()) << "no example blocks under \"## " << section << "\"";
    for (const Example& e : examples) {
      if (e.append) {
        EXPECT_TRUE(dir.Exists(e.file)) << e.file << " must exist to be appended to";
        std::string old = dir.Read(e.file);
        if (!old.empty() && old.back() != '\n') old += "\n";
        dir.Write(e.file, old + e.text);
      } else {
        EXPECT_FALSE(dir.Exists(e.file)) << e.file << " already exists: the example must be new";
        dir.Write(e.file, e.text);
      }
    }
    return examples;
  }

  // The one block of a guide that goes into `file`.
  static const Example& Block(const std::vector<Example>& examples, const std::string& file) {
    for (const Example& e : examples)
      if (e.file == file) return e;
    static Example none;
    ADD_FAILURE() << "no example block for " << file;
    return none;
  }

  // Runs the debug runtime in the copy; the first run rebuilds the rule database from it.
  ProgramRun Run(const std::string& input) {
    ProgramRun run = RunProgram(dir, {"0"}, input.c_str(), 60);
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(run.output.find("Quitting due to error"), std::string::npos) << run.output;
    return run;
  }

  WorkDir dir;
};

}  // namespace

TEST_F(Guide, MonsterLoadsAndIsChosen) {
  std::vector<Example> examples = Apply("Ein Monster hinzufügen");
  const Example& row = Block(examples, "Build/Data/Monsters.txt");
  ASSERT_EQ(SplitLines(row.text).size(), 1u) << "one row";
  Table monsters = ReadTable(dir.Read("Build/Data/Monsters.txt"));
  std::vector<std::string> fields = TableFields(SplitLines(row.text)[0]);
  ASSERT_EQ(fields.size(), monsters.header.size()) << "the row needs a field for every column";
  const std::string name = fields[0];
  const Example& text = Block(examples, "Build/MonsterText/" + name);
  ASSERT_FALSE(text.text.empty());
  int index = monsters.Index(name);
  ASSERT_EQ(index, (int)monsters.rows.size() - 1) << name << " must be new and stand last";
  std::string type = monsters.Value(index, "Type");
  int cr = atoi(monsters.Value(index, "CR").c_str());
  int typeIndex = ReadTable(dir.Read("Build/Data/MonsterTypes.txt")).Index(type);
  ASSERT_GE(typeIndex, 0) << type;
  const std::string i = std::to_string(index), t = std::to_string(typeIndex), c = std::to_string(cr);
  // What a person reads: the row's display name (its key without one), the SRD's beside it.
  auto unquoted = [](std::string v) {
    return v == ";" ? std::string() : v.size() > 1 && v[0] == '"' ? v.substr(1, v.size() - 2) : v;
  };
  std::string shown = unquoted(monsters.Value(index, "Anzeige")), srd = unquoted(monsters.Value(index, "SRD"));
  if (shown.empty()) shown = name;

  // The CR listing: type, then the monster by its index.
  ProgramRun list = Run("1 " + c + " " + c + " 1 1 0 1 0 1 0\n" + t + "\n" + i + "\nq\n");
  EXPECT_NE(list.output.find("Init took "), std::string::npos) << "the copy was not rebuilt:\n" << list.output;
  EXPECT_NE(list.output.find("\n" + i + ": (1 / "), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("): " + shown + "\n"), std::string::npos) << list.output;
  char base[96];
  Table templates = ReadTable(dir.Read("Build/Data/Templates.txt"));
  std::string none =
      templates.Index("Keins") >= 0 ? unquoted(templates.Value(templates.Index("Keins"), "Anzeige")) : "";
  snprintf(base, sizeof base, "Template: %s\n\tHD Inc:  0 - Possible CRs: %2d - %2d\n",
           none.empty() ? "Keins" : none.c_str(), cr, cr);
  std::string heading = srd.empty() || srd == shown ? shown : shown + " (" + srd + ")";
  EXPECT_NE(list.output.find("\n" + heading + ":\n\n" + base), std::string::npos) << list.output;

  // A batch of one with this monster chosen: no template, its type, the monster, then chance.
  ProgramRun batch = Run("1 " + c + " " + c + " 1 1 0 1 0 0 0\n0\n" + t + "\n" + i + "\n-2\nxguide\nq\n");
  EXPECT_NE(batch.output.find("│ " + shown + " ("), std::string::npos) << batch.output;
  ASSERT_TRUE(dir.Exists("export/guide.exp")) << batch.output;
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_NE(exported.find("MONSTER=" + name + "\n"), std::string::npos) << exported;
  // The description: the first line of the text file, joined with the next one by a blank.
  EXPECT_NE(exported.find(SplitLines(text.text)[0] + " "), std::string::npos) << exported;
  // The first attack slot of the row is its first natural attack.
  std::string attack = monsters.Value(index, "Type1");
  EXPECT_NE(exported.find("MONSTERATTACK=0,Primär  : ,\"" + attack + "\","), std::string::npos) << exported;
}

// The feat loads, and the profile, which takes it first, builds a character with it.
TEST_F(Guide, FeatLoadsAndTheProfileBuildsACharacterWithIt) {
  std::vector<std::string> row = SplitLines(Block(Apply("Ein Talent hinzufügen"), "Build/Data/Feats.txt").text);
  ASSERT_EQ(row.size(), 1u) << "one row";
  Table feats = ReadTable(dir.Read("Build/Data/Feats.txt"));
  ASSERT_EQ(TableFields(row[0]).size(), feats.header.size()) << "the row needs a field for every column";
  const std::string feat = TableFields(row[0])[0];
  ASSERT_EQ(feats.Index(feat), (int)feats.rows.size() - 1) << feat << " must be new";
  ProgramRun debug = Run("0 0 0 0 0 0 0 0 0 1\nq\n");
  EXPECT_NE(debug.output.find("Init took "), std::string::npos) << debug.output;
  std::string read = "Opening File (Build/Data/Feats.txt)\tOK\nReading List\t\t\t" + std::to_string(feats.rows.size());
  size_t at = debug.output.find(read + "\n");
  ASSERT_NE(at, std::string::npos) << "Feats.txt does not hold one row more";
  // Each record's name follows its row, after the traces of its scripts (which go to the
  // other stream, so the two may meet on one line).
  std::string table = debug.output.substr(at, debug.output.find("Opening File (", at + read.size()) - at);
  EXPECT_NE(table.find(feat + " "), std::string::npos) << feat << " is not among the records of Feats.txt";

  std::vector<Example> examples = Apply("Ein Profil hinzufügen");
  std::vector<std::string> lines = SplitLines(Block(examples, "Build/Profiles.txt").text);
  ASSERT_FALSE(lines.empty());
  ASSERT_TRUE(lines[0].size() > 2 && lines[0][0] == '[' && lines[0].back() == ']') << lines[0];
  const std::string name = lines[0].substr(1, lines[0].size() - 2);
  std::map<std::string, std::string> keys;
  for (size_t k = 1; k < lines.size(); ++k) {
    size_t eq = lines[k].find('=');
    if (eq != std::string::npos) keys[lines[k].substr(0, eq)] = lines[k].substr(eq + 1);
  }
  for (const char* key : {"Classes", "AttackType", "Weapons", "Feats", "Spells", "Skills", "Effects", "Specials",
                          "Armor", "Race", "MinLevel", "Shield", "PreferedSchool", "Attributes"})
    EXPECT_EQ(keys.count(key), 1u) << "missing key " << key;
  ASSERT_EQ(keys["Feats"].substr(0, feat.size() + 1), feat + ",") << "the profile should take the new feat first";
  std::string firstClass = keys["Classes"].substr(0, keys["Classes"].find(':'));
  std::string race = keys["Race"];

  // The profile's index is its place among the sections of the file.
  int index = -1, sections = 0;
  for (const std::string& l : SplitLines(dir.Read("Build/Profiles.txt")))
    if (!l.empty() && l[0] == '[') {
      if (l == lines[0]) index = sections;
      ++sections;
    }
  ASSERT_EQ(index, sections - 1) << name << " must be new and stand last";
  const std::string i = std::to_string(index);

  // Follow a profile, as closely as possible, this one; maximal weighting for the rest.
  ProgramRun run = Run("0 4 4 1 1 0 1 2 0 0\n1\n10\n" + i + "\nxguide\nq\n");
  EXPECT_NE(run.output.find("\n" + i + ": (1 / "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("): " + name + "\n"), std::string::npos) << run.output;
  ASSERT_TRUE(dir.Exists("export/guide.exp")) << run.output;
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_NE(exported.find("\nRACE=" + race + "\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("\nCLASS=0," + firstClass + ","), std::string::npos) << exported;
  EXPECT_NE(exported.find("," + feat + ",\n"), std::string::npos) << "the feat was not taken:\n" << exported;
}
