// Start-up, runtime choice and the input prompt, driven through standard input.
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

const char kHelp[] = "Durch Leerzeichen getrennt eingeben:";
// An accepted line runs a batch, which first builds the rule database.
const char kBatchStub[] = "Initializing Data...\n";
const char kRejected[] = "Fehlerhafte eingabe\n";

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Startup : public ::testing::Test {
 protected:
  ProgramRun Run(const std::vector<std::string>& args, const char* input) { return RunProgram(dir_, args, input); }
  WorkDir dir_;
};

// Each run in a fresh directory: what the output holds and what it must not, by arguments
// and input (null: no input at all).
TEST_F(Startup, ArgumentsQuitWordsAndEndOfInput) {
  const std::string dashes(120, '-'), longWord(5000, '7');
  const std::string longLine = "0 " + longWord + "\nq\n", longName = "404\n" + longWord + "\nq\n";
  const std::vector<std::string> nine{"0", "5", "1", "2", "1", "0", "0", "0", "0"};
  struct Case {
    std::vector<std::string> args;
    const char* input;
    int exitCode;
    std::vector<std::string> has, hasNot;
  } cases[] = {
      {{}, "q\n", 0, {"Loading Source Dump...Could not open File\nwill rebuild later...\n"}, {"Aborting"}},
      {{}, "Quit\n", 0, {}, {}},
      {{}, "Q\n", 0, {}, {}},
      // An unknown runtime, by argument or by switch code, ends the program with an error.
      {{"7"}, nullptr, 1, {"Runtime choosen by Argument\nUnknown Runtime\nExiting...\n", "Aborting...\n"}, {kHelp}},
      {{}, "107\nq\n", 1, {"Switching Runtime\n" + dashes + "\nUnknown Runtime\nExiting...\n", "Aborting...\n"}, {}},
      // One argument selects the runtime; text that is no number reads as 0.
      {{"0"}, nullptr, 0, {"Runtime choosen by Argument\n\nRunning Debug Code\n"}, {"CPU found"}},
      {{"abc"}, nullptr, 0, {"Runtime choosen by Argument\n\nRunning Debug Code\n"}, {}},
      {{"1"}, nullptr, 0, {"Runtime choosen by Argument\n\nRunning Intel Compiler Prescott Optimized Code\n"}, {}},
      {{"2"}, nullptr, 0, {"Runtime choosen by Argument\n\nRunning VectorC Compiler Optimized Code\n"}, {}},
      {{"3"}, nullptr, 0, {"Runtime choosen by Argument\n\nRunning GCC Compiler SSE3 Optimized Code\n"}, {}},
      // Nine arguments are the parameters; the processor's runtime has no rebuild code, so
      // runtime 0 builds the rule database. The echo shows the values as given.
      {nine,
       "q\n",
       0,
       {"Rebuilding as Dump could not be loaded correctly\nCannot Rebuild AS Rebuild Code is not included!\n",
        "Took Arguments from Command Line:\nCreatureType: 0\tCR: 5 - 1\tAmount: 2-1\n"
        "DrawType: 0\tChooseClass: 0\tcalctype: 0\tworktype: 0\n"},
       {"Runtime choosen by Argument"}},
      // Other counts go to the prompt.
      {{"0", "0"}, "q\n", 0, {"CPU found, using"}, {"Took Arguments", "Runtime choosen by Argument", kBatchStub}},
      {std::vector<std::string>(11, "0"), "q\n", 0, {"CPU found, using"}, {"Took Arguments", kBatchStub}},
      // Without a "q" the program notices the end of input at whichever prompt it waits.
      {{"0"}, "", 0, {}, {}},
      {{"0"}, "0 0 0 0 0\n", 0, {}, {}},
      {{"0"}, "0 0 51", 0, {}, {}},
      {{"0"}, "104\n", 0, {}, {}},
      {{"0"}, "404\n", 0, {}, {}},
      {{}, nullptr, 0, {}, {}},
      // Lines beyond the input buffer are cut, not written past its end.
      {{"0"}, longLine.c_str(), 0, {}, {"Generating Char"}},
      {{"0"}, longName.c_str(), 0, {}, {"Generating Char"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input ? std::string(c.input).substr(0, 10) : c.args.empty() ? "-" : c.args[0]);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, c.args, c.input);
    ASSERT_TRUE(EndedWith(run, c.exitCode));
    if (&c == cases) {
      EXPECT_EQ(run.output.rfind("Kreaturenschmiede V. 1.2 (Build 1033)\n\n", 0), 0u) << run.output;
      EXPECT_EQ(CountOf(run.output, kHelp), 1);
      EXPECT_TRUE(IsDirectory(dir.File("save")) && IsDirectory(dir.File("export")));
    }
    EXPECT_TRUE(c.exitCode || EndsWith(run.output, "Exiting...\n")) << run.output;
    for (const std::string& h : c.has) EXPECT_TRUE(Has(run, h)) << h << "\n" << run.output;
    for (const std::string& h : c.hasNot) EXPECT_FALSE(Has(run, h)) << h << "\n" << run.output;
  }
}

// A plain file where a directory belongs must stop the program before any runtime starts.
TEST_F(Startup, PlainFileInPlaceOfSaveOrExportAborts) {
  for (const char* blocker : {"save", "export"}) {
    SCOPED_TRACE(blocker);
    WorkDir dir;
    dir.Write(blocker, "not a directory");
    ProgramRun run = RunProgram(dir, {}, "q\n");
    ASSERT_TRUE(EndedWith(run, 1));
    EXPECT_TRUE(Has(run, "Cannot Create Save Directory\n") && Has(run, "Aborting...\n") && !Has(run, kHelp))
        << run.output;
    EXPECT_EQ(dir.Read(blocker), "not a directory");
  }
}

class Prompt : public Startup {};

// Thread codes take effect on the prompt (500 is refused); a runtime switch starts the
// other runtime's prompt.
TEST_F(Prompt, ThreadCodesAndRuntimeSwitch) {
  ProgramRun run = Run({}, "501\n503\n508\n500\n104\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  for (const char* used : {"Using 1 Threads\n", "Using 3 Threads\n", "Using 8 Threads\n"})
    EXPECT_TRUE(Has(run, used)) << run.output;
  EXPECT_EQ(CountOf(run.output, kRejected), 1);
  EXPECT_FALSE(Has(run, kBatchStub));
  size_t at = run.output.find("Switching Runtime\n" + std::string(120, '-') +
                              "\nRunning Visual C++ .NET Compiler Optimized Code\n");
  ASSERT_NE(at, std::string::npos) << run.output;
  EXPECT_EQ(CountOf(run.output, kHelp), 6);
  EXPECT_NE(run.output.find(kHelp, at), std::string::npos);
}

TEST_F(Prompt, FieldRangesAreChecked) {
  std::stringstream refused(
      "0 0 51,0 0 0 0 100,0 -1 0,0 0 0 -1 0,5,-2,0 0 0 0 0 2,0 0 0 0 0 0 3,0 0 0 0 0 0 0 -2,"
      "0 0 0 0 0 0 0 3,0 0 0 0 0 0 0 0 7,99999999999999999999 0 0,0 0 0 0 0 0 0 0 99999999999");
  std::stringstream accepted("abc,1 5 1,0 50 0 99 0,-1 0 0,4 0 0 0 0 -1 0 2 0 7");
  for (bool ok : {false, true})
    for (std::string line; std::getline(ok ? accepted : refused, line, ',');) {
      SCOPED_TRACE(line);
      ProgramRun run = Run({"0"}, (line + "\nq\n").c_str());
      ASSERT_TRUE(EndedWith(run, 0));
      EXPECT_EQ(CountOf(run.output, kRejected), ok ? 0 : 1) << run.output;
      EXPECT_EQ(CountOf(run.output, kBatchStub), ok ? 1 : 0);
      // After a batch the viewer takes the "q"; after a refused line the prompt does.
      EXPECT_EQ(CountOf(run.output, kHelp), ok ? 1 : 2);
    }
}

TEST_F(Prompt, LoggingCodesOpenAndCloseDebugOut) {
  // The second 601 must keep the open log rather than truncate it.
  ASSERT_TRUE(EndedWith(Run({"0"}, "601\n0 0 0 0 0 0 0 0 0 1\n601\nq\n"), 0));
  std::string log = dir_.Read("debug.out");
  EXPECT_TRUE(Has(log, kBatchStub) && EndsWith(log, "\nExiting...\n")) << log;
  WorkDir offDir;
  ProgramRun off = RunProgram(offDir, {"0"}, "601\n600\n0 0 0 0 0 0 0 0 0 1\nq\n");
  ASSERT_TRUE(EndedWith(off, 0));
  EXPECT_TRUE(Has(off, kBatchStub) && offDir.Exists("debug.out"));
  EXPECT_FALSE(Has(offDir.Read("debug.out"), kBatchStub) || Has(offDir.Read("debug.out"), "Exiting"));
  WorkDir never;
  ASSERT_TRUE(EndedWith(RunProgram(never, {"0"}, "0 0 0 0 0 0 0 0 0 1\nq\n"), 0));
  EXPECT_FALSE(never.Exists("debug.out"));
}

// Situations a user meets by a slip: each says what happened and what to do.
TEST(SlipsAreExplained, EachSaysWhatHappened) {
  struct Case {
    const char* setup;  // directory to create first, or ""
    const char* input;
    const char* says;
  } cases[] = {
      {"save/isdir.rep", "0 1 1 1 1 0 0 0 0 0\nVisdir\n\nq", "save/isdir.rep: Is a directory (nothing was saved"},
      {"export/isdir.exp", "0 1 1 1 1 0 0 0 0 0\nXisdir\nq", "export/isdir.exp: Is a directory"},
      {"", "105\n\n", "There are runtimes 0 to 4"},
      {"", "601\n600\nq\n", "Logging to debug.out (600 turns it off)\n"},
      {"", "1 5 x 3 3\nq\nq\n", "Nur 2 Zahlen gelesen (bis vor \"x\")"},
      {"", "0 1 1 1 1 0 1 0 0 0\nabc\n-2\nq", "\"abc\" ist keine ganze Zahl, gelesen als 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    WorkDir dir;
    dir.Write("source.mrg", ShippedDump());
    ASSERT_EQ(*c.setup ? system(("mkdir -p '" + dir.File(c.setup) + "'").c_str()) : 0, 0);
    EXPECT_TRUE(Has(RunProgram(dir, {"3"}, c.input, 60), c.says));
  }
}

}  // namespace
