// Puts the process-wide random state into a known mode for each test; every field it
// touches returns to its old value when the test ends.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/keys.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "shell/entry.h"
#include "state_fixture.h"

class DecisionTest : public StateTest {
 protected:
  void SetUp() override {
    Isaac(false);
    Keep(gRandom.recordFlag, 0);
    Keep(gDecide.replayActive, false);
    ChooseEverything(false);
    SavedChooseEverything(false);
    Sticky(0);
    Keep(gDecide.backPosition, 0);
    Debug(0);
    Keep(gDecide.stream, nullptr);
    Keep(gDecide.streamPos, nullptr);
    Keep(debugspace::gInput, debugspace::InputFields{});
    Keep(debugspace::gSettings, debugspace::CreationSettings{});
    Output(0);
    std::vector<uint32_t> seed(512);
    for (uint32_t i = 0; i < 512; ++i) seed[i] = i * 2246822519u + 3266489917u;
    debugspace::IsaacRange(&state, 0, 0, true, seed.data());
  }
  void TearDown() override { InputUseText(nullptr); }
  // Recorded mode writing into this test's own stream.
  void Recording() {
    std::memset(stream, 0, sizeof stream);
    position = 0;
    debugspace::SetDecisionStream(stream, &position);
    Keep(gRandom.recordFlag, 1);
    debugspace::LcgSeed(12345);
  }
  // Replays the stream from its first decision (word 1).
  void Replaying() {
    position = 1;
    Keep(gDecide.replayActive, true);
  }
  void Sticky(int count) { Keep(gRandom.stickyCount, count); }
  void SavedChooseEverything(bool on) { Keep(gRandom.savedChooseEverything, on); }
  void RecordFlagWasOne(bool on) { Keep(gRandom.recordFlagWasOne, on); }
  void SavingAllowed(bool on) { Keep(gRandom.savingAllowed, on); }
  void ReproduceInRuntime0() { Keep(gRandom.reproduceInRuntime0, true); }
  void SeededThisBatch() { Keep(gRandom.seededThisBatch, true); }
  void Benchmark(bool on) { Keep(gRandom.benchmark, on); }
  void Seeds(IsaacState** table, int threads) {
    Keep(gRandom.seeds, table);
    Keep(gRandom.seedThreads, threads);
  }
  void Rebuild() { Keep(gProcess.rebuild, true); }

  IsaacState state{};
  int32_t stream[kStreamWords];
  int32_t position = 0;
};
