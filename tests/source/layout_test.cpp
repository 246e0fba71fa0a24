// Layout of the compact Source: the page-per-block first plan, its page map, the
// clustering of blocks used one after another, and the tight final plan.
#include "source/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "launcher/process.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr uintptr_t kBase = 0x60000000;

using Clusters = std::vector<std::vector<int32_t>>;

// Offsets from the base, so that expectations read like the hand computation.
std::vector<uintptr_t> Offsets(const LayoutPlan& plan) {
  std::vector<uintptr_t> out;
  for (const PoolRecord& r : plan.records) out.push_back(reinterpret_cast<uintptr_t>(r.address) - kBase);
  return out;
}

void ExpectRecordsFollowBlocks(const LayoutPlan& plan, const std::vector<LayoutBlock>& blocks) {
  ASSERT_EQ(plan.records.size(), blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(plan.records[i].serial, blocks[i].serial) << i;
    EXPECT_EQ(plan.records[i].size, blocks[i].size) << i;
  }
}

// Counter (block, previous) = n as n moves; moves inside one block count for nothing.
CoAccess Access(std::vector<int64_t> entries,
                const std::vector<std::pair<std::pair<int32_t, int32_t>, int>>& counters) {
  CoAccess access;
  access.entries = std::move(entries);
  for (const auto& [move, n] : counters)
    for (int k = 0; k < n; ++k) access.moves.push_back(move);
  return access;
}

}  // namespace

TEST(LayoutFirstPlan, EveryBlockOnPagesOfItsOwn) {
  const std::vector<LayoutBlock> blocks = {{10, 100}, {11, 5000}, {12, 0}, {13, 4096}, {14, 9000}};
  LayoutPlan plan = FirstPlan(blocks, kBase, 4096);
  ExpectRecordsFollowBlocks(plan, blocks);
  // 100 -> page; 5000 -> 8 KiB; empty -> page of its own; 4096 -> page; 9000 -> 16 KiB.
  EXPECT_EQ(Offsets(plan), (std::vector<uintptr_t>{0x1000, 0x2000, 0x4000, 0x5000, 0x8000}));
  EXPECT_EQ(plan.imageSize, 0x8000u + 9000u);

  // Pages 6 and 7 are the gap before the 16 KiB alignment; the last page is partly used.
  EXPECT_EQ(PageMap(plan, kBase, 4096), (std::vector<int32_t>{-1, 0, 1, 1, 2, 3, -1, -1, 4, 4, 4}));
}

TEST(LayoutCluster, HalfRowAndHalvedColumnDecideTheLaterMerges) {
  // Merge 1: tie of 5 at (2,0) and (2,1), row-major first is (2,0): 2 joins 0; row 0
  //   gains (0,1) = 5/2 = 2, column 0 only holds the cleared diagonal.
  // Merge 2: tie of 3 at (1,4) and (3,4), lower row first: 1 joins 4; column 4 is
  //   halved ((3,4) = 1) and gains column 1, so (0,4) = 2.
  // Merge 3: (0,4) = 2: cluster 0 joins 4; halving column 4 drops (3,4) to 0, so 3
  //   stays alone although it was as strong as (1,4) at the start.
  // The diagonal moves of block 3 must never count.
  CoAccess access = Access({6, 8, 1, 2, 2}, {{{2, 0}, 5}, {{2, 1}, 5}, {{1, 4}, 3}, {{3, 4}, 3}, {{3, 3}, 9}});
  CaptureStdout();
  Clusters clusters = ClusterBlocks(5, access, true);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(clusters, (Clusters{{4, 1, 0, 2}, {3}}));
  EXPECT_EQ(out, "Merged 1 of 5 (5)\nMerged 2 of 5 (3)\nMerged 3 of 5 (2)\n");

  CaptureStdout();
  EXPECT_EQ(ClusterBlocks(5, access, false), clusters);
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(LayoutCluster, ClustersOrderedByUseAndUntouchedBlocksLast) {
  // The previous block heads the cluster. [0,1] and [3,4] are both used 4 times: the
  // lower head comes first. Block 5 never moved but is used most; 2 and 6 are unused.
  CoAccess access = Access({1, 3, 0, 2, 2, 9, 0}, {{{1, 0}, 2}, {{4, 3}, 1}});
  EXPECT_EQ(ClusterBlocks(7, access, false), (Clusters{{5}, {0, 1}, {3, 4}, {2}, {6}}));

  // Without any move every block stays alone, ordered by use, ties by index.
  EXPECT_EQ(ClusterBlocks(4, Access({0, 7, 0, 7}, {}), false), (Clusters{{1}, {3}, {0}, {2}}));
  EXPECT_TRUE(ClusterBlocks(0, CoAccess{}, false).empty());
}

TEST(LayoutCluster, MemberChainsAppendInMergeOrder) {
  // (1,0)=4 first: [0,1]. Column 0 halves (3,0)=3 to 1 and gains (3,1)=2, so (3,0)=3
  // ties with (3,2)=3 and wins by its lower column: [0,1,3]. Row 0 then holds half of
  // (3,2), (0,2)=1, and the whole cluster joins 2 behind its head.
  CoAccess access = Access({1, 1, 1, 1}, {{{1, 0}, 4}, {{3, 0}, 3}, {{3, 1}, 2}, {{3, 2}, 3}});
  EXPECT_EQ(ClusterBlocks(4, access, false), (Clusters{{2, 0, 1, 3}}));
}

TEST(LayoutFinalPlan, BlocksAlignToTheirSizeUpToEight) {
  // Placed in cluster order: size 5 at 8, 2 at 14, 1 at 16, 3 at 20, 0 (one byte) at 23,
  // 100 at 24 would straddle the line so it starts at 64, then 7 at 168 (not 164).
  const std::vector<LayoutBlock> blocks = {{40, 100}, {41, 1}, {42, 5}, {43, 7}, {44, 3}, {45, 2}, {46, 0}};
  LayoutPlan plan = FinalPlan(blocks, {{2}, {5}, {1}, {4}, {6}, {0}, {3}}, kBase);
  ExpectRecordsFollowBlocks(plan, blocks);
  EXPECT_EQ(Offsets(plan), (std::vector<uintptr_t>{64, 16, 8, 168, 20, 14, 23}));
  EXPECT_EQ(plan.imageSize, 175u);
}

TEST(LayoutFinalPlan, AClusterStartsOnANewLineOnlyWhenItWouldStraddle) {
  const std::vector<LayoutBlock> blocks = {{0, 30}, {1, 40}, {2, 56}, {3, 100}, {4, 1}, {5, 61}, {6, 20}};
  LayoutPlan plan = FinalPlan(blocks, {{4}, {0, 1}, {2}, {3}, {6, 5}}, kBase);
  ExpectRecordsFollowBlocks(plan, blocks);
  std::vector<uintptr_t> at = Offsets(plan);
  EXPECT_EQ(at[4], 1u);
  // 30 alone would fit the 56 bytes left at 8, the cluster's 70 do not.
  EXPECT_EQ(at[0], 64u);
  EXPECT_EQ(at[1], 96u);
  // 56 bytes at 136 fill the line exactly: no move.
  EXPECT_EQ(at[2], 136u);
  // On a line start already: stays although larger than a line.
  EXPECT_EQ(at[3], 192u);
  // 81 bytes do not fit the 24 left at 296; only the first block moves, the second
  // crosses the next line where it falls.
  EXPECT_EQ(at[6], 320u);
  EXPECT_EQ(at[5], 344u);
  EXPECT_EQ(plan.imageSize, 405u);
}
