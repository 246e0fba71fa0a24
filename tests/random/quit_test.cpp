#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "launcher/process.h"
#include "platform/keys.h"
#include "random/repro.h"
#include "script/grammar.h"
#include "shell/batch.h"

namespace intelspace {
[[noreturn]] void QuitOnError(bool save);
}

namespace {

struct Outcome {
  int status = -1;
  std::string output;
};

// Runs a fatal error in a child process inside dir, with `input` as the keys typed.
template <class Fn>
Outcome InChild(const std::string& dir, const char* input, Fn fn) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    if (chdir(dir.c_str()) != 0) _exit(99);
    InputUseText(input);
    fn();
    _exit(0);
  }
  close(fds[1]);
  Outcome o;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) o.output.append(buf, (size_t)n);
  close(fds[0]);
  int status;
  waitpid(pid, &status, 0);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class QuitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/schmiede-quit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(mkdir((dir_ + "/save").c_str(), 0777), 0);
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf " + dir_).c_str()), 0); }
  std::string dir_;
};

}  // namespace

TEST_F(QuitTest, FatalErrorsKeepEveryErrorRep) {
  auto fatal = [] {
    gRandom.savingAllowed = true;
    gRandom.recordFlagWasOne = true;
    debugspace::QuitOnError(true);
  };
  Outcome first = InChild(dir_, "", fatal);
  Outcome second = InChild(dir_, "", fatal);
  EXPECT_EQ(first.status, 1);
  EXPECT_NE(first.output.find("Reproduction file has been saved as error.rep\nQuitting due to error\n"),
            std::string::npos)
      << first.output;
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(Exists(dir_ + "/save/error.rep"));
  EXPECT_TRUE(Exists(dir_ + "/save/error0.rep"));
  // Runtime 0 has nowhere further to go: no offer to reproduce.
  EXPECT_EQ(first.output.find("Press [D]"), std::string::npos);

  Outcome unsaved = InChild(dir_, "", [] {
    gRandom.savingAllowed = false;
    debugspace::QuitOnError(true);
  });
  EXPECT_EQ(unsaved.status, 1);
  EXPECT_FALSE(Exists(dir_ + "/save/error1.rep"));
}

TEST_F(QuitTest, OptimisedRuntimeOffersTheDebugRuntime) {
  Outcome o = InChild(dir_, "d", [this] {
    // Runtime 0 loads the grammar before it reproduces.
    if (symlink(SCHMIEDE_SOURCE_DIR "/Build", (dir_ + "/Build").c_str()) != 0) _exit(98);
    SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
    gProcess.rebuild = true;
    gRandom.savingAllowed = true;
    gRandom.recordFlagWasOne = true;
    intelspace::QuitOnError(true);
  });
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
