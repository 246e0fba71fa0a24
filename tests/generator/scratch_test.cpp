// Per-call arrays and the short stable sort that replace heap vectors in the draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "generator/scratch.h"
#include "memory/tracker.h"

namespace {

struct Keyed {
  int key, order;
};

// Against std::stable_sort on lists with many equal keys, short ones (insertion sort)
// and long ones (handed on): equal keys keep their order.
TEST(StableSortShort, OrdersAsStableSortOnShortAndLongLists) {
  uint32_t state = 12345;
  for (int n = 0; n <= 100; ++n)
    for (int round = 0; round < 3; ++round) {
      std::vector<Keyed> mine((size_t)n), theirs;
      for (int i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        mine[(size_t)i] = Keyed{(int)((state >> 16) % 4), i};
      }
      theirs = mine;
      auto less = [](const Keyed& a, const Keyed& b) { return a.key < b.key; };
      StableSortShort(mine.data(), mine.data() + n, less);
      std::stable_sort(theirs.begin(), theirs.end(), less);
      for (int i = 0; i < n; ++i) ASSERT_EQ(mine[(size_t)i].order, theirs[(size_t)i].order) << "n=" << n;
    }
}

// Beyond its stack places an array goes to the tracked heap and gives it back.
TEST(Scratch, LargeArraysUseTheTrackedHeapAndFill) {
  int before = TrackerCount();
  {
    Scratch<int32_t, 8> small(8, 7);
    EXPECT_EQ(TrackerCount(), before);
    Scratch<int32_t, 8> large(9, 3);
    EXPECT_EQ(TrackerCount(), before + 1);
    EXPECT_EQ(std::vector<int>({small[7], large[8], (int)(large.end() - large.begin())}), std::vector<int>({7, 3, 9}));
  }
  EXPECT_EQ(TrackerCount(), before);
}

}  // namespace
