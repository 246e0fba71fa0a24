// The table reader: splitting, skipped lines, field counts, lookups, number arrays.
#include "source/reader.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "temp_dir.h"

using namespace debugspace;
using namespace debugspace::schema;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  char* fields[32];
  int n = SplitLine(buffer.data(), fields, 32);
  std::vector<std::string> out;
  for (int i = 0; i < n && i < 32; ++i) out.push_back(fields[i]);
  return out;
}

using Fields = std::vector<std::string>;

}  // namespace

TEST(TableReader, SplitsFieldsByBlanksAndQuotes) {
  EXPECT_EQ(Split("Name  \"Text mit Blank\"  Wert\n"), (Fields{"Name", "Text mit Blank", "Wert"}));
  EXPECT_EQ(Split("ab\"cd ef\r\n"), (Fields{"ab\"cd", "ef"}));  // a quote inside a word is a character
  EXPECT_EQ(Split("\"erstes Feld\" zwei"), (Fields{"erstes Feld", "zwei"}));
  EXPECT_EQ(Split("a \"\" b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(Split("a\t\tb   \n"), (Fields{"a", "b"}));                   // trailing blanks add no field
  EXPECT_EQ(Split("   eingerückt x"), (Fields{"", "eingerückt", "x"}));  // a leading blank: empty first field
  EXPECT_EQ(Split("\"if (a) { Text('x'); }\" ;"), (Fields{"if (a) { Text('x'); }", ";"}));
  EXPECT_EQ(Split(""), Fields{});
}

namespace {

// A table of (name, number) rows read through the generic reader.
struct Entry {
  String name, note;
  int32_t value = 0, reach = -1, bonus = 5;
};

// A rule of the last pass: a row must not reach below zero.
void NoNegativeReach(Row& row) {
  if (row.Record<Entry>().reach >= -1) return;
  ConsolePrint("Negative reach of %s\n", row.Key());
  TableFault();
}

const Column kColumns[] = {Text("name", &Entry::name),
                           Number("WERT", &Entry::value),
                           Number("Reichweite", &Entry::reach, Need::kBlankable),
                           Number("Bonus", &Entry::bonus, Need::kOptional),
                           Text("Notiz", &Entry::note, Need::kBlankable),
                           Rule(NoNegativeReach, Pass::kCheck)};

void* MakeRows(int n) { return NewRecords<Entry>(n, "SourceInit-Source"); }

struct Entries {
  Entry* rows = nullptr;
  int32_t count = 0;
  ~Entries() { DeleteRecords(rows); }
};

int ReadRows(const std::string& path, Entries* t, int extra = 0) {
  Schema schema{path.c_str(), kColumns, (int)std::size(kColumns),
                "Invalid Number of Arguments in TestSource Database (%s)\n"};
  schema.recordSize = sizeof(Entry);
  schema.makeRecords = MakeRows;
  schema.nameOf = [](void* r, int i) { return static_cast<Entry*>(r)[i].name.c_str(); };
  schema.extra = extra;
  void* records = nullptr;
  int r = ReadTable(schema, &records, nullptr, &t->count);
  t->rows = static_cast<Entry*>(records);
  return r;
}

}  // namespace

class TableFiles : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir.path() + "/" + name, std::ios::binary) << text;
    return dir.path() + "/" + name;
  }
  TempWorkDir dir;
};

TEST_F(TableFiles, ANameGivenTwiceIsReadAndTheFirstRowIsFound) {
  Entries t;
  CaptureStdout();
  ASSERT_EQ(ReadRows(Write("z.txt", "Name Wert\n-\nZwerg 1\nElf 2\nZwerg 3\n"), &t), 0);
  EXPECT_EQ(GetCapturedStdout(), "Warning: Name Zwerg appears twice in " + dir.path() + "/z.txt: lines 3 and 5\n");
  ASSERT_EQ(t.count, 3);
  EXPECT_EQ(FindByNameOrFault(t.rows, t.count, "Zwerg"), 0);
}

TEST_F(TableFiles, LineTwoIsSkippedAndMissingFieldsKeepTheRecordsDefaults) {
  Entries t;
  // Columns in any order and any case; line 2 is lost even when it holds data; "Bonus" is
  // absent and ";" in a blankable column gives nothing.
  ASSERT_EQ(ReadRows(Write("a.txt",
                           "Wert Name Reichweite Notiz\r\n5 Verloren 1 x\r\n1 Erster ; ;\r\n\r\n\n"
                           "2 \"Zweiter Eintrag\" 15 Hügel\n"),
                     &t, 1),
            0);
  ASSERT_EQ(t.count, 2);
  EXPECT_STREQ(t.rows[0].name.c_str(), "Erster");
  EXPECT_EQ(t.rows[0].value, 1);
  EXPECT_EQ(t.rows[0].reach, -1);
  EXPECT_STREQ(t.rows[0].note.c_str(), "");
  EXPECT_STREQ(t.rows[1].name.c_str(), "Zweiter Eintrag");
  EXPECT_EQ(t.rows[1].value, 2);
  EXPECT_EQ(t.rows[1].reach, 15);
  EXPECT_STREQ(t.rows[1].note.c_str(), "Hügel");
  EXPECT_EQ(t.rows[0].bonus + t.rows[1].bonus, 10);
  EXPECT_STREQ(t.rows[2].name.c_str(), "");  // the extra slot is default-made
  EXPECT_EQ(t.rows[2].name.owned, 0u);

  Entries missing;
  CaptureStdout();
  EXPECT_EQ(ReadRows(dir.path() + "/fehlt.txt", &missing), 1);
  EXPECT_EQ(GetCapturedStdout(), "FAILED\nCould not open " + dir.path() + "/fehlt.txt: No such file or directory\n");
}

TEST_F(TableFiles, FaultsNameTheirMessageAndPlace) {
  struct Case {
    const char* text;
    std::string expected;
  } cases[] = {
      {"Name Wert\n-\nZwei 2 zuviel\n",
       "Invalid Number in Database (3 instead of 2)\nInvalid Number of Arguments in TestSource Database (Zwei)\n"
       "In DIR/f.txt, line 3\n"},
      {"Name Anderes\n-\nEins 1\n", "Value not found: WERT\nIn DIR/f.txt, line 1\n"},
      // A rule of a later pass still names the row's line.
      {"Name Wert Reichweite\n-\nOger 1 5\n\nRiese 2 -3\n", "Negative reach of Riese\nIn DIR/f.txt, line 5\n"},
  };
  // A faulty table ends the program with code 1 after naming the fault.
  for (const Case& c : cases) {
    std::string path = Write("f.txt", c.text);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      Entries u;
      ReadRows(path, &u);
      _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.text;
    std::string expected = c.expected;
    expected.replace(expected.find("DIR"), 3, dir.path());
    EXPECT_NE(out.find(expected), std::string::npos) << out;
  }
}

TEST(TableLookup, SubstringLookupTakesTheFirstInTableOrder) {
  NamedSource* types = NewRecords<NamedSource>(3, "test");
  types[0].name.Assign("MagicalBeast");
  types[1].name.Assign("Beast");
  types[2].name.Assign("Animal");
  EXPECT_EQ(FindContaining(types, 3, "Beast"), 0);  // contains wins over a later equal name
  EXPECT_EQ(FindByName(types, 3, "Beast"), 1);
  EXPECT_EQ(FindByName(types, 3, "beast"), -1);  // names are case-sensitive
  EXPECT_EQ(FindContaining(types, 3, "Drache"), -1);
  EXPECT_EXIT(FindByNameOrFault(types, 3, "Drache"), testing::ExitedWithCode(1), "");
  DeleteRecords(types);
}

TEST_F(TableFiles, IntArraysRepeatTheirLastValue) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::to_string(i + 1) + "\t" + std::to_string((i + 1) * 100) + "\n";
  int32_t values[51];
  ASSERT_EQ(ReadIntArray(Write("money.txt", text).c_str(), values, 51), 0);
  EXPECT_EQ(values[0], 100);
  EXPECT_EQ(values[19], 2000);
  for (int i = 20; i < 51; ++i) EXPECT_EQ(values[i], 2000) << i;
}
