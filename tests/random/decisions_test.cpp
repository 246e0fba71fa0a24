#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <tuple>

#include "child_run.h"
#include "memory/tracker.h"
#include "random/decision_fixture.h"
#include "random/repro.h"
#include "text_util.h"

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

int Pick(IsaacState* s, std::vector<int32_t> w) {
  return AdvancedRand(s, (int)w.size(), w.data(), 4, nullptr, 0, "", 0, false);
}

// The pick when the draw comes out as r.
int PickAt(IsaacState* s, int32_t r, std::vector<int32_t> w) {
  NextDrawIs(s, r);
  return Pick(s, std::move(w));
}

// Draws scaled down by a shift when the total passes 31 bits.
int ShiftFor(const std::vector<int32_t>& w) {
  int64_t total = 0;
  for (int32_t x : w) total += x;
  int shift = 0;
  while ((total >> shift) > INT32_MAX) ++shift;
  return shift;
}

std::string Quiet(std::function<void()> fn) {
  CaptureStdout();
  fn();
  return GetCapturedStdout();
}

}  // namespace

TEST_F(DecisionTest, SingleOutcomesDecideNothing) {
  Recording();
  ChooseEverything();
  InputUseText("");
  EXPECT_EQ(random(&state, 3, 3, "Label", 1), 3);
  int32_t one = 9;
  EXPECT_EQ(AdvancedRand(&state, 1, &one, 4, "x", 2, "Label", 1, false), 0);
  EXPECT_EQ(YesNo(&state, "l", 0, 5, 1), 1);
  EXPECT_EQ(YesNo(&state, "l", 5, 0, 1), 0);
  EXPECT_EQ(position, 0);
  EXPECT_THROW(random(&state, 4, 3), Error);
}

// In ISAAC and in recorded mode.
TEST_F(DecisionTest, RandomStaysInRangeWithEvenDistribution) {
  for (bool isaac : {true, false}) {
    Isaac(isaac);
    LcgSeed(7);
    int counts[4] = {};
    for (int i = 0; i < 8000; ++i) {
      int32_t v = random(&state, -5, -2, "W4");
      ASSERT_TRUE(v >= -5 && v <= -2) << v;
      ++counts[v + 5];
    }
    for (int c : counts) EXPECT_NEAR(c, 2000, 200) << isaac;
  }
}

TEST_F(DecisionTest, LinearWeightsMapDrawsToCumulativeSums) {
  Isaac();
  for (int r = 1; r <= 10; ++r) EXPECT_EQ(PickAt(&state, r, {0, 5, 0, 5}), r <= 5 ? 1 : 3) << r;
}

// Long tables are searched in blocks: every draw must still pick the first option whose
// running sum reaches it, for small weights, weights beyond 2^25 and totals beyond 31
// bits, with empty blocks in between; at and just past every prefix sum.
TEST_F(DecisionTest, LongTablesPickTheFirstOptionReachingTheDraw) {
  Isaac();
  for (int32_t scale : {1, 1 << 20, 1 << 26, INT32_MAX / 3}) {
    SCOPED_TRACE(scale);
    std::vector<int32_t> w(300, 0);
    for (int i = 0; i < 300; ++i)
      if (i % 7 == 3 && (i < 64 || i >= 128))
        w[(size_t)i] = (int32_t)std::min<int64_t>(INT32_MAX, (int64_t)scale * (1 + i % 5));
    int shift = ShiftFor(w);
    int64_t running = 0;
    for (int i = 0; i < 300; ++i) {
      if (!w[(size_t)i]) continue;
      int64_t before = running;
      running += w[(size_t)i];
      int32_t first = (int32_t)((before >> shift) + 1), last = (int32_t)(running >> shift);
      for (int32_t r : {first, last})
        if (r >= first && r <= last) {
          EXPECT_EQ(PickAt(&state, r, w), i) << r;
        }
    }
  }
}

// A table that keeps its block sums picks what AdvancedRand picks from the same weights,
// through changes by Set, by the caller's own writes and after summing afresh.
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
    int32_t w = round % 7 == 0 ? (int32_t)(next() >> 4) : (int32_t)(next() >> 24) % 40;
    if (round % 2) {
      table.Set(i, w);
    } else {
      int32_t old = kept[(size_t)i];
      kept[(size_t)i] = w;
      table.Changed(i, old);
    }
    plain[(size_t)i] = w;
    if (round % 50 == 49) table.Resum();
    int64_t total = 0;
    for (int32_t v : plain) total += v;
    int32_t r = 1 + (int32_t)(next() % (uint32_t)(total >> ShiftFor(plain)));
    int expected = PickAt(&state, r, plain);
    NextDrawIs(&state, r);
    EXPECT_EQ(table.Pick(&state, nullptr, 0, "", 0, false), expected);
  }
}

TEST_F(DecisionTest, QuadraticRootAndMaximalWeightings) {
  Isaac();
  // {weights, draw, pick}: squares (divided by 2 from 15000 on), then square roots.
  struct Case {
    int calc;
    std::vector<int32_t> w;
    int32_t r;
    int pick;
  };
  const Case cases[] = {
      {1, {100, 40000}, 2500, 0}, {1, {100, 40000}, 2501, 1}, {1, {3, 4}, 9, 0},       {1, {3, 4}, 10, 1},
      {1, {-4, 3}, 16, 0},        {1, {-4, 3}, 17, 1},        {-1, {100, 400}, 10, 0}, {-1, {100, 400}, 11, 1},
  };
  for (const Case& c : cases) {
    CalcType(c.calc);
    EXPECT_EQ(PickAt(&state, c.r, c.w), c.pick) << c.calc << " " << c.r;
  }
  // Large squares exceed 31 bits: draws are halved, the last option still reached.
  CalcType(1);
  EXPECT_EQ(PickAt(&state, 1350000000, {30000, 30000, 30000}), 2);
  CalcType(2);  // first index of the largest weight, nothing drawn
  Isaac(false);
  Recording();
  EXPECT_EQ(Pick(&state, {3, 9, 1, 9}), 1);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(stream[1], 1);
}

TEST_F(DecisionTest, ZeroAndNegativeWeights) {
  Recording();
  int32_t zero[3] = {0, 0, 0};
  Quiet([&] { EXPECT_EQ(AdvancedRand(&state, 3, zero, 4, nullptr, 0, "", 0, false, 0, false), -1); });
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
  ChooseClass(1);
  InputUseText("7\nabc\n3\n");
  int32_t v = 0;
  std::string out = Quiet([&] { v = random(&state, 1, 6, "Wurf", 1); });
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
  out = Quiet([&] { EXPECT_EQ(AdvancedRand(&state, 2, w, 4, texts, sizeof(char*), "Wahl", 1, true), 1); });
  EXPECT_NE(out.find("1: (4 / 4): Etwas"), std::string::npos) << out;
  EXPECT_EQ(out.find("Nichts"), std::string::npos);
  EXPECT_EQ(stream[3], 1);
}

TEST_F(DecisionTest, StickyAnswersRepeatForTheSameCallSite) {
  Recording();
  InputUseText("*2\n5\n");
  CaptureStdout();
  std::array<int32_t, 3> got;
  for (int i = 0; i < 3; ++i) got[(size_t)i] = random(&state, 1, 6, "Wurf", 1);  // one call site
  int32_t other = random(&state, 1, 6, "Anderer", 1);                            // another one asks
  // A sticky value that is invalid at a call is passed over: that call asks.
  auto roll = [&](int32_t hi) { return random(&state, 1, hi, "Wurf", 1); };
  InputUseText("*5\n3\n");
  std::array<int32_t, 3> passed = {roll(6), roll(4), roll(6)};
  GetCapturedStdout();
  EXPECT_EQ(got, (std::array<int32_t, 3>{2, 2, 2}));
  EXPECT_EQ(other, 5);
  EXPECT_EQ(passed, (std::array<int32_t, 3>{5, 3, 5}));
  EXPECT_EQ(gRandom.stickyCount, 2);
  // A full table: a new sticky answer raises.
  Sticky(kStickyCapacity);
  InputUseText("*2\n");
  CaptureStdout();
  EXPECT_THROW(random(&state, 1, 6, "Voll", 1), Error);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Stack Table Overflow, Increase BufferLen and recompile!"), std::string::npos);
}

TEST_F(DecisionTest, SpecialAnswersLeaveManualModeOrStepBack) {
  Recording();
  ChooseClass(1);
  ChooseEverything();
  SavedChooseEverything(true);
  auto roll = [&] { return random(&state, 1, 6, "Wurf", 1); };
  CaptureStdout();
  InputUseText("-1\n");
  int32_t v = roll();
  EXPECT_TRUE(v >= 1 && v <= 6);
  EXPECT_FALSE(gDecide.chooseEverything);
  EXPECT_TRUE(gRandom.savedChooseEverything);
  EXPECT_EQ(gSettings.ChooseClass, 1);
  InputUseText("-2\n");
  roll();
  EXPECT_FALSE(gRandom.savedChooseEverything);
  EXPECT_EQ(gSettings.ChooseClass, 0);
  EXPECT_EQ(position, 4);  // both drawn values are recorded
  GetCapturedStdout();
  // -3 steps back (Viewer.StepBackAfterAReRollAndEmptyBatches); the cumulative table of a pick is freed when the
  // restart passes.
  ChooseEverything();
  int32_t w[2] = {1, 1};
  int before = TrackerCount();
  InputUseText("-3\n");
  Quiet([&] { EXPECT_THROW(AdvancedRand(&state, 2, w, 4, nullptr, 0, "Wahl", 1, false), xRestartChar); });
  EXPECT_EQ(TrackerCount(), before);
}

TEST_F(DecisionTest, RecordedStreamReplaysAndContinuesRecording) {
  Recording();
  int32_t w[3] = {1, 1, 1};
  auto decide = [&](std::vector<int32_t>& out) {
    for (int i = 0; i < 5; ++i) {
      out.push_back(random(&state, 0, 1000));
      out.push_back(AdvancedRand(&state, 3, w, 4, nullptr, 0, "", 0, false));
    }
  };
  std::vector<int32_t> first, second;
  decide(first);
  ASSERT_EQ(position, 20);
  stream[13] = kStreamEnd;  // cut after six decisions, as saving does
  Replaying();
  LcgSeed(999);
  decide(second);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(second[i], first[i]) << i;
  EXPECT_FALSE(gDecide.replayActive);
  // Decision 7 is recorded at the flag word behind decision 6.
  EXPECT_EQ(position, 20);
  EXPECT_EQ(stream[13], second[6]);
  EXPECT_EQ(stream[19], second[9]);
}

// A replayed answer is checked as a typed one: callers use it as an index.
TEST_F(DecisionTest, ReplayedValueOutsideTheRangeEndsTheRun) {
  static const int32_t w[3] = {1, 0, 1}, none[2] = {0, 0};
  using Decide = int (*)(IsaacState*);
  const Decide pick = [](IsaacState* s) { return AdvancedRand(s, 3, w, 4, nullptr, 0, "", 0, false); };
  const struct {
    int32_t value;
    Decide decide;
    bool valid;
  } cases[] = {
      {50, [](IsaacState* s) { return (int)random(s, 1, 6); }, false},
      {3, pick, false},  // past the table
      {1, pick, false},  // weight 0
      {-1, [](IsaacState* s) { return AdvancedRand(s, 2, none, 4, nullptr, 0, "", 0, false, 0, false); }, true},
      {2, [](IsaacState* s) { return YesNo(s, "", 5, 1, 0); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Recording();
    stream[1] = c.value;
    stream[3] = kStreamEnd;
    Replaying();
    if (c.valid)
      EXPECT_EQ(c.decide(&state), c.value);
    else
      EXPECT_EXIT(c.decide(&state), testing::ExitedWithCode(1), "");
  }
}

TEST_F(DecisionTest, LinearChanceAndMultirandOdds) {
  Isaac();
  int linear = 0, inverted = 0, counts[3] = {};
  for (int i = 0; i < 20000; ++i) {
    linear += LinearChance(&state, "", 0, 10, 3, false, 0);
    inverted += LinearChance(&state, "", 0, 10, 3, true, 0);
  }
  EXPECT_NEAR(linear, 6000, 400);
  EXPECT_NEAR(inverted, 14000, 400);
  for (auto [value, inverse, yes] : {std::tuple{10, false, 1}, {10, true, 0}, {0, false, 0}, {-4, true, 1}})
    EXPECT_EQ(LinearChance(&state, "", 0, 10, value, inverse, 0), yes) << value;
  // multirand stops at the terminator weight.
  for (int i = 0; i < 3000; ++i)
    ++counts[multirand(&state, "", 0, 0, -1, {{1, "a"}, {1, "b"}, {-1, nullptr}, {1000, "c"}})];
  EXPECT_EQ(counts[2], 0);
  EXPECT_NEAR(counts[0], 1500, 150);
  // A terminator equal to the first weight leaves no option at all.
  EXPECT_EXIT(multirand(&state, "", 0, 0, 1, {{1, "a"}, {2, "b"}}), testing::ExitedWithCode(1), "");
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
