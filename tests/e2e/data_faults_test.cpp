// Faults put into a copy of the shipped rule data: each stops the rebuild with its
// own message and the fatal-error exit, and nothing crashes.
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

std::string Join(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& f : fields)
    out += (out.empty() ? "" : "  ") + (f.find(' ') != std::string::npos || f.empty() ? "\"" + f + "\"" : f);
  return out;
}

class DataFault : public ::testing::Test {
 protected:
  void SetUp() override { dir.CopyBuild(); }
  void WriteLines(const std::string& file, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    dir.Write(file, text);
  }
  // Sets one field of the row whose first field is `row`; without a value, appends `column` as a field.
  void SetField(const std::string& file, const std::string& row, const std::string& column, const std::string& value) {
    std::vector<std::string> lines = SplitLines(dir.Read(file));
    std::vector<std::string> header = TableFields(lines[0]);
    size_t col = 0;
    while (col < header.size() && header[col] != column) ++col;
    EXPECT_TRUE(value.empty() || col < header.size()) << column;
    for (size_t i = 2; i < lines.size(); ++i) {
      std::vector<std::string> f = TableFields(lines[i]);
      if (f.empty() || f[0] != row) continue;
      value.empty() ? f.push_back(column) : void(f[col] = value);
      lines[i] = Join(f);
      return WriteLines(file, lines);
    }
    ADD_FAILURE() << row << " not found in " << file;
  }
  void Replace(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = dir.Read(file);
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    dir.Write(file, text.replace(at, from.size(), to));
  }
  ProgramRun RunToEnd(const char* input = "0\nq\n") {
    ProgramRun run = RunProgram(dir, {"0"}, input, 120);
    EXPECT_TRUE(EndedWith(run, 0));
    return run;
  }
  WorkDir dir;
};

}  // namespace

TEST_F(DataFault, MissingTable) {
  ASSERT_EQ(unlink(dir.File("Build/Data/Regions.txt").c_str()), 0);
  ProgramRun run = RunProgram(dir, {"0"}, "0\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 1));
  size_t failed = run.output.find("FAILED\nCould not open Build/Data/Regions.txt: No such file or directory\n");
  EXPECT_NE(failed, std::string::npos) << run.output;
  EXPECT_GT(run.output.find("The rule database could not be built from Build/\n"), failed);
  EXPECT_TRUE(Has(run, "Aborting...\n"));
}

// Each fault in turn, the file restored after it (the reader's own messages for a table's
// form are unit tested). A fault is "set file row column value" (no value appends the
// column's text as a field), "replace file from to", "write file bytes" or "delete file";
// its words are split as the table reader splits them.
TEST_F(DataFault, EachFaultStopsTheRebuildWithItsMessage) {
  const std::string races = dir.Read("Build/Data/Races.txt"), spells = dir.Read("Build/Data/Spells.txt");
  std::string latin1;
  for (size_t i = 0; i < spells.size(); ++i)
    latin1 += (unsigned char)spells[i] == 0xC3 && i + 1 < spells.size()
                  ? char(((unsigned char)spells[++i] & 0x3F) | 0xC0)
                  : spells[i];
  const std::map<std::string, std::string> bytes = {
      {"headers", races.substr(0, races.find('\n', races.find('\n') + 1) + 1)}, {"latin1", latin1}};
  const struct {
    std::string fault;
    std::vector<std::string> says;
  } cases[] = {
      {"replace Build/Profiles.txt Race=Mensch Race=Marsmensch",
       {"Not found: Marsmensch\nIn Build/Profiles.txt, profile [Stadtwache], key Race\n"}},
      {"set Build/Data/Races.txt Mensch EffectScript \"GA += ;\"",
       {"Content does not match Grammar near:", "Error in Race Script Mensch\n"}},
      {"delete Build/MonsterText/Katze",
       {"Monster Description not foundKatze\nThe monster Katze has no text file under Build/MonsterText\n"}},
      {"set Build/Data/Monsters.txt AnimatedObjectMedium HDMin 1", {"HDMin < HD: AnimatedObjectMedium: 1 < 2\n"}},
      {"set Build/Data/Monsters.txt Otyugh Gesinnung Meist:NX",
       {"Invalid alignment code \"NX\" in Meist:NX of Otyugh (", "In Build/Data/Monsters.txt, line "}},
      {"set Build/Data/Feats.txt Doppelschlag Req XY,1;",
       {"Unknown Feat Rule: XY 1\nIn Build/Data/Feats.txt, line 52\n"}},
      {"set Build/Data/Feats.txt Doppelschlag Req ST,13;PR,Kraftangriff;",
       {"Not found: Kraftangriff\nIn Build/Data/Feats.txt, line 52\n"}},
      {"set Build/Data/Monsters.txt Wolf Type Drache", {"Not found: Drache\n"}},
      {"set Build/Data/Templates.txt Celestial ForbitType Aberration;Animal;Construct;Dragon;Elemental;Fey;Giant;"
       "Humanoid;MagicalBeast;MonstrousHumanoid;Ooze;Outsider;Plant;Undead;Vermin;",
       {"Template Celestial fits no monster type\n"}},
      {"replace Build/Data/Spells2.txt \nBarbar \nBerserker",
       {"Not found: Berserker\nIn Build/Data/Spells2.txt, line 3\n"}},
      {"replace Build/Data/Specials.txt \"\nHippogriff\t\" \"\nSchlachtross\t\"",
       {"Companion Schlachtross of the class extras names no monster\n"}},
      {"set Build/Data/Characters.txt Kämpfer GAType gut",
       {"Invalid progression GAType (1 good, 2 medium, 3 poor)\n"
        "Invalid Number of Arguments in CharSource Database (Kämpfer)\n"}},
      {"set Build/Data/Specific.txt SilberDolch On Silberdolch", {"Not found: Silberdolch\n"}},
      // The form of a table file: the message names the file and, where there is one, the line.
      {"write Build/Data/Races.txt headers",
       {"Not found: Mensch\nIn Build/Profiles.txt, profile [Stadtwache], key Race\n"
        "Looked up in Build/Data/Races.txt (0 rows)\n"}},
      {"write Build/Data/Spells.txt latin1",
       {"Text that is not UTF-8: byte 0xE4 at position 113 (save the file as UTF-8)\n"
        "In Build/Data/Spells.txt, line 1\n"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.fault);
    std::vector<std::string> f = TableFields(k.fault);
    f.resize(5);
    const std::string pristine = dir.Read(f[1]);
    if (f[0] == "set") SetField(f[1], f[2], f[3], f[4]);
    if (f[0] == "replace") Replace(f[1], f[2], f[3]);
    if (f[0] == "write") dir.Write(f[1], bytes.at(f[2]));
    ASSERT_EQ(f[0] == "delete" ? unlink(dir.File(f[1]).c_str()) : 0, 0);
    ProgramRun run = RunProgram(dir, {"0"}, "0\nq\n", 60);
    ASSERT_TRUE(EndedWith(run, 1));
    for (const std::string& s : k.says) EXPECT_TRUE(Has(run, s)) << s << "\n" << run.output;
    EXPECT_TRUE(Has(run, "Quitting due to error\n") && !Has(run, "Init took"));
    dir.Write(f[1], pristine);
  }
}

// Faults the rebuild gets over: a monster text named in another case, attack columns after
// the list's end, a field that is no number (warned about once), byte-order marks.
TEST_F(DataFault, ToleratedFaultsBuildWithTheirWarnings) {
  ASSERT_EQ(rename(dir.File("Build/MonsterText/Katze").c_str(), dir.File("Build/MonsterText/KATZE").c_str()), 0);
  SetField("Build/Data/Monsters.txt", "Wolf", "Type3", "Klaue");  // Type2 "0" ends the list
  SetField("Build/Data/Equipment.txt", "Langschwert", "Price", "15gm");
  SetField("Build/Data/Races.txt", "Elf", "RaceMod", "0;2;acht;0;0;0;");
  Replace("Build/Profiles.txt", "Attributes=16:", "Attributes=sechzehn:");
  ProgramRun run = RunToEnd();
  for (const char* warning :
       {"Warning: Build/Data/Equipment.txt, line 33, column Price: \"15gm\" is no whole number, read as 15\n",
        "Warning: Build/Data/Races.txt, line 5, column RaceMod: \"acht\" is no whole number, read as 0\n",
        "Warning: Build/Profiles.txt, profile [Stadtwache], key Attributes: \"sechzehn\" is no whole number, read as "
        "0\n",
        "Warning: 3 table fields are no whole number"})
    EXPECT_TRUE(Has(run, warning)) << warning << "\n" << run.output;
  EXPECT_EQ(CountOf(run.output, "is no whole number, read as"), 3) << "printed once, not once per build";
  // A byte-order mark is accepted, also before the first section of the profiles.
  ASSERT_EQ(unlink(dir.File("source.mrg").c_str()), 0);  // the next run rebuilds
  std::string profiles;
  dir.Write("Build/Data/Races.txt", "\xEF\xBB\xBF" + dir.Read("Build/Data/Races.txt"));
  for (const std::string& l : SplitLines(dir.Read("Build/Profiles.txt")))
    if (!l.empty() && l[0] != ';') profiles += l + "\n";
  dir.Write("Build/Profiles.txt", "\xEF\xBB\xBF" + profiles);
  run = RunToEnd("0 0 0 0 0 0 0 0 0 1\nq\n");
  EXPECT_TRUE(Has(run, "Init took ") && Has(run, "Profiles:  Stadtwache ")) << run.output;
}

TEST_F(DataFault, ACRWithoutMonstersFallsBackAndEnds) {
  // Every monster made CR 0: a batch asking for CR 30 finds the nearest CR that has
  // monsters (advanced ones reach a few CR higher) and ends normally.
  std::vector<std::string> lines = SplitLines(dir.Read("Build/Data/Monsters.txt"));
  for (size_t i = 2; i < lines.size(); ++i) {
    std::vector<std::string> f = TableFields(lines[i]);
    if (f.size() > 2) f[1] = "0";
    lines[i] = Join(f);
  }
  WriteLines("Build/Data/Monsters.txt", lines);
  ProgramRun run = RunToEnd("1 30 30 3 3 0 0 0 0 0\nq\n");
  EXPECT_EQ(CountOf(run.output, "Generating Char "), 3) << run.output.substr(0, 3000);
  EXPECT_TRUE(Has(run, "HG Level"));
}

// A row with a field too many is an error; the good dump stays, and later starts say
// that the tables are newer than it and use it until the table is fixed.
TEST_F(DataFault, ARebuildThatFailsKeepsTheOldDumpAndLaterStartsSaySo) {
  const std::string good = ShippedDump(), file = "Build/Data/Monsters.txt", pristine = dir.Read(file);
  ASSERT_FALSE(good.empty());
  SetField(file, "Fledermaus", "zuviel", "");
  dir.Write("source.mrg", good);
  const timeval past[2] = {{1000000000, 0}, {1000000000, 0}};  // the dump was written before the tables changed
  ASSERT_EQ(utimes(dir.File("source.mrg").c_str(), past), 0);
  // Runtime 3 cannot rebuild: it hands over, the rebuild fails, and the exit status says so.
  ProgramRun failed = RunProgram(dir, {"3"}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
  ASSERT_TRUE(EndedWith(failed, 1));
  EXPECT_TRUE(Has(failed, file + " changed after source.mrg was written: the first batch rebuilds the rules"))
      << failed.output;
  EXPECT_TRUE(Has(failed, "Invalid Number of Arguments in MonsterSource Database (Fledermaus)\n"));
  EXPECT_EQ(dir.Read("source.mrg"), good);
  ProgramRun later = RunProgram(dir, {}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
  ASSERT_TRUE(EndedWith(later, 0));
  EXPECT_TRUE(
      Has(later, "The tables are newer than source.mrg (" + file + " changed), but the last rebuild from them failed"))
      << later.output;
  EXPECT_TRUE(!Has(later, "Rebuilding") && Has(later, "Generating Char 0"));
  // Fixed, the table is newer than the failed rebuild: the next start rebuilds.
  dir.Write(file, pristine);
  ProgramRun fixed = RunProgram(dir, {"1"}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
  ASSERT_TRUE(EndedWith(fixed, 0));
  EXPECT_TRUE(Has(fixed, "Dumping Source...Done")) << fixed.output;
  EXPECT_EQ(dir.Read("source.mrg"), good);
  EXPECT_FALSE(dir.Exists("source.mrg.failed"));
}
