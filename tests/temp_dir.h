#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "script/grammar.h"

// A temporary working directory with the shipped Build/ linked in, as the program
// expects beside it; the grammar configuration is taken from the source tree.
class TempWorkDir {
 public:
  TempWorkDir() {
    char pattern[] = "/tmp/schmiede-unit-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    path_ = pattern;
    if (!getcwd(old_, sizeof old_)) abort();
    if (symlink(SCHMIEDE_SOURCE_DIR "/Build", (path_ + "/Build").c_str()) != 0) abort();
    if (chdir(path_.c_str()) != 0) abort();
    SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
  }
  ~TempWorkDir() {
    SetGrammarConfigPath(nullptr);
    if (chdir(old_) != 0) abort();
    std::string cmd = "rm -rf '" + path_ + "'";
    if (system(cmd.c_str()) != 0) abort();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  char old_[4096];
};

// Unloads the grammar and drops its name block, which the program keeps on purpose
// for compiled scripts; tests that count blocks start from nothing again.
inline void DropGrammarForTests() {
  UnloadGrammar();
  if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
  gProcess.symbolNames = nullptr;
  gProcess.symbolNamesSize = 0;
  gGrammar.names = nullptr;
}
