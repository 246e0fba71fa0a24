// The rule database built twice from the same tables hands out the same blocks in the
// same order, so a plan made from the first build places every block of the second.
#include "generator/monster_cr.h"
#include "generator/source_fixture.h"
#include "platform/region.h"
#include "script/matcher.h"
#include "source/layout.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Rebuild : public SourceFixture {
 protected:
  // Builds the Source from a given serial on, as the rebuild does; returns its blocks.
  std::vector<LayoutBlock> Build(int32_t first) {
    TrackerSetNextSerial(first);
    ReleaseMatcher();
    gMatch.largest = 0;
    int failed = 0;
    Quietly([&] { failed = BuildRules(); });
    EXPECT_EQ(failed, 0);
    ReleaseMatcher();
    return LiveBlocks(first, TrackerNextSerial());
  }
  void Free() {
    Quietly([&] { FreeSource(); });
  }
};

bool SamePlan(const LayoutPlan& a, const LayoutPlan& b) {
  if (a.imageSize != b.imageSize || a.records.size() != b.records.size()) return false;
  for (size_t i = 0; i < a.records.size(); ++i)
    if (a.records[i].serial != b.records[i].serial || a.records[i].size != b.records[i].size ||
        a.records[i].address != b.records[i].address)
      return false;
  return true;
}

}  // namespace

TEST_F(Rebuild, TwoBuildsGiveTheSameFirstPlan) {
  Free();
  int32_t first = TrackerNextSerial();
  std::vector<LayoutBlock> one = Build(first);
  ASSERT_GT(one.size(), 5000u);  // every String, script and table of the shipped data
  LayoutPlan planOne = FirstPlan(one, kFixedRegionAddress, 4096);
  Free();
  std::vector<LayoutBlock> two = Build(first);
  LayoutPlan planTwo = FirstPlan(two, kFixedRegionAddress, 4096);
  EXPECT_TRUE(SamePlan(planOne, planTwo));
  ASSERT_EQ(one.size(), two.size());
  for (size_t i = 0; i < one.size(); ++i) {
    ASSERT_EQ(one[i].serial, two[i].serial) << i;
    ASSERT_EQ(one[i].size, two[i].size) << i;
  }
  // Each block starts a page run of its own, in serial order.
  for (size_t i = 1; i < planOne.records.size(); ++i) {
    uintptr_t previous = reinterpret_cast<uintptr_t>(planOne.records[i - 1].address);
    uintptr_t at = reinterpret_cast<uintptr_t>(planOne.records[i].address);
    ASSERT_EQ(at % 4096, 0u);
    ASSERT_GE(at, previous + (uintptr_t)planOne.records[i - 1].size);
  }
}
