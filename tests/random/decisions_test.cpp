#include <gtest/gtest.h>

#include "child_run.h"
#include "text_util.h"

#include <algorithm>
#include <climits>
#include <string>

#include "memory/tracker.h"
#include "random/decision_fixture.h"
#include "random/repro.h"
#include "random/settings.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Makes the next ISAAC draw (counted from 1) come out as r.
void NextDrawIs(IsaacState* s, int32_t r) {
  if (s->next >= 256) {
    s->next = 0;
    IsaacGenerate(s);
  }
  s->results[s->next] = (uint32_t)(r - 1);
}

int Pick(IsaacState* s, std::initializer_list<int32_t> weights) {
  std::vector<int32_t> w(weights);
  return AdvancedRand(s, (int)w.size(), w.data(), 4, nullptr, 0, "", 0, false);
}

// The pick when the draw comes out as r.
int PickAt(IsaacState* s, int32_t r, std::initializer_list<int32_t> weights) {
  NextDrawIs(s, r);
  return Pick(s, weights);
}

}  // namespace

TEST_F(DecisionTest, SingleOutcomesDecideNothing) {
  Recording();
  gDecide.chooseEverything = true;
  InputUseText("");
  EXPECT_EQ(random(&state, 3, 3, "Label", 1), 3);
  int32_t one = 9;
  EXPECT_EQ(AdvancedRand(&state, 1, &one, 4, "x", 2, "Label", 1, false), 0);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(YesNo(&state, "l", 0, 5, 1), 1);
  EXPECT_EQ(YesNo(&state, "l", 5, 0, 1), 0);
  EXPECT_EQ(position, 0);
  EXPECT_THROW(random(&state, 4, 3), Error);
}

TEST_F(DecisionTest, RandomStaysInRangeWithEvenDistribution) {
  Isaac();
  int counts[6] = {};
  for (int i = 0; i < 60000; ++i) {
    int32_t v = random(&state, 1, 6, "W6");
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 6);
    ++counts[v - 1];
  }
  for (int c : counts) EXPECT_NEAR(c, 10000, 500);
  // Negative ranges are drawn too.
  for (int i = 0; i < 1000; ++i) {
    int32_t v = random(&state, -5, -2);
    ASSERT_TRUE(v >= -5 && v <= -2);
  }
  // The recorded-mode source covers its range as well.
  gRandom.isaacMode = false;
  LcgSeed(7);
  int seen[4] = {};
  for (int i = 0; i < 4000; ++i) ++seen[random(&state, 0, 3)];
  for (int c : seen) EXPECT_NEAR(c, 1000, 150);
}

TEST_F(DecisionTest, LinearWeightsMapDrawsToCumulativeSums) {
  Isaac();
  for (int r = 1; r <= 10; ++r) {
    EXPECT_EQ(PickAt(&state, r, {0, 5, 0, 5}), r <= 5 ? 1 : 3) << r;
  }
  int counts[4] = {};
  for (int i = 0; i < 100000; ++i) ++counts[Pick(&state, {1, 2, 3, 4})];
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(counts[i], 10000 * (i + 1), 600) << i;
}

// Long tables are summed and searched in blocks: every draw must still pick the first
// option whose running sum reaches it, for small weights, weights beyond 2^25 (other
// block sums) and totals beyond 31 bits (scaled draws), with empty blocks in between.
TEST_F(DecisionTest, LongTablesPickTheFirstOptionReachingTheDraw) {
  Isaac();
  const int32_t scales[] = {1, 1 << 20, 1 << 26, INT32_MAX / 3};
  for (int32_t scale : scales) {
    SCOPED_TRACE(scale);
    std::vector<int32_t> w(300, 0);
    for (int i = 0; i < 300; ++i)
      if (i % 7 == 3 && (i < 64 || i >= 128))
        w[(size_t)i] = (int32_t)std::min<int64_t>(INT32_MAX, (int64_t)scale * (1 + i % 5));
    int64_t total = 0;
    for (int32_t x : w) total += x;
    int shift = 0;
    while ((total >> shift) > INT32_MAX) ++shift;
    int32_t top = (int32_t)(total >> shift);
    // Draws at both ends and at and just past every prefix sum.
    std::vector<int32_t> draws{1, top};
    int64_t running = 0;
    for (int32_t x : w) {
      running += x;
      int32_t at = (int32_t)(running >> shift);
      if (x && at >= 1 && at <= top) draws.push_back(at);
      if (x && at + 1 <= top) draws.push_back(at + 1);
    }
    for (int32_t r : draws) {
      int expected = -1;
      running = 0;
      for (int i = 0; i < 300 && expected < 0; ++i) {
        running += w[(size_t)i];
        if (running >= ((int64_t)r << shift)) expected = i;
      }
      NextDrawIs(&state, r);
      EXPECT_EQ(AdvancedRand(&state, 300, w.data(), 4, nullptr, 0, "", 0, false), expected) << r;
    }
  }
}

// A table that keeps its block sums picks exactly what AdvancedRand picks from the same
// weights, through changes by Set and by the caller's own writes.
TEST_F(DecisionTest, WeightedTablePicksAsAdvancedRandThroughChanges) {
  Isaac();
  std::vector<int32_t> kept(300), plain(300);
  uint32_t x = 12345;
  auto next = [&] { return x = x * 1103515245u + 12345u; };
  for (int i = 0; i < 300; ++i) kept[(size_t)i] = plain[(size_t)i] = (int32_t)(next() >> 20) % 50;
  WeightedTable table(kept.data(), 300);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    int i = (int)(next() >> 8) % 300;
    int32_t w = round % 7 == 0 ? (int32_t)(next() >> 4) : (int32_t)(next() >> 24) % 40;  // now and then a large one
    if (round % 2) {
      table.Set(i, w);
    } else {
      int32_t old = kept[(size_t)i];
      kept[(size_t)i] = w;
      table.Changed(i, old);
    }
    plain[(size_t)i] = w;
    if (round % 50 == 49) table.Resum();  // summed afresh, with large weights among them
    int64_t total = 0;
    for (int32_t v : plain) total += v;
    int shift = 0;
    while ((total >> shift) > INT32_MAX) ++shift;
    int32_t r = 1 + (int32_t)(next() % (uint32_t)(total >> shift));
    NextDrawIs(&state, r);
    int expected = AdvancedRand(&state, 300, plain.data(), 4, nullptr, 0, "", 0, false);
    NextDrawIs(&state, r);
    EXPECT_EQ(table.Pick(&state, nullptr, 0, "", 0, false), expected);
  }
}

TEST_F(DecisionTest, QuadraticRootAndMaximalWeightings) {
  Isaac();
  gSettings.calctype = 1;  // 100 and 40000: divisor 2, weights 2500 and 400000000
  EXPECT_EQ(PickAt(&state, 2500, {100, 40000}), 0);
  EXPECT_EQ(PickAt(&state, 2501, {100, 40000}), 1);
  // Below 15000 no division: 3 and 4 become 9 and 16.
  EXPECT_EQ(PickAt(&state, 9, {3, 4}), 0);
  EXPECT_EQ(PickAt(&state, 10, {3, 4}), 1);
  // A negative weight is squared like any other: -4 and 3 become 16 and 9.
  EXPECT_EQ(PickAt(&state, 16, {-4, 3}), 0);
  EXPECT_EQ(PickAt(&state, 17, {-4, 3}), 1);
  // Many large squares exceed 31 bits and still draw every option.
  int big[3] = {};
  for (int i = 0; i < 3000; ++i) ++big[Pick(&state, {30000, 30000, 30000})];
  for (int c : big) EXPECT_NEAR(c, 1000, 150);

  gSettings.calctype = -1;  // square roots: 10 and 20
  EXPECT_EQ(PickAt(&state, 10, {100, 400}), 0);
  EXPECT_EQ(PickAt(&state, 11, {100, 400}), 1);

  gSettings.calctype = 2;  // first index of the largest weight, nothing drawn
  gRandom.isaacMode = false;
  Recording();
  EXPECT_EQ(Pick(&state, {3, 9, 1, 9}), 1);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(stream[1], 1);
}

TEST_F(DecisionTest, ZeroAndNegativeWeights) {
  Recording();
  int32_t zero[3] = {0, 0, 0};
  CaptureStdout();
  EXPECT_EQ(AdvancedRand(&state, 3, zero, 4, nullptr, 0, "", 0, false, 0, false), -1);
  GetCapturedStdout();
  EXPECT_EQ(position, 2);
  EXPECT_EQ(stream[1], -1);
  // Where a choice is needed, no weight and a negative one end the run with their reason.
  const int32_t none[2] = {0, 0}, negative[2] = {3, -2};
  for (const int32_t* w : {none, negative}) {
    ChildRun run = InChild([&] {
      InputUseText("");
      AdvancedRand(&state, 2, w, 4, nullptr, 0, "", 0, false);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find(w == none ? "No Probability given\n" : "Negative Probability...\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Quitting due to error\n"), std::string::npos);
  }
}

TEST_F(DecisionTest, ManualAnswersAskAgainUntilValidAndRecord) {
  Recording();
  InputUseText("7\nabc\n3\n");
  gSettings.ChooseClass = 1;
  CaptureStdout();
  int32_t v = random(&state, 1, 6, "Wurf", 1);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(v, 3);
  EXPECT_EQ(CountOf(out, "Manuel Random (Wurf):"), 1) << out;
  EXPECT_NE(out.find("Bitte Zahl zwischen 1 und 6 eingeben!"), std::string::npos);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(stream[0], 0);
  EXPECT_EQ(stream[1], 3);

  // Zero-weight options are no valid answer.
  InputUseText("0\n1\n");
  RecomputeOutputLevels();
  int32_t w[2] = {0, 4};
  const char* texts[2] = {"Nichts", "Etwas"};
  CaptureStdout();
  EXPECT_EQ(AdvancedRand(&state, 2, w, 4, texts, sizeof(char*), "Wahl", 1, true), 1);
  out = GetCapturedStdout();
  EXPECT_NE(out.find("1: (4 / 4): Etwas"), std::string::npos) << out;
  EXPECT_EQ(out.find("Nichts"), std::string::npos);
  EXPECT_EQ(stream[3], 1);
}

TEST_F(DecisionTest, StickyAnswersRepeatForTheSameCallSite) {
  Recording();
  InputUseText("*2\n5\n");
  CaptureStdout();
  int32_t got[3];
  for (int i = 0; i < 3; ++i) got[i] = random(&state, 1, 6, "Wurf", 1);  // one call site
  int32_t other = random(&state, 1, 6, "Anderer", 1);                    // another one asks
  GetCapturedStdout();
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(got[1], 2);
  EXPECT_EQ(got[2], 2);
  EXPECT_EQ(other, 5);
  EXPECT_EQ(gRandom.stickyCount, 1);
  // A sticky value that is invalid at a call is passed over: that call asks.
  auto roll = [&](int32_t lo, int32_t hi) { return random(&state, lo, hi, "Wurf", 1); };
  InputUseText("*5\n3\n");
  CaptureStdout();
  EXPECT_EQ(roll(1, 6), 5);
  EXPECT_EQ(roll(1, 4), 3);
  EXPECT_EQ(roll(1, 6), 5);
  GetCapturedStdout();
}

TEST_F(DecisionTest, SpecialAnswersLeaveManualModeOrStepBack) {
  Recording();
  gSettings.ChooseClass = 1;
  gDecide.chooseEverything = true;
  gRandom.savedChooseEverything = true;
  InputUseText("-1\n");
  CaptureStdout();
  int32_t v = random(&state, 1, 6, "Wurf", 1);
  EXPECT_TRUE(v >= 1 && v <= 6);
  EXPECT_FALSE(gDecide.chooseEverything);
  EXPECT_TRUE(gRandom.savedChooseEverything);
  EXPECT_EQ(gSettings.ChooseClass, 1);

  InputUseText("-2\n");
  random(&state, 1, 6, "Wurf", 1);
  EXPECT_FALSE(gRandom.savedChooseEverything);
  EXPECT_EQ(gSettings.ChooseClass, 0);
  EXPECT_EQ(position, 4);  // both drawn values are recorded

  InputUseText("-3\n");
  EXPECT_THROW(random(&state, 1, 6, "Wurf", 1), xRestartChar);
  InputUseText("");  // nobody left to answer: the decision falls to chance
  v = random(&state, 1, 6, "Wurf", 1);
  GetCapturedStdout();
  EXPECT_TRUE(v >= 1 && v <= 6);
}

TEST_F(DecisionTest, RecordedStreamReplaysAndContinuesRecording) {
  Recording();
  int32_t w[3] = {1, 1, 1};
  std::vector<int32_t> first;
  for (int i = 0; i < 5; ++i) {
    first.push_back(random(&state, 0, 1000));
    first.push_back(AdvancedRand(&state, 3, w, 4, nullptr, 0, "", 0, false));
  }
  ASSERT_EQ(position, 20);
  // Cut the stream after six decisions, as saving does, then replay it.
  stream[13] = kStreamEnd;
  position = 1;
  gDecide.replayActive = true;
  LcgSeed(999);
  std::vector<int32_t> second;
  for (int i = 0; i < 5; ++i) {
    second.push_back(random(&state, 0, 1000));
    second.push_back(AdvancedRand(&state, 3, w, 4, nullptr, 0, "", 0, false));
  }
  for (int i = 0; i < 6; ++i) EXPECT_EQ(second[i], first[i]) << i;
  EXPECT_FALSE(gDecide.replayActive);
  // Decision 7 is recorded at the flag word behind decision 6.
  EXPECT_EQ(position, 20);
  EXPECT_EQ(stream[13], second[6]);
  EXPECT_EQ(stream[19], second[9]);
}

TEST_F(DecisionTest, ReplayRestoresChooseEverythingFromFlagWords) {
  Recording();
  random(&state, 1, 6, "A", 0);  // flag word 0
  gDecide.chooseEverything = true;
  InputUseText("4\n");
  CaptureStdout();
  random(&state, 1, 6, "B", 1);  // flag word 1
  GetCapturedStdout();
  gDecide.chooseEverything = false;
  int32_t last = random(&state, 1, 6, "C", 0);  // flag word 0
  stream[position + 1] = kStreamEnd;

  position = 1;
  gDecide.replayActive = true;
  random(&state, 1, 6, "A", 0);
  EXPECT_TRUE(gDecide.chooseEverything);  // the next decision was asked for
  EXPECT_TRUE(gRandom.savedChooseEverything);
  EXPECT_EQ(random(&state, 1, 6, "B", 1), 4);
  EXPECT_EQ(random(&state, 1, 6, "C", 0), last);
  EXPECT_FALSE(gDecide.chooseEverything);
  EXPECT_FALSE(gRandom.savedChooseEverything);
}

// A replayed answer is checked as a typed one: callers use it as an index.
TEST_F(DecisionTest, ReplayedValueOutsideTheRangeEndsTheRun) {
  static const int32_t w[3] = {1, 0, 1}, none[2] = {0, 0};
  struct Case {
    const char* what;
    int32_t value;
    int (*decide)(IsaacState*);
    bool valid;
  };
  const Case cases[] = {
      {"random above", 50, [](IsaacState* s) { return (int)random(s, 1, 6); }, false},
      {"pick past the table", 3, [](IsaacState* s) { return AdvancedRand(s, 3, w, 4, nullptr, 0, "", 0, false); },
       false},
      {"pick of weight 0", 1, [](IsaacState* s) { return AdvancedRand(s, 3, w, 4, nullptr, 0, "", 0, false); }, false},
      {"pick negative", -1, [](IsaacState* s) { return AdvancedRand(s, 3, w, 4, nullptr, 0, "", 0, false, 0, false); },
       false},
      {"empty table allowed", -1,
       [](IsaacState* s) { return AdvancedRand(s, 2, none, 4, nullptr, 0, "", 0, false, 0, false); }, true},
      {"multirand", 2,
       [](IsaacState* s) {
         return multirand(s, "", 0, 0, -1, {{1, "a"}, {1, "b"}, {-1, ""}});
       },
       false},
      {"YesNo", 2, [](IsaacState* s) { return YesNo(s, "", 5, 1, 0); }, false},
      {"LinearChance", -7, [](IsaacState* s) { return LinearChance(s, "", 0, 10, 3, false, 0); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recording();
    stream[1] = c.value;
    stream[3] = kStreamEnd;
    position = 1;
    gDecide.replayActive = true;
    if (c.valid)
      EXPECT_EQ(c.decide(&state), c.value);
    else
      EXPECT_EXIT(c.decide(&state), testing::ExitedWithCode(1), "");
  }
}

TEST_F(DecisionTest, YesNoAndLinearChanceOdds) {
  Isaac();
  int yes = 0;
  for (int i = 0; i < 60000; ++i) yes += YesNo(&state, "", 5, 1, 0);
  EXPECT_NEAR(yes, 10000, 500);
  int linear = 0, inverted = 0;
  for (int i = 0; i < 50000; ++i) {
    linear += LinearChance(&state, "", 0, 10, 3, false, 0);
    inverted += LinearChance(&state, "", 0, 10, 3, true, 0);
  }
  EXPECT_NEAR(linear, 15000, 600);
  EXPECT_NEAR(inverted, 35000, 600);
  EXPECT_EQ(LinearChance(&state, "", 0, 10, 10, false, 0), 1);
  EXPECT_EQ(LinearChance(&state, "", 0, 10, 10, true, 0), 0);
  EXPECT_EQ(LinearChance(&state, "", 0, 10, 0, false, 0), 0);
  EXPECT_EQ(LinearChance(&state, "", 0, 10, -4, true, 0), 1);
}

// Yes/no by chance alone skips AdvancedRand's tables but decides as it does: at both
// ends of every draw, with sums past 31 bits.
TEST_F(DecisionTest, YesNoDecidesAsAdvancedRandAtTheBoundaries) {
  Isaac();
  const int32_t pairs[][2] = {
      {1, 1}, {5, 1}, {1, 7}, {3, 4}, {INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MAX, INT32_MAX}, {INT32_MAX - 5, 1000}};
  for (const auto& p : pairs) {
    int64_t total = (int64_t)p[0] + p[1];
    int32_t top = (int32_t)(total > INT32_MAX ? total >> 1 : total);
    for (int32_t r : {1, top / 2, top / 2 + 1, top - 1, top}) {
      if (r < 1) continue;
      SCOPED_TRACE(testing::Message() << p[0] << "/" << p[1] << " draw " << r);
      int expected = PickAt(&state, r, {p[0], p[1]});
      NextDrawIs(&state, r);
      EXPECT_EQ(YesNo(&state, "", p[0], p[1], 0), expected);
    }
  }
}

TEST_F(DecisionTest, MultirandStopsAtTheTerminator) {
  Isaac();
  int counts[3] = {};
  for (int i = 0; i < 3000; ++i)
    ++counts[multirand(&state, "", 0, 0, -1, {{1, "a"}, {1, "b"}, {-1, nullptr}, {1000, "c"}})];
  EXPECT_EQ(counts[2], 0);
  EXPECT_NEAR(counts[0], 1500, 150);
  // A terminator equal to the first weight leaves no option at all.
  EXPECT_EXIT(multirand(&state, "", 0, 0, 1, {{1, "a"}, {2, "b"}}), testing::ExitedWithCode(1), "");
}

TEST_F(DecisionTest, StickyTableOverflowRaises) {
  Recording();
  gRandom.stickyCount = kStickyCapacity;
  InputUseText("*2\n");
  CaptureStdout();
  EXPECT_THROW(random(&state, 1, 6, "Wurf", 1), Error);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Stack Table Overflow, Increase BufferLen and recompile!"), std::string::npos);
}

TEST_F(DecisionTest, CumulativeTableIsFreedWhenRestartPasses) {
  Recording();
  gDecide.chooseEverything = true;
  int32_t w[2] = {1, 1};
  int before = TrackerCount();
  InputUseText("-3\n");
  CaptureStdout();
  EXPECT_THROW(AdvancedRand(&state, 2, w, 4, nullptr, 0, "Wahl", 1, false), xRestartChar);
  GetCapturedStdout();
  EXPECT_EQ(TrackerCount(), before);
}

TEST_F(DecisionTest, StepBackReplaysEarlierAnswersAndAsksTheLastOneAgain) {
  Recording();
  auto ask = [&](const char* label) { return random(&state, 1, 6, label, 1); };
  InputUseText("2\n5\n-3\n4\n6\n");
  CaptureStdout();
  EXPECT_EQ(ask("Erste"), 2);
  EXPECT_EQ(ask("Zweite"), 5);
  EXPECT_THROW(ask("Dritte"), xRestartChar);
  // What the creation loop does: truncate at the back position and replay.
  position = gDecide.backPosition;
  stream[position + 1] = kStreamEnd;
  position = 1;
  gDecide.replayActive = true;
  EXPECT_EQ(ask("Erste"), 2);
  EXPECT_EQ(ask("Zweite"), 4);  // asked again
  EXPECT_EQ(ask("Dritte"), 6);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(CountOf(out, "Manuel Random (Erste)"), 1);
  EXPECT_EQ(CountOf(out, "Manuel Random (Zweite)"), 2);
  EXPECT_EQ(position, 6);
  EXPECT_EQ(stream[3], 4);
  EXPECT_EQ(stream[5], 6);
}
