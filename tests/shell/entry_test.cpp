#include "shell/entry.h"

#include <gtest/gtest.h>

#include "text_util.h"

#include <unistd.h>
#include <climits>
#include <string>
#include <vector>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "random/settings.h"
#include "state_fixture.h"
#include "temp_dir.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(InputLine, ParsesLikeScanfButSaturates) {
  struct Case {
    const char* line;
    int read;
    std::vector<int> values;  // fields not read keep their 9
    const char* stop;         // where the user is told reading stopped; null: not asked
  } cases[] = {
      {"1 5 1", 3, {1, 5, 1, 9}, nullptr},
      {"abc 4", 0, {9}, nullptr},
      {"  -3\t+7 12x 8", 3, {-3, 7, 12, 9}, "x 8"},
      {"1 -x", 1, {1, 9}, "-x"},
      {"99999999999999999999 -99999999999", 2, {INT_MAX, INT_MIN}, nullptr},
      {"1 2 3 4 5 6 7 8 9 10 11", 10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, nullptr},
  };
  for (const Case& c : cases) {
    int v[10] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    const char* stop = nullptr;
    EXPECT_EQ(ParseIntegers(c.line, v, 10, c.stop ? &stop : nullptr), c.read) << c.line;
    EXPECT_EQ(std::vector<int>(v, v + c.values.size()), c.values) << c.line;
    EXPECT_STREQ(c.stop ? stop : nullptr, c.stop);
  }
  EXPECT_EQ(WordToInt("-"), 0);
  EXPECT_EQ(WordToInt("42abc"), 42);
}

class EntryTest : public StateTest {
 protected:
  // Without a rule-database image every batch loads the grammar first. The runtime sets
  // the debug, thread, input and creation settings it is given: they are put back after.
  void SetUp() override {
    Keep(gProcess.rebuild, true);
    Debug(0);
    Threads(1);
    Output(0);
    Keep(gInput, InputFields{});
    Keep(gSettings, CreationSettings{});
    NoSymbolNames();
  }
  void TearDown() override { InputUseText(nullptr); }
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
    DropSymbolNames();               // kept on purpose for compiled scripts; not a leak of the runtime
    int after = TrackerCount();
    std::string out = GetCapturedStdout();
    if (result) *result = r;
    EXPECT_EQ(after, before) << "the runtime must give back what it took";
    return out;
  }
  void DropSymbolNames() {
    if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
    NoSymbolNames();
  }
  void NoSymbolNames() {
    Keep(gProcess.symbolNames, nullptr);
    Keep(gProcess.symbolNamesSize, 0);
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
  Debug(0);
  // The class choice and the placement of the rolled scores are asked; "-1" leaves each
  // to chance (answers beyond the questions are harmless viewer keys).
  std::string answers;
  for (int i = 0; i < 8; ++i) answers += "-1\n";
  Run(("0 0 1 1 1 0 1 0 0 0\n" + answers + "n0 0 0 0 0\nq\n").c_str());
  EXPECT_EQ(gSettings.ChooseClass, 1);
  EXPECT_EQ(levels.console, 1);
}

using ConsolePrintLevels = StateTest;

TEST_F(ConsolePrintLevels, DebugPrintsObeyTheEffectiveLevel) {
  Output(1);
  CaptureStdout();
  DebugPrint(2, "zu tief\n");
  EXPECT_EQ(gOutput.message, 0);
  DebugPrint(1, "sichtbar\n");
  Keep(gOutput.message, 3);
  ConsolePrint("auch nicht\n");  // a message level above the console level
  EXPECT_EQ(gOutput.message, 0);
  ConsolePrint("normal\n");
  EXPECT_EQ(GetCapturedStdout(), "sichtbar\nnormal\n");
}
