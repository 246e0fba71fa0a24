// The enhancement draw: a bonus from 0 to 6 centred on a quarter of the level.
#include <gtest/gtest.h>

#include "generator/creature_ops.h"
#include "launcher/process.h"
#include "random/isaac.h"
#include "random/settings.h"
#include "script/functions.h"
#include "shell/entry.h"
#include "state_fixture.h"

using namespace debugspace;

using Enhancement = StateTest;

TEST_F(Enhancement, CentresOnAQuarterOfTheLevel) {
  IsaacState state{};
  uint32_t seed[512];
  for (uint32_t i = 0; i < 512; ++i) seed[i] = i * 977u + 5u;
  IsaacRange(&state, 0, 0, true, seed);
  Isaac();
  CalcType(0);
  int counts[7] = {};
  for (int i = 0; i < 20000; ++i) ++counts[EnhancementDraw(&state, 8, -1)];
  // Level 8: x = 2 - i; weights 50000/(4|x|³+1) = 1515, 10000, 50000, 10000, 1515, 190, 0.
  EXPECT_GT(counts[2], counts[1]);
  EXPECT_GT(counts[2], counts[3]);
  EXPECT_NEAR(counts[2], 20000 * 50000 / 73220, 400);
  EXPECT_EQ(counts[6], 0);
  // Level 21 may give an artifact (weights 34 : 1); without that question a 6 comes
  // only from its weight of 18 in about 54400.
  int artifacts = 0, plain = 0;
  for (int i = 0; i < 35000; ++i) {
    artifacts += EnhancementDraw(&state, 21, 0) == 6;
    plain += EnhancementDraw(&state, 21, -1) == 6;
  }
  EXPECT_NEAR(artifacts, 1000 + 12, 150);
  EXPECT_LT(plain, 40);
  // Far beyond level 20 (a monster of a hundred hit dice) every weight rounds to 0:
  // the draw still ends, on +5.
  for (int level : {120, 400, 5000}) EXPECT_EQ(EnhancementDraw(&state, level, -1), 5) << level;
}
