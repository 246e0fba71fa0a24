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

TEST_F(Startup, QuitWordsEndCleanlyAfterBannerAndMissingDump) {
  for (const char* input : {"q\n", "Quit\n", "Q\n"}) {
    SCOPED_TRACE(input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {}, input);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(run.output.rfind("Kreaturenschmiede V. 1.2 (Build 1033)\n\n", 0), 0u) << run.output;
    EXPECT_TRUE(Has(run, "Loading Source Dump...Could not open File\nwill rebuild later...\n"));
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
    EXPECT_TRUE(EndsWith(run.output, "\nExiting...\n") && !Has(run, "Aborting")) << run.output;
    EXPECT_TRUE(IsDirectory(dir.File("save")) && IsDirectory(dir.File("export")));
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
    EXPECT_TRUE(Has(run, "Cannot Create Save Directory\n") && Has(run, "Aborting...\n")) << run.output;
    EXPECT_FALSE(Has(run, kHelp));
    EXPECT_EQ(dir.Read(blocker), "not a directory");
  }
}

// By argument or by switch code: an unknown runtime ends the program with an error.
TEST_F(Startup, UnknownRuntimeFails) {
  WorkDir other;
  ProgramRun byArgument = Run({"7"}, nullptr), bySwitch = RunProgram(other, {}, "107\nq\n");
  for (const ProgramRun* run : {&byArgument, &bySwitch}) {
    ASSERT_TRUE(EndedWith(*run, 1));
    EXPECT_TRUE(Has(*run, "Unknown Runtime\nExiting...\n") && Has(*run, "Aborting...\n")) << run->output;
  }
  EXPECT_TRUE(Has(byArgument, "Runtime choosen by Argument\n"));
  EXPECT_FALSE(Has(byArgument, kHelp));
  EXPECT_TRUE(Has(bySwitch, "Switching Runtime\n" + std::string(120, '-') + "\nUnknown Runtime\n"));
}

TEST_F(Startup, SingleArgumentSelectsRuntime) {
  // Text that is no number reads as 0.
  for (auto [arg, startLine] : {std::pair{"0", "\nRunning Debug Code\n"},
                                {"abc", "\nRunning Debug Code\n"},
                                {"1", "\nRunning Intel Compiler Prescott Optimized Code\n"},
                                {"2", "\nRunning VectorC Compiler Optimized Code\n"},
                                {"3", "\nRunning GCC Compiler SSE3 Optimized Code\n"},
                                {"4", "Running Visual C++ .NET Compiler Optimized Code\n"}}) {
    SCOPED_TRACE(arg);
    ProgramRun run = Run({arg}, nullptr);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(Has(run, std::string("Runtime choosen by Argument\n") + startLine)) << run.output;
    EXPECT_FALSE(Has(run, "CPU found"));
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
  }
}

TEST_F(Startup, NineArgumentsAreTakenAsParameters) {
  ProgramRun run = Run({"0", "5", "1", "2", "1", "0", "0", "0", "0"}, "q\n");
  // The processor's runtime has no rebuild code and no rule-database image exists yet:
  // runtime 0 builds it for the batch. The echo shows the values as given; swapping happens later.
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run,
                  "Rebuilding as Dump could not be loaded correctly\n"
                  "Cannot Rebuild AS Rebuild Code is not included!\n"))
      << run.output;
  EXPECT_TRUE(Has(run,
                  "Took Arguments from Command Line:\nCreatureType: 0\tCR: 5 - 1\tAmount: 2-1\n"
                  "DrawType: 0\tChooseClass: 0\tcalctype: 0\tworktype: 0\n"))
      << run.output;
  EXPECT_FALSE(Has(run, "Runtime choosen by Argument"));
}

TEST_F(Startup, OtherArgumentCountsGoToThePrompt) {
  for (int count : {2, 8, 11}) {
    SCOPED_TRACE(count);
    ProgramRun run = Run(std::vector<std::string>(count, "0"), "q\n");
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_FALSE(Has(run, "Took Arguments") || Has(run, "Runtime choosen by Argument") || Has(run, kBatchStub))
        << run.output;
    EXPECT_TRUE(Has(run, "CPU found, using"));
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
  }
}

// Without a "q" the program must notice the end of input at whichever prompt it waits.
TEST_F(Startup, EndOfInputEndsTheProgram) {
  for (const char* input :
       {"", "501\n", "0 0 0 0 0\n", "0 0 51", "104\n", "404\n", "404\nnothing\n", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(input ? input : "no input");
    WorkDir dir;
    ProgramRun run = RunProgram(dir, input ? std::vector<std::string>{"0"} : std::vector<std::string>{}, input);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(EndsWith(run.output, "Exiting...\n")) << run.output;
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

// Lines beyond the input buffer must be cut, not written past its end.
TEST_F(Prompt, OverlongLinesAreSurvived) {
  const std::string longWord(5000, '7');
  for (std::string input : {"0 " + longWord + "\nq\n", "404\n" + longWord + "\nq\n"}) {
    SCOPED_TRACE(input.substr(0, 8));
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, input.c_str());
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(EndsWith(run.output, "\nExiting...\n") && !Has(run, "Generating Char")) << run.output;
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
  EXPECT_TRUE(Has(off, kBatchStub));
  EXPECT_TRUE(offDir.Exists("debug.out"));
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
