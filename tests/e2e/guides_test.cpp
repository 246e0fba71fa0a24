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

std::vector<Example> ExamplesOf(const std::string& wanted) {
  std::stringstream guide(ReadFile(std::string(SCHMIEDE_SOURCE_DIR) + "/docs/guides.md"));
  std::vector<Example> out;
  std::string section, line;
  bool inExample = false, otherFence = false;
  while (std::getline(guide, line)) {
    bool fence = line.rfind("```", 0) == 0;
    if (inExample) {
      inExample = line != "```";
      if (inExample) out.back().text += line + "\n";
    } else if (fence && otherFence) {
      otherFence = false;
    } else if (fence) {
      std::string info = line.substr(3);
      bool append = info.rfind("append:", 0) == 0;
      otherFence = !append && info.rfind("create:", 0) != 0;
      inExample = !otherFence;
      if (inExample) out.push_back(Example{section, append, info.substr(7), ""});
    } else if (!otherFence && line.rfind("## ", 0) == 0) {
      section = line.substr(3);
    }
  }
  std::erase_if(out, [&](const Example& e) { return e.section != wanted; });
  return out;
}

// Rows of a table (line 1 header, line 2 skipped, empty lines ignored).
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  explicit Table(const std::string& text) {
    std::vector<std::string> lines = SplitLines(text);
    if (!lines.empty()) header = TableFields(lines[0]);
    for (size_t i = 2; i < lines.size(); ++i)
      if (!TableFields(lines[i]).empty()) rows.push_back(TableFields(lines[i]));
  }
  int Index(const std::string& name) const {
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i][0] == name) return (int)i;
    return -1;
  }
  // The field shown to a person: quotes taken off, ";" (none) empty.
  std::string Value(int row, const std::string& column) const {
    for (size_t c = 0; c < header.size(); ++c)
      if (header[c] == column && c < rows[(size_t)row].size()) {
        const std::string& v = rows[(size_t)row][c];
        return v == ";" ? "" : v.size() > 1 && v[0] == '"' ? v.substr(1, v.size() - 2) : v;
      }
    return "";
  }
};

class Guide : public ::testing::Test {
 protected:
  void SetUp() override { dir.CopyBuild(); }  // the examples must never touch the shipped data

  // Applies every example of a guide; returns the one block that goes into `file`.
  Example Apply(const std::string& section, const std::string& file) {
    std::vector<Example> examples = ExamplesOf(section);
    EXPECT_FALSE(examples.empty()) << "no example blocks under \"## " << section << "\"";
    Example block;
    for (const Example& e : examples) {
      EXPECT_EQ(dir.Exists(e.file), e.append) << e.file << (e.append ? " must exist" : " must be new");
      std::string old = e.append ? dir.Read(e.file) : "";
      dir.Write(e.file, old + (old.empty() || old.back() == '\n' ? "" : "\n") + e.text);
      if (e.file == file) block = e;
    }
    EXPECT_FALSE(block.text.empty()) << "no example block for " << file;
    return block;
  }

  // Runs the debug runtime in the copy; the first run rebuilds the rule database from it.
  ProgramRun Run(const std::string& input) {
    ProgramRun run = RunProgram(dir, {"0"}, input.c_str(), 60);
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_FALSE(Has(run, "Quitting due to error")) << run.output;
    return run;
  }

  WorkDir dir;
};

}  // namespace

TEST_F(Guide, MonsterLoadsAndIsChosen) {
  std::vector<std::string> row = SplitLines(Apply("Ein Monster hinzufügen", "Build/Data/Monsters.txt").text);
  ASSERT_EQ(row.size(), 1u) << "one row";
  Table monsters(dir.Read("Build/Data/Monsters.txt"));
  std::vector<std::string> fields = TableFields(row[0]);
  ASSERT_EQ(fields.size(), monsters.header.size()) << "the row needs a field for every column";
  const std::string name = fields[0];
  std::string text = dir.Read("Build/MonsterText/" + name);
  ASSERT_FALSE(text.empty());
  int index = monsters.Index(name);
  ASSERT_EQ(index, (int)monsters.rows.size() - 1) << name << " must be new and stand last";
  int cr = atoi(monsters.Value(index, "CR").c_str());
  int typeIndex = Table(dir.Read("Build/Data/MonsterTypes.txt")).Index(monsters.Value(index, "Type"));
  ASSERT_GE(typeIndex, 0);
  const std::string i = std::to_string(index), t = std::to_string(typeIndex), c = std::to_string(cr);
  // What a person reads: the row's display name (its key without one), the SRD's beside it.
  std::string shown = monsters.Value(index, "Anzeige"), srd = monsters.Value(index, "SRD");
  if (shown.empty()) shown = name;

  // The CR listing: type, then the monster by its index.
  ProgramRun list = Run("1 " + c + " " + c + " 1 1 0 1 0 1 0\n" + t + "\n" + i + "\nq\n");
  EXPECT_TRUE(Has(list, "Init took ")) << "the copy was not rebuilt:\n" << list.output;
  EXPECT_TRUE(Has(list, "\n" + i + ": (1 / ") && Has(list, "): " + shown + "\n")) << list.output;
  Table templates(dir.Read("Build/Data/Templates.txt"));
  std::string none = templates.Index("Keins") >= 0 ? templates.Value(templates.Index("Keins"), "Anzeige") : "";
  char base[96];
  snprintf(base, sizeof base, "Template: %s\n\tHD Inc:  0 - Possible CRs: %2d - %2d\n",
           none.empty() ? "Keins" : none.c_str(), cr, cr);
  std::string heading = srd.empty() || srd == shown ? shown : shown + " (" + srd + ")";
  EXPECT_TRUE(Has(list, "\n" + heading + ":\n\n" + base)) << list.output;

  // A batch of one with this monster chosen: no template, its type, the monster, then chance.
  ProgramRun batch = Run("1 " + c + " " + c + " 1 1 0 1 0 0 0\n0\n" + t + "\n" + i + "\n-2\nxguide\nq\n");
  EXPECT_TRUE(Has(batch, "│ " + shown + " (")) << batch.output;
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_TRUE(Has(exported, "MONSTER=" + name + "\n")) << batch.output;
  // The description: the first line of the text file, joined with the next one by a blank.
  EXPECT_TRUE(Has(exported, SplitLines(text)[0] + " ")) << exported;
  // The first attack slot of the row is its first natural attack.
  EXPECT_TRUE(Has(exported, "MONSTERATTACK=0,Primär  : ,\"" + monsters.Value(index, "Type1") + "\",")) << exported;
}

// The feat loads, and the profile, which takes it first, builds a character with it.
TEST_F(Guide, FeatLoadsAndTheProfileBuildsACharacterWithIt) {
  std::vector<std::string> row = SplitLines(Apply("Ein Talent hinzufügen", "Build/Data/Feats.txt").text);
  ASSERT_EQ(row.size(), 1u) << "one row";
  Table feats(dir.Read("Build/Data/Feats.txt"));
  ASSERT_EQ(TableFields(row[0]).size(), feats.header.size()) << "the row needs a field for every column";
  const std::string feat = TableFields(row[0])[0];
  ASSERT_EQ(feats.Index(feat), (int)feats.rows.size() - 1) << feat << " must be new";
  ProgramRun debug = Run("0 0 0 0 0 0 0 0 0 1\nq\n");
  std::string read = "Opening File (Build/Data/Feats.txt)\tOK\nReading List\t\t\t" + std::to_string(feats.rows.size());
  size_t at = debug.output.find(read + "\n");
  ASSERT_NE(at, std::string::npos) << "Feats.txt does not hold one row more:\n" << debug.output;
  // Each record's name follows its row, after the traces of its scripts (which go to the
  // other stream, so the two may meet on one line).
  std::string table = debug.output.substr(at, debug.output.find("Opening File (", at + read.size()) - at);
  EXPECT_TRUE(Has(table, feat + " ")) << feat << " is not among the records of Feats.txt";

  std::vector<std::string> lines = SplitLines(Apply("Ein Profil hinzufügen", "Build/Profiles.txt").text);
  ASSERT_TRUE(!lines.empty() && lines[0].size() > 2 && lines[0][0] == '[' && lines[0].back() == ']');
  const std::string name = lines[0].substr(1, lines[0].size() - 2);
  std::map<std::string, std::string> keys;
  for (const std::string& l : lines)
    if (l.find('=') != std::string::npos) keys[l.substr(0, l.find('='))] = l.substr(l.find('=') + 1);
  for (const char* key : {"Classes", "AttackType", "Weapons", "Feats", "Spells", "Skills", "Effects", "Specials",
                          "Armor", "Race", "MinLevel", "Shield", "PreferedSchool", "Attributes"})
    EXPECT_EQ(keys.count(key), 1u) << "missing key " << key;
  ASSERT_EQ(keys["Feats"].substr(0, feat.size() + 1), feat + ",") << "the profile should take the new feat first";
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
  EXPECT_TRUE(Has(run, "\n" + i + ": (1 / ") && Has(run, "): " + name + "\n")) << run.output;
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_TRUE(Has(exported, "\nRACE=" + keys["Race"] + "\n")) << run.output;
  EXPECT_TRUE(Has(exported, "\nCLASS=0," + keys["Classes"].substr(0, keys["Classes"].find(':')) + ",")) << exported;
  EXPECT_TRUE(Has(exported, "," + feat + ",\n")) << "the feat was not taken:\n" << exported;
}
