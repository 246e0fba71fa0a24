// Puts the process-wide random state into a known mode for each test.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "launcher/process.h"
#include "platform/keys.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/settings.h"
#include "shell/entry.h"

class DecisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    std::vector<uint32_t> seed(512);
    for (uint32_t i = 0; i < 512; ++i) seed[i] = i * 2246822519u + 3266489917u;
    debugspace::IsaacRange(&state, 0, 0, true, seed.data());
  }
  void TearDown() override {
    InputUseText(nullptr);
    Reset();
  }
  static void Reset() {
    gRandom.isaacMode = false;
    gRandom.recordFlag = 0;
    gDecide.replayActive = false;
    gDecide.chooseEverything = false;
    gRandom.savedChooseEverything = false;
    gRandom.stickyCount = 0;
    gDecide.backPosition = 0;
    gProcess.debugOutput = 0;
    gProcess.extendedDebug = false;
    gDecide.stream = nullptr;
    gDecide.streamPos = nullptr;
    debugspace::gInput = debugspace::InputFields{};
    debugspace::gSettings = debugspace::CreationSettings{};
    SetOutputLevels(0, -1);
  }
  // Recorded mode writing into this test's own stream.
  void Recording() {
    std::memset(stream, 0, sizeof stream);
    position = 0;
    debugspace::SetDecisionStream(stream, &position);
    gRandom.recordFlag = 1;
    debugspace::LcgSeed(12345);
  }
  void Isaac() { gRandom.isaacMode = true; }

  IsaacState state{};
  int32_t stream[kStreamWords];
  int32_t position = 0;
};
