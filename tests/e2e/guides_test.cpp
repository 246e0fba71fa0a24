// The examples of docs/guides.md, taken from the guide itself: each is applied to a
// copy of Build/, the debug runtime rebuilds from that copy, and the new monster,
// feat or profile must load and be used. A wrong example fails here.
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

// The data rows of a table (two header lines, empty lines ignored), split into fields.
std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> lines = SplitLines(text);
  for (size_t i = 2; i < lines.size(); ++i)
    if (!TableFields(lines[i]).empty()) rows.push_back(TableFields(lines[i]));
  return rows;
}

int IndexOf(const std::vector<std::vector<std::string>>& rows, const std::string& name) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i][0] == name) return (int)i;
  return -1;
}

class Guide : public ::testing::Test {
 protected:
  void SetUp() override { dir.CopyBuild(); }  // the examples must never touch the shipped data

  // Applies every example of a guide; returns the one row that goes into `file`.
  std::vector<std::string> Apply(const std::string& section, const std::string& file) {
    std::vector<Example> examples = ExamplesOf(section);
    EXPECT_FALSE(examples.empty()) << "no example blocks under \"## " << section << "\"";
    std::vector<std::string> block;
    for (const Example& e : examples) {
      EXPECT_EQ(dir.Exists(e.file), e.append) << e.file << (e.append ? " must exist" : " must be new");
      std::string old = e.append ? dir.Read(e.file) : "";
      dir.Write(e.file, old + (old.empty() || old.back() == '\n' ? "" : "\n") + e.text);
      if (e.file == file) block = SplitLines(e.text);
    }
    EXPECT_FALSE(block.empty()) << "no example block for " << file;
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
  std::vector<std::string> row = Apply("Ein Monster hinzufügen", "Build/Data/Monsters.txt");
  ASSERT_EQ(row.size(), 1u) << "one row";
  std::vector<std::vector<std::string>> monsters = Rows(dir.Read("Build/Data/Monsters.txt"));
  const std::vector<std::string> fields = TableFields(row[0]);
  ASSERT_EQ(fields.size(), TableFields(SplitLines(dir.Read("Build/Data/Monsters.txt"))[0]).size())
      << "the row needs a field for every column";
  int index = IndexOf(monsters, fields[0]);
  ASSERT_EQ(index, (int)monsters.size() - 1) << fields[0] << " must be new and stand last";
  int type = IndexOf(Rows(dir.Read("Build/Data/MonsterTypes.txt")), fields[2]);  // CR, then type
  ASSERT_GE(type, 0);
  const std::string cr = fields[1];
  // A batch of one with this monster chosen: no template, its type, the monster, then chance.
  Run("1 " + cr + " " + cr + " 1 1 0 1 0 0 0\n0\n" + std::to_string(type) + "\n" + std::to_string(index) +
      "\n-2\nxguide\nq\n");
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_TRUE(Has(exported, "MONSTER=" + fields[0] + "\n")) << exported;
  // The description: the first line of the text file, joined with the next one by a blank.
  EXPECT_TRUE(Has(exported, SplitLines(dir.Read("Build/MonsterText/" + fields[0]))[0] + " ")) << exported;
}

// The feat loads, and the profile, which takes it first, builds a character with it.
TEST_F(Guide, FeatLoadsAndTheProfileBuildsACharacterWithIt) {
  std::vector<std::string> row = Apply("Ein Talent hinzufügen", "Build/Data/Feats.txt");
  ASSERT_EQ(row.size(), 1u) << "one row";
  const std::string feat = TableFields(row[0])[0];
  std::vector<std::vector<std::string>> feats = Rows(dir.Read("Build/Data/Feats.txt"));
  ASSERT_EQ(IndexOf(feats, feat), (int)feats.size() - 1) << feat << " must be new";
  std::vector<std::string> lines = Apply("Ein Profil hinzufügen", "Build/Profiles.txt");
  ASSERT_TRUE(lines[0].size() > 2 && lines[0][0] == '[' && lines[0].back() == ']');
  std::map<std::string, std::string> keys;
  for (const std::string& l : lines)
    if (l.find('=') != std::string::npos) keys[l.substr(0, l.find('='))] = l.substr(l.find('=') + 1);
  ASSERT_EQ(keys["Feats"].substr(0, feat.size() + 1), feat + ",") << "the profile should take the new feat first";
  // The profile's index is its place among the sections of the file.
  int index = -1, sections = 0;
  for (const std::string& l : SplitLines(dir.Read("Build/Profiles.txt")))
    if (!l.empty() && l[0] == '[') {
      if (l == lines[0]) index = sections;
      ++sections;
    }
  ASSERT_EQ(index, sections - 1) << lines[0] << " must be new and stand last";
  // Follow a profile, as closely as possible, this one; maximal weighting for the rest.
  ProgramRun run = Run("0 4 4 1 1 0 1 2 0 0\n1\n10\n" + std::to_string(index) + "\nxguide\nq\n");
  EXPECT_TRUE(Has(run, "): " + lines[0].substr(1, lines[0].size() - 2) + "\n")) << run.output;
  std::string exported = dir.Read("export/guide.exp");
  EXPECT_TRUE(Has(exported, "\nRACE=" + keys["Race"] + "\n")) << run.output;
  EXPECT_TRUE(Has(exported, "\nCLASS=0," + keys["Classes"].substr(0, keys["Classes"].find(':')) + ",")) << exported;
  EXPECT_TRUE(Has(exported, "," + feat + ",\n")) << "the feat was not taken:\n" << exported;
}
