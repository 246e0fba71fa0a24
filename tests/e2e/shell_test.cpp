// Start-up, runtime choice and the input prompt, driven through standard input.
#include <sys/stat.h>

#include <cstdlib>
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
    EXPECT_NE(run.output.find("Loading Source Dump...Could not open File\nwill rebuild later...\n"), std::string::npos);
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
    EXPECT_TRUE(EndsWith(run.output, "\nExiting...\n")) << run.output;
    EXPECT_EQ(run.output.find("Aborting"), std::string::npos);
    EXPECT_TRUE(IsDirectory(dir.File("save")));
    EXPECT_TRUE(IsDirectory(dir.File("export")));
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
    EXPECT_NE(run.output.find("Cannot Create Save Directory\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Aborting...\n"), std::string::npos);
    EXPECT_EQ(run.output.find(kHelp), std::string::npos);
    EXPECT_EQ(dir.Read(blocker), "not a directory");
  }
}

// By argument or by switch code: an unknown runtime ends the program with an error.
TEST_F(Startup, UnknownRuntimeFails) {
  WorkDir other;
  ProgramRun byArgument = Run({"7"}, nullptr), bySwitch = RunProgram(other, {}, "107\nq\n");
  for (const ProgramRun* run : {&byArgument, &bySwitch}) {
    ASSERT_TRUE(EndedWith(*run, 1));
    EXPECT_NE(run->output.find("Unknown Runtime\nExiting...\n"), std::string::npos) << run->output;
    EXPECT_NE(run->output.find("Aborting...\n"), std::string::npos);
  }
  EXPECT_NE(byArgument.output.find("Runtime choosen by Argument\n"), std::string::npos);
  EXPECT_EQ(byArgument.output.find(kHelp), std::string::npos);
  EXPECT_NE(bySwitch.output.find("Switching Runtime\n" + std::string(120, '-') + "\nUnknown Runtime\n"),
            std::string::npos);
}

TEST_F(Startup, SingleArgumentSelectsRuntime) {
  struct Case {
    const char* arg;
    const char* startLine;
  };
  // Text that is no number reads as 0.
  const Case cases[] = {{"0", "\nRunning Debug Code\n"},
                        {"abc", "\nRunning Debug Code\n"},
                        {"1", "\nRunning Intel Compiler Prescott Optimized Code\n"},
                        {"2", "\nRunning VectorC Compiler Optimized Code\n"},
                        {"3", "\nRunning GCC Compiler SSE3 Optimized Code\n"},
                        {"4", "Running Visual C++ .NET Compiler Optimized Code\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    ProgramRun run = Run({c.arg}, nullptr);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.output.find(std::string("Runtime choosen by Argument\n") + c.startLine), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("CPU found"), std::string::npos);
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
  }
}

TEST_F(Startup, NineArgumentsAreTakenAsParameters) {
  ProgramRun run = Run({"0", "5", "1", "2", "1", "0", "0", "0", "0"}, "q\n");
  // The processor's runtime has no rebuild code and no rule-database image exists yet:
  // runtime 0 builds it for the batch.
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Rebuilding as Dump could not be loaded correctly\n"
                            "Cannot Rebuild AS Rebuild Code is not included!\n"),
            std::string::npos)
      << run.output;
  // The echo shows the values as given; swapping happens later.
  EXPECT_NE(run.output.find("Took Arguments from Command Line:\nCreatureType: 0\tCR: 5 - 1\tAmount: 2-1\n"
                            "DrawType: 0\tChooseClass: 0\tcalctype: 0\tworktype: 0\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("Runtime choosen by Argument"), std::string::npos);
}

TEST_F(Startup, OtherArgumentCountsGoToThePrompt) {
  for (int count : {2, 8, 11}) {
    SCOPED_TRACE(count);
    ProgramRun run = Run(std::vector<std::string>(count, "0"), "q\n");
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(run.output.find("Took Arguments"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Runtime choosen by Argument"), std::string::npos);
    EXPECT_NE(run.output.find("CPU found, using"), std::string::npos);
    EXPECT_EQ(run.output.find(kBatchStub), std::string::npos);
    EXPECT_EQ(CountOf(run.output, kHelp), 1);
  }
}

// Without a "q" the program must notice the end of input at whichever prompt it waits.
TEST_F(Startup, EndOfInputEndsTheProgram) {
  for (const char* input : {"", "501\n", "0 0 0 0 0\n", "0 0 51", "104\n", "404\n", "404\nnothing\n"}) {
    SCOPED_TRACE(input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, input);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(EndsWith(run.output, "Exiting...\n")) << run.output;
  }
  ProgramRun run = Run({}, nullptr);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(EndsWith(run.output, "\nExiting...\n")) << run.output;
}

class Prompt : public Startup {};

TEST_F(Prompt, RuntimeSwitchStartsTheOtherRuntimesPrompt) {
  ProgramRun run = Run({}, "104\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  std::string switchBlock =
      "Switching Runtime\n" + std::string(120, '-') + "\nRunning Visual C++ .NET Compiler Optimized Code\n";
  size_t at = run.output.find(switchBlock);
  ASSERT_NE(at, std::string::npos) << run.output;
  EXPECT_EQ(CountOf(run.output, kHelp), 2);
  EXPECT_NE(run.output.find(kHelp, at), std::string::npos);
}

TEST_F(Prompt, ThreadCodes) {
  ProgramRun run = Run({}, "501\n503\n508\n500\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  for (const char* used : {"Using 1 Threads\n", "Using 3 Threads\n", "Using 8 Threads\n"})
    EXPECT_NE(run.output.find(used), std::string::npos) << run.output;
  EXPECT_EQ(CountOf(run.output, kRejected), 1);
  EXPECT_EQ(CountOf(run.output, kHelp), 5);
  EXPECT_EQ(run.output.find(kBatchStub), std::string::npos);
}

TEST_F(Prompt, FieldRangesAreChecked) {
  struct Case {
    const char* line;
    bool accepted;
  };
  const Case cases[] = {
      {"0 0 51", false},
      {"0 0 0 0 100", false},
      {"0 -1 0", false},
      {"0 0 0 -1 0", false},
      {"5", false},
      {"-2", false},
      {"0 0 0 0 0 2", false},
      {"0 0 0 0 0 0 3", false},
      {"0 0 0 0 0 0 0 -2", false},
      {"0 0 0 0 0 0 0 3", false},
      {"0 0 0 0 0 0 0 0 7", false},
      {"99999999999999999999 0 0", false},
      {"0 0 0 0 0 0 0 0 99999999999", false},
      {"abc", true},
      {"1 5 1", true},
      {"0 50 0 99 0", true},
      {"-1 0 0", true},
      {"4 0 0 0 0 -1 0 2 0 7", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ProgramRun run = Run({"0"}, (std::string(c.line) + "\nq\n").c_str());
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(CountOf(run.output, kRejected), c.accepted ? 0 : 1) << run.output;
    EXPECT_EQ(CountOf(run.output, kBatchStub), c.accepted ? 1 : 0);
    // After a batch the viewer takes the "q"; after a refused line the prompt does.
    EXPECT_EQ(CountOf(run.output, kHelp), c.accepted ? 1 : 2);
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
    EXPECT_TRUE(EndsWith(run.output, "\nExiting...\n"));
    EXPECT_EQ(run.output.find("Generating Char"), std::string::npos);
  }
}

TEST_F(Prompt, LoggingCodesOpenAndCloseDebugOut) {
  // The second 601 must keep the open log rather than truncate it.
  ProgramRun on = Run({"0"}, "601\n0 0 0 0 0 0 0 0 0 1\n601\nq\n");
  ASSERT_TRUE(EndedWith(on, 0));
  ASSERT_TRUE(dir_.Exists("debug.out"));
  std::string log = dir_.Read("debug.out");
  EXPECT_NE(log.find(kBatchStub), std::string::npos) << log;
  EXPECT_TRUE(EndsWith(log, "\nExiting...\n")) << log;

  WorkDir offDir;
  ProgramRun off = RunProgram(offDir, {"0"}, "601\n600\n0 0 0 0 0 0 0 0 0 1\nq\n");
  ASSERT_TRUE(EndedWith(off, 0));
  EXPECT_NE(off.output.find(kBatchStub), std::string::npos);
  std::string offLog = offDir.Read("debug.out");
  EXPECT_EQ(offLog.find(kBatchStub), std::string::npos) << offLog;
  EXPECT_EQ(offLog.find("Exiting"), std::string::npos);

  WorkDir never;
  ASSERT_TRUE(EndedWith(RunProgram(never, {"0"}, "0 0 0 0 0 0 0 0 0 1\nq\n"), 0));
  EXPECT_FALSE(never.Exists("debug.out"));
}

}  // namespace

namespace {

// Situations a user meets by a slip: each says what happened and what to do.
TEST(SlipsAreExplained, EachSaysWhatHappened) {
  struct Case {
    const char* name;
    const char* setup;  // directory to create first, or ""
    const char* input;
    const char* says;
  };
  const Case cases[] = {
      {"save name of a directory", "save/isdir.rep", "0 1 1 1 1 0 0 0 0 0\nVisdir\n\nq",
       "save/isdir.rep: Is a directory (nothing was saved"},
      {"export name of a directory", "export/isdir.exp", "0 1 1 1 1 0 0 0 0 0\nXisdir\nq",
       "export/isdir.exp: Is a directory"},
      {"unknown runtime", "", "105\n\n", "There are runtimes 0 to 4"},
      {"logging on", "", "601\n600\nq\n", "Logging to debug.out (600 turns it off)\n"},
      {"prompt line with a word", "", "1 5 x 3 3\nq\nq\n", "Nur 2 Zahlen gelesen (bis vor \"x\")"},
      {"answer that is no number", "", "0 1 1 1 1 0 1 0 0 0\nabc\n-2\nq",
       "\"abc\" ist keine ganze Zahl, gelesen als 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkDir dir;
    dir.Write("source.mrg", ShippedDump());
    if (*c.setup) {
      ASSERT_EQ(system(("mkdir -p '" + dir.File(c.setup) + "'").c_str()), 0);
    }
    ProgramRun run = RunProgram(dir, {"3"}, c.input, 60);
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
}

}  // namespace
