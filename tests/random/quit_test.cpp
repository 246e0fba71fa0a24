#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "child_run.h"
#include "random/decision_fixture.h"
#include "random/repro.h"
#include "script/grammar.h"
#include "shell/batch.h"
#include "temp_dir.h"

namespace intelspace {
[[noreturn]] void QuitOnError(bool save);
}

namespace {

bool Exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

// A fatal error in a child process, in a working directory of the test's own.
class QuitTest : public DecisionTest {
 protected:
  void SetUp() override {
    DecisionTest::SetUp();
    ASSERT_EQ(mkdir("save", 0777), 0);
  }
  // The error in a child, saving a reproduction if allowed.
  ChildRun Fatal(const char* input, bool allowed, void (*quit)(bool) = debugspace::QuitOnError) {
    return InChild([&] {
      InputUseText(input);
      SavingAllowed(allowed);
      RecordFlagWasOne(true);
      quit(true);
    });
  }
  TempWorkDir dir_;
};

}  // namespace

TEST_F(QuitTest, FatalErrorsKeepEveryErrorRep) {
  ChildRun first = Fatal("", true), second = Fatal("", true);
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.output.find("Reproduction file has been saved as error.rep\nQuitting due to error\n"),
            std::string::npos)
      << first.output;
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(Exists("save/error.rep"));
  EXPECT_TRUE(Exists("save/error0.rep"));
  // Runtime 0 has nowhere further to go: no offer to reproduce.
  EXPECT_EQ(first.output.find("Press [D]"), std::string::npos);
  EXPECT_EQ(Fatal("", false).status, 1);
  EXPECT_FALSE(Exists("save/error1.rep"));
}

TEST_F(QuitTest, OptimisedRuntimeOffersTheDebugRuntime) {
  // Runtime 0 loads the grammar (linked in by the work directory) before it reproduces.
  Rebuild();
  ChildRun o = Fatal("d", true, intelspace::QuitOnError);
  EXPECT_EQ(o.status, 1);
  size_t offer = o.output.find("Press [D] to reproduce this character in Debug Runtime\n");
  size_t debug = o.output.find("\nRunning Debug Code\n");
  size_t loaded = o.output.find("Generating Char 0 (Thread: 0)");
  size_t quit = o.output.find("Quitting due to error\n");
  ASSERT_NE(offer, std::string::npos) << o.output;
  ASSERT_NE(debug, std::string::npos) << o.output;
  ASSERT_NE(loaded, std::string::npos) << o.output;
  EXPECT_LT(offer, debug);
  EXPECT_LT(loaded, quit);
}
