#include "shell/entry.h"

#include <gtest/gtest.h>

#include "text_util.h"

#include <climits>
#include <string>
#include <unistd.h>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "temp_dir.h"
#include "random/settings.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(InputLine, ParsesLikeScanfButSaturates) {
  int v[10] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(ParseIntegers("1 5 1", v, 10), 3);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 5);
  EXPECT_EQ(v[2], 1);
  EXPECT_EQ(v[3], 9);  // fields not read keep their value
  EXPECT_EQ(ParseIntegers("abc 4", v, 10), 0);
  const char* stop = nullptr;
  EXPECT_EQ(ParseIntegers("  -3\t+7 12x 8", v, 10, &stop), 3);
  EXPECT_STREQ(stop, "x 8");  // where the user is told reading stopped
  EXPECT_EQ(v[0], -3);
  EXPECT_EQ(v[1], 7);
  EXPECT_EQ(v[2], 12);
  EXPECT_EQ(ParseIntegers("1 -x", v, 10, &stop), 1);
  EXPECT_STREQ(stop, "-x");
  EXPECT_EQ(ParseIntegers("99999999999999999999 -99999999999", v, 10), 2);
  EXPECT_EQ(v[0], INT_MAX);
  EXPECT_EQ(v[1], INT_MIN);
  EXPECT_EQ(ParseIntegers("1 2 3 4 5 6 7 8 9 10 11", v, 10), 10);
  EXPECT_EQ(v[9], 10);
  EXPECT_EQ(WordToInt("-"), 0);
  EXPECT_EQ(WordToInt("42abc"), 42);
}

class EntryTest : public ::testing::Test {
 protected:
  // Without a rule-database image every batch loads the grammar first.
  void SetUp() override { gProcess.rebuild = true; }
  void TearDown() override {
    InputUseText(nullptr);
    gProcess.debugOutput = 0;
    gProcess.extendedDebug = false;
    gProcess.threadCount = 1;
    gInput = InputFields{};
    gSettings = CreationSettings{};
    SetOutputLevels(0, -1);
  }
  // Runs runtime 0's entry on typed lines; returns its output.
  std::string Run(const char* input, int* result = nullptr) {
    InputUseText(input);
    DropSymbolNames();
    CaptureStdout();
    int before = TrackerCount();
    char name[] = "schmiede";
    char* argv[] = {name, nullptr};
    int r = RuntimeMain(1, argv);
    levels = gOutput;
    SetOutputLevels(0, levels.log);  // level 3 would trace every allocation of the test itself
    DropSymbolNames();  // kept on purpose for compiled scripts; not a leak of the runtime
    int after = TrackerCount();
    std::string out = GetCapturedStdout();
    if (result) *result = r;
    EXPECT_EQ(after, before) << "the runtime must give back what it took";
    return out;
  }
  static void DropSymbolNames() {
    if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
    gProcess.symbolNames = nullptr;
    gProcess.symbolNamesSize = 0;
  }
  OutputLevels levels;
  TempWorkDir dir;
};

TEST_F(EntryTest, ExtendedDebugRaisesTheConsoleLevel) {
  Run("0 0 1 1 1 0 0 0 0 2\nq\n");
  EXPECT_EQ(gProcess.debugOutput, 1);
  EXPECT_TRUE(gProcess.extendedDebug);
  EXPECT_EQ(levels.console, 3);
  EXPECT_EQ(levels.effective, 3);
  // Manual choice alone gives level 1; the choice carries over to the next prompt.
  gProcess.debugOutput = 0;
  gProcess.extendedDebug = false;
  // The class choice and the placement of the rolled scores are asked; "-1" leaves each
  // to chance (answers beyond the questions are harmless viewer keys).
  std::string answers;
  for (int i = 0; i < 8; ++i) answers += "-1\n";
  Run(("0 0 1 1 1 0 1 0 0 0\n" + answers + "n0 0 0 0 0\nq\n").c_str());
  EXPECT_EQ(gSettings.ChooseClass, 1);
  EXPECT_EQ(levels.console, 1);
}

TEST_F(EntryTest, CommandCodesAndRangeChecks) {
  int result = -1;
  std::string out = Run("503\n500\n0 0 51\n0 0 0 0 100\n0 0 0 0 0 2\n0 0 0 0 0 0 3\n0 0 0 0 0 0 0 3\n"
                        "0 0 0 0 0 0 0 0 7\n5\n-2\nQuit\n",
                        &result);
  EXPECT_EQ(result, 0);
  EXPECT_NE(out.find("Using 3 Threads\n"), std::string::npos);
  EXPECT_EQ(gProcess.threadCount, 3);
  EXPECT_EQ(CountOf(out, "Fehlerhafte eingabe\n"), 9) << out;
  // Swapped bounds are fine: 1 5 1 is CR 1 to 5, amount 0; "n" in the viewer
  // returns to the prompt.
  out = Run("1 5 1\nn0 0 0 0 0\nq\n");
  EXPECT_EQ(out.find("Fehlerhafte eingabe"), std::string::npos);
  EXPECT_NE(out.find("\nRestarting\n"), std::string::npos);
}

TEST_F(EntryTest, EndOfInputLeavesThePrompt) {
  int result = -1;
  std::string out = Run("0 0 0 0 0", &result);
  EXPECT_EQ(result, 0);
  // The batch's viewer takes the end of input as "q" and the program ends.
  EXPECT_EQ(CountOf(out, "Durch Leerzeichen getrennt eingeben:"), 1);
}

TEST_F(EntryTest, LoggingWritesDebugOut) {
  Run("601\nq\n");
  EXPECT_EQ(levels.log, 2);
  DebugPrint(2, "Zeile fuers Log\n");
  Run("600\nq\n");
  EXPECT_EQ(levels.log, -1);
  FILE* f = fopen("debug.out", "r");
  ASSERT_NE(f, nullptr);
  char line[256] = "";
  bool found = false;
  while (fgets(line, sizeof line, f)) found |= std::string(line) == "Zeile fuers Log\n";
  fclose(f);
  EXPECT_TRUE(found);
}

TEST_F(EntryTest, TestScriptRunsAndTheEndMenuLeaves) {
  int result = -1;
  std::string out = Run("200\nq\n", &result);
  EXPECT_EQ(result, 0);
  EXPECT_NE(out.find("Initializing Script Grammar\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Content Matches Grammar\n"), std::string::npos);
  EXPECT_NE(out.find("\n\nText:\n\na = 4, b = 10\n"), std::string::npos);
  EXPECT_NE(out.find("[N] Zurück ins Hauptmenü\n[Q] Beenden\n"), std::string::npos);
  EXPECT_NE(out.find("Unloading Grammar\n"), std::string::npos);
  // "n" in the end menu goes back to the prompt.
  out = Run("200\nn0 0 51\nq\n", &result);
  EXPECT_NE(out.find("\nRestarting\n"), std::string::npos);
  EXPECT_NE(out.find("Fehlerhafte eingabe\n"), std::string::npos);
}

TEST(ConsolePrintLevels, DebugPrintsObeyTheEffectiveLevel) {
  SetOutputLevels(1, -1);
  CaptureStdout();
  DebugPrint(2, "zu tief\n");
  EXPECT_EQ(gOutput.message, 0);
  DebugPrint(1, "sichtbar\n");
  gOutput.message = 3;
  ConsolePrint("auch nicht\n");  // a message level above the console level
  EXPECT_EQ(gOutput.message, 0);
  ConsolePrint("normal\n");
  EXPECT_EQ(GetCapturedStdout(), "sichtbar\nnormal\n");
  SetOutputLevels(0, -1);
}
