// Faults put into a copy of the shipped rule data: each stops the rebuild with its
// own message and the fatal-error exit, and nothing crashes.
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
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
  // Sets one field of the row whose first field is `row`; returns the old value.
  std::string SetField(const std::string& file, const std::string& row, const std::string& column,
                       const std::string& value) {
    std::vector<std::string> lines = SplitLines(dir.Read(file));
    std::vector<std::string> header = TableFields(lines[0]);
    size_t col = 0;
    while (col < header.size() && header[col] != column) ++col;
    EXPECT_LT(col, header.size()) << column;
    for (size_t i = 2; i < lines.size(); ++i) {
      std::vector<std::string> f = TableFields(lines[i]);
      if (f.empty() || f[0] != row) continue;
      std::string old = f[col];
      f[col] = value;
      lines[i] = Join(f);
      WriteLines(file, lines);
      return old;
    }
    ADD_FAILURE() << row << " not found in " << file;
    return "";
  }
  void Replace(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = dir.Read(file);
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    dir.Write(file, text.replace(at, from.size(), to));
  }
  // Runs a batch in the debug runtime; the rebuild must stop and say each of `says`.
  void ExpectFatal(const std::vector<std::string>& says) {
    ProgramRun run = RunProgram(dir, {"0"}, "0\nq\n", 60);
    ASSERT_TRUE(EndedWith(run, 1));
    for (const std::string& s : says) EXPECT_NE(run.output.find(s), std::string::npos) << s << "\n" << run.output;
    EXPECT_NE(run.output.find("Quitting due to error\n"), std::string::npos);
    EXPECT_EQ(run.output.find("Init took"), std::string::npos);
  }
  ProgramRun RunToEnd(const char* input = "0\nq\n") {
    ProgramRun run = RunProgram(dir, {"0"}, input, 120);
    EXPECT_TRUE(EndedWith(run, 0));
    return run;
  }
  WorkDir dir;
};

}  // namespace

TEST_F(DataFault, TheCopyItselfBuilds) {
  ProgramRun run = RunToEnd("0 0 0 0 0 0 0 0 0 1\nq\n");
  EXPECT_NE(run.output.find("Init took "), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Warning"), std::string::npos) << "the shipped tables are clean";
  // Debug output lists every table with its row count.
  EXPECT_NE(run.output.find("Opening File (Build/Data/Races.txt)\tOK\nReading List\t\t\t24\n"), std::string::npos);
  EXPECT_NE(run.output.find("Opening File (Build/Data/Characters.txt)\tOK\nReading List\t\t\t54\n"), std::string::npos);
}

TEST_F(DataFault, MissingTable) {
  ASSERT_EQ(unlink(dir.File("Build/Data/Regions.txt").c_str()), 0);
  ProgramRun run = RunProgram(dir, {"0"}, "0\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 1));
  size_t failed = run.output.find("FAILED\nCould not open Build/Data/Regions.txt: No such file or directory\n");
  EXPECT_NE(failed, std::string::npos) << run.output;
  EXPECT_GT(run.output.find("The rule database could not be built from Build/\n"), failed);
  EXPECT_NE(run.output.find("Aborting...\n"), std::string::npos);
}

// Each fault in turn, the file restored after it.
TEST_F(DataFault, EachFaultStopsTheRebuildWithItsMessage) {
  auto set = [this](const char* file, const char* row, const char* column, const char* value) {
    return [=, this] { SetField(file, row, column, value); };
  };
  auto write = [this](const char* file, std::string bytes) { return [=, this] { dir.Write(file, bytes); }; };
  std::vector<std::string> skills = SplitLines(dir.Read("Build/Data/Skills.txt"));
  const std::string columns = std::to_string(TableFields(skills[0]).size()), skill = TableFields(skills[2])[0];
  const std::string races = dir.Read("Build/Data/Races.txt");
  auto latin1 = [](const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
      out += (unsigned char)text[i] == 0xC3 && i + 1 < text.size() ? char(((unsigned char)text[++i] & 0x3F) | 0xC0)
                                                                   : text[i];
    return out;
  };
  struct Case {
    const char* file;
    std::function<void()> fault;
    std::vector<std::string> says;
  } cases[] = {
      {"Build/Data/Races.txt",
       [&] { Replace("Build/Data/Races.txt", " Range ", " Reichweite "); },
       {"Value not found: Range\n"}},
      {"Build/Data/Skills.txt",
       [&] { Replace("Build/Data/Skills.txt", skills[2] + "\n", skills[2] + "  zuviel\n"); },
       {"Invalid Number in Database (" + std::to_string(std::stoi(columns) + 1) + " instead of " + columns +
        ")\nInvalid Number of Arguments in SkillSource Database (" + skill + ")\nIn Build/Data/Skills.txt, line 3\n"}},
      {"Build/Profiles.txt",
       [&] { Replace("Build/Profiles.txt", "Race=Mensch", "Race=Marsmensch"); },
       {"Not found: Marsmensch\nIn Build/Profiles.txt, profile [Stadtwache], key Race\n"}},
      {"Build/Data/Races.txt",
       set("Build/Data/Races.txt", "Mensch", "EffectScript", "GA += ;"),
       {"Content does not match Grammar near:", "Error in Race Script Mensch\n"}},
      {"Build/MonsterText/Katze",
       [&] { ASSERT_EQ(unlink(dir.File("Build/MonsterText/Katze").c_str()), 0); },
       {"Monster Description not foundKatze\nThe monster Katze has no text file under Build/MonsterText\n"}},
      {"Build/Data/Monsters.txt",
       set("Build/Data/Monsters.txt", "AnimatedObjectMedium", "HDMin", "1"),
       {"HDMin < HD: AnimatedObjectMedium: 1 < 2\n"}},
      {"Build/Data/Monsters.txt",
       set("Build/Data/Monsters.txt", "Otyugh", "Gesinnung", "Meist:NX"),
       {"Invalid alignment code \"NX\" in Meist:NX of Otyugh (", "In Build/Data/Monsters.txt, line "}},
      {"Build/Data/Races.txt",
       set("Build/Data/Races.txt", "Zwerg", "Gesinnung", "Selten:RG"),
       {"Invalid alignment code \"Selten\" in Selten:RG of Zwerg (", "In Build/Data/Races.txt, line "}},
      {"Build/Data/Feats.txt",
       set("Build/Data/Feats.txt", "Doppelschlag", "Req", "XY,1;"),
       {"Unknown Feat Rule: XY 1\nIn Build/Data/Feats.txt, line 52\n"}},
      {"Build/Data/Feats.txt",
       set("Build/Data/Feats.txt", "Doppelschlag", "Req", "ST,13;PR,Kraftangriff;"),
       {"Not found: Kraftangriff\nIn Build/Data/Feats.txt, line 52\n"}},
      {"Build/Data/Monsters.txt", set("Build/Data/Monsters.txt", "Wolf", "Type", "Drache"), {"Not found: Drache\n"}},
      {"Build/Data/Monsters.txt", set("Build/Data/Monsters.txt", "Wolf", "Size", "Riesig"), {"Not found: Riesig\n"}},
      {"Build/Data/Templates.txt",
       set("Build/Data/Templates.txt", "Celestial", "ForbitType",
           "Aberration;Animal;Construct;Dragon;Elemental;Fey;Giant;Humanoid;MagicalBeast;MonstrousHumanoid;Ooze;"
           "Outsider;Plant;Undead;Vermin;"),
       {"Template Celestial fits no monster type\n"}},
      {"Build/Data/Spells2.txt",
       [&] { Replace("Build/Data/Spells2.txt", "\nBarbar", "\nBerserker"); },
       {"Not found: Berserker\nIn Build/Data/Spells2.txt, line 3\n"}},
      {"Build/Data/Skills.txt",
       set("Build/Data/Skills.txt", "Springen", "Synergy", "Purzeln;"),
       {"Not found: Purzeln\nIn Build/Data/Skills.txt, line 20\n"}},
      {"Build/Data/Specials.txt",
       [&] { Replace("Build/Data/Specials.txt", "\nHippogriff\t", "\nSchlachtross\t"); },
       {"Companion Schlachtross of the class extras names no monster\n"}},
      {"Build/Data/Characters.txt",
       set("Build/Data/Characters.txt", "Kämpfer", "GAType", "gut"),
       {"Invalid progression GAType (1 good, 2 medium, 3 poor)\n"
        "Invalid Number of Arguments in CharSource Database (Kämpfer)\n"}},
      {"Build/Data/Specific.txt",
       set("Build/Data/Specific.txt", "SilberDolch", "On", "Silberdolch"),
       {"Not found: Silberdolch\n"}},
      {"Build/Data/Equipment.txt",
       [&] { Replace("Build/Data/Equipment.txt", "\nKleidung ", "\nKleidungX "); },
       {"Not found: Kleidung\n"}},
      // The form of a table file: the message names the file and, where there is one, the line.
      {"Build/Data/Races.txt",
       write("Build/Data/Races.txt", ""),
       {"Value not found: Name\nIn Build/Data/Races.txt, which holds no header line\n"}},
      {"Build/Data/Races.txt",
       write("Build/Data/Races.txt", races.substr(0, races.find('\n', races.find('\n') + 1) + 1)),
       {"Not found: Mensch\nIn Build/Profiles.txt, profile [Stadtwache], key Race\n"
        "Looked up in Build/Data/Races.txt (0 rows)\n"}},
      {"Build/Data/Spells.txt",
       write("Build/Data/Spells.txt", latin1(dir.Read("Build/Data/Spells.txt"))),
       {"Text that is not UTF-8: byte 0xE4 at position 113 (save the file as UTF-8)\nIn Build/Data/Spells.txt, line "
        "1\n"}},
      {"Build/MonsterText/Katze",
       write("Build/MonsterText/Katze", dir.Read("Build/MonsterText/Katze") + "Gr\xF6\xDF"
                                                                              "e\n"),
       {"Text that is not UTF-8: byte 0xF6 at position 3 (save the file as UTF-8)\nIn Build/MonsterText/Katze, line "}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.says[0]);
    const std::string pristine = dir.Read(k.file);
    k.fault();
    ExpectFatal(k.says);
    dir.Write(k.file, pristine);
  }
}

// Faults the rebuild gets over: a monster text named in another case, attack columns after
// the list's end, a price or number field that is no number (read and warned about once),
// byte-order marks.
TEST_F(DataFault, ToleratedFaultsBuildWithTheirWarnings) {
  ASSERT_EQ(rename(dir.File("Build/MonsterText/Katze").c_str(), dir.File("Build/MonsterText/KATZE").c_str()), 0);
  SetField("Build/Data/Monsters.txt", "Wolf", "Type3", "Klaue");  // Type2 "0" ends the list
  SetField("Build/Data/Equipment.txt", "Langschwert", "Price", "15gm");
  SetField("Build/Data/Races.txt", "Zwerg", "Prob", "vierzig");
  SetField("Build/Data/Races.txt", "Elf", "RaceMod", "0;2;acht;0;0;0;");
  Replace("Build/Profiles.txt", "Attributes=16:", "Attributes=sechzehn:");
  ProgramRun run = RunToEnd();
  for (const char* warning :
       {"Warning: Build/Data/Equipment.txt, line 33, column Price: \"15gm\" is no whole number, read as 15\n",
        "Warning: Build/Data/Races.txt, line 4, column Prob: \"vierzig\" is no whole number, read as 0\n",
        "Warning: Build/Data/Races.txt, line 5, column RaceMod: \"acht\" is no whole number, read as 0\n",
        "Warning: Build/Profiles.txt, profile [Stadtwache], key Attributes: \"sechzehn\" is no whole number, read as "
        "0\n",
        "Warning: 4 table fields are no whole number"})
    EXPECT_NE(run.output.find(warning), std::string::npos) << warning << "\n" << run.output;
  EXPECT_EQ(CountOf(run.output, "is no whole number, read as"), 4) << "printed once, not once per build";
  // A byte-order mark is accepted, also before the first section of the profiles.
  ASSERT_EQ(unlink(dir.File("source.mrg").c_str()), 0);  // the next run rebuilds
  std::string races = dir.Read("Build/Data/Races.txt"), profiles;
  dir.Write("Build/Data/Races.txt", "\xEF\xBB\xBF" + races);
  for (const std::string& l : SplitLines(dir.Read("Build/Profiles.txt")))
    if (!l.empty() && l[0] != ';') profiles += l + "\n";
  dir.Write("Build/Profiles.txt", "\xEF\xBB\xBF" + profiles);
  run = RunToEnd("0 0 0 0 0 0 0 0 0 1\nq\n");
  EXPECT_NE(run.output.find("Init took "), std::string::npos);
  EXPECT_NE(run.output.find("Profiles:  Stadtwache "), std::string::npos) << run.output;
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
  EXPECT_NE(run.output.find("HG Level"), std::string::npos);
}

// A row with a field too many is an error; the good dump stays, and later starts say
// that the tables are newer than it and use it until the table is fixed.
TEST_F(DataFault, ARebuildThatFailsKeepsTheOldDumpAndLaterStartsSaySo) {
  const std::string good = ShippedDump();
  ASSERT_FALSE(good.empty());
  struct Case {
    const char *file, *row, *message;
  } cases[] = {
      {"Build/Data/Races.txt", "Zwerg", "Invalid Number of Arguments in Race Source Database (Zwerg)\n"},
      {"Build/Data/Feats.txt", "EinfacheWaffen",
       "Invalid Number of Arguments in FeatSource Database (EinfacheWaffen)\n"},
      {"Build/Data/Monsters.txt", "Fledermaus", "Invalid Number of Arguments in MonsterSource Database (Fledermaus)\n"},
  };
  const timeval past[2] = {{1000000000, 0}, {1000000000, 0}};  // the dump was written before the tables changed
  for (const Case& k : cases) {
    SCOPED_TRACE(k.row);
    const std::string pristine = dir.Read(k.file);
    std::vector<std::string> lines = SplitLines(pristine);
    for (std::string& l : lines)
      if (l.rfind(std::string(k.row) + " ", 0) == 0 || l.rfind(std::string(k.row) + "\t", 0) == 0) l += "\tzuviel";
    WriteLines(k.file, lines);
    dir.Write("source.mrg", good);
    ASSERT_EQ(utimes(dir.File("source.mrg").c_str(), past), 0);
    // Runtime 3 cannot rebuild: it hands over, the rebuild fails, and the exit status says so.
    ProgramRun failed = RunProgram(dir, {"3"}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
    ASSERT_TRUE(EndedWith(failed, 1));
    EXPECT_NE(failed.output.find(std::string(k.file) +
                                 " changed after source.mrg was written: the first batch rebuilds the rules"),
              std::string::npos)
        << failed.output;
    EXPECT_NE(failed.output.find(k.message), std::string::npos);
    EXPECT_EQ(dir.Read("source.mrg"), good);
    ProgramRun later = RunProgram(dir, {}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
    ASSERT_TRUE(EndedWith(later, 0));
    EXPECT_NE(later.output.find("The tables are newer than source.mrg (" + std::string(k.file) +
                                " changed), but the last rebuild from them failed"),
              std::string::npos)
        << later.output;
    EXPECT_EQ(later.output.find("Rebuilding"), std::string::npos);
    EXPECT_NE(later.output.find("Generating Char 0"), std::string::npos);
    dir.Write(k.file, pristine);
  }
  // Fixed, the table is newer than the failed rebuild: the next start rebuilds.
  ProgramRun fixed = RunProgram(dir, {"1"}, "0 1 1 1 1 0 0 0 0 0\nq\n", 60);
  ASSERT_TRUE(EndedWith(fixed, 0));
  EXPECT_NE(fixed.output.find("Dumping Source...Done"), std::string::npos) << fixed.output;
  EXPECT_EQ(dir.Read("source.mrg"), good);
  EXPECT_FALSE(dir.Exists("source.mrg.failed"));
}

TEST(TreasureBatch, HoardsFollowTheTreasureTableAndWearNothing) {
  WorkDir dir;
  // Treasure only, CR 1 to 20, one to three items; export the hoard.
  ProgramRun run = RunProgram(dir, {"0"}, "3 1 20 1 3 0 0 0 0 0\nx\nschatz\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Ausrüstung:"), std::string::npos) << run.output;
  std::string exported = dir.Read("export/schatz.exp");
  int items = CountOf(exported, "TREASURESTART=");
  EXPECT_GE(items, 1) << exported;
  EXPECT_EQ(CountOf(exported, "EQUIPEND"), items);
  // The items' values and the rest never exceed the budget; a drawn-again weapon, armour or
  // shield leaves its price paid, so they may fall short of it.
  size_t money = exported.find("MONEY=");
  ASSERT_NE(money, std::string::npos);
  int wealth = 0, coins = 0, sale = 0, budget = 0, rest = 0;
  ASSERT_EQ(sscanf(exported.c_str() + money, "MONEY=%d,%d,%d,%d,%d", &wealth, &coins, &sale, &budget, &rest), 5);
  EXPECT_GT(budget, 0);
  long spent = 0;
  for (size_t at = exported.find("EQUIPMENT="); at != std::string::npos; at = exported.find("EQUIPMENT=", at + 1)) {
    int kind = 0, value = 0, treasure = 0;
    char name[128];
    ASSERT_EQ(sscanf(exported.c_str() + at, "EQUIPMENT=%d,%127[^,],%d,%d", &kind, name, &value, &treasure), 4);
    EXPECT_EQ(treasure, 1);
    spent += value;
  }
  EXPECT_LE(spent + rest, budget) << exported;
  EXPECT_GE(rest, 0);
  // A CR-20 hoard nearly always carries magic items whose effects describe themselves; a few
  // hoards make sure one does. Nobody wears them: the hoard gains no ability, armour or resistance.
  exported.clear();
  for (int tries = 0; tries < 5 && CountOf(exported, "EQUIPEFFECT=") == 0; ++tries) {
    ASSERT_TRUE(EndedWith(RunProgram(dir, {"0"}, "3 20 20 1 1 0 0 0 0 0\nx\nhort\nq\n", 60), 0));
    exported = dir.Read("export/hort.exp");
  }
  EXPECT_GE(CountOf(exported, "EQUIPEFFECT="), 1) << exported;
  for (int a = 0; a < 6; ++a)
    EXPECT_NE(exported.find("ATTRIBUTE=" + std::to_string(a) + ",0,0\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("SR=0\n"), std::string::npos);
  EXPECT_NE(exported.find("RK=10,0,0,0,0,0\n"), std::string::npos);
}
