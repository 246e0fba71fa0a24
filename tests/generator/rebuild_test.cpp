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
  ASSERT_EQ(planOne.imageSize, planTwo.imageSize);
  ASSERT_EQ(planOne.records.size(), planTwo.records.size());
  for (size_t i = 0; i < planOne.records.size(); ++i) {
    const auto &a = planOne.records[i], &b = planTwo.records[i];
    ASSERT_TRUE(a.serial == b.serial && a.size == b.size && a.address == b.address) << i;
  }
}
