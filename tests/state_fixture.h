// The process-wide modes a test runs in (rule set, random generator, output, creation
// settings) are set through this fixture and put back when the test ends, so no test
// leaves a flag behind for the next one. Layer fixtures derive from it and add their modes.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "launcher/process.h"
#include "platform/output.h"
#include "random/settings.h"
#include "random/state.h"

class StateTest : public ::testing::Test {
 protected:
  ~StateTest() override {
    for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) (*it)();
  }

  void Rules(int ruleSet) { Keep(gProcess.ruleSet, ruleSet); }
  void Isaac(bool on = true) { Keep(gRandom.isaacMode, on); }
  void Silent(bool on = true) { Keep(gProcess.silent, on); }
  void Debug(int level, bool extended = false) {
    Keep(gProcess.debugOutput, level);
    Keep(gProcess.extendedDebug, extended);
  }
  void Threads(int count) { Keep(gProcess.threadCount, count); }
  // Output levels of the console and the log (-1: no log), as the input line sets them.
  void Output(int console, int log = -1) {
    Keep(gOutput, gOutput);
    SetOutputLevels(console, log);
  }
  void ChooseEverything(bool on = true) { Keep(gDecide.chooseEverything, on); }
  void CalcType(int type) { Keep(debugspace::gSettings.calctype, type); }
  void DrawType(int type) { Keep(debugspace::gSettings.DrawType, type); }
  void ChooseClass(int cls) { Keep(debugspace::gSettings.ChooseClass, cls); }

  // Sets a process-wide field for this test only; the value it had before the test's first
  // Keep of it returns when the test ends.
  template <class T, class V>
  void Keep(T& field, V value) {
    if (kept_.insert(&field).second) restore_.push_back([&field, old = field] { field = old; });
    field = static_cast<T>(value);
  }

 private:
  std::vector<std::function<void()>> restore_;
  std::set<const void*> kept_;
};
