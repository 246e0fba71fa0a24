#include "memory/tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "launcher/process.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const TrackedBlock* EntryOf(void* p) {
  for (int i = TrackerCount(); i >= 1; --i)
    if (TrackerEntry(i)->pointer == p) return TrackerEntry(i);
  return nullptr;
}

// The text of the Error fn raises; empty when it raises none.
template <class Fn>
std::string Raised(Fn fn) {
  try {
    fn();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(Tracker, CountsTagsAndForgetsBlocks) {
  int before = TrackerCount();
  int32_t serial = TrackerNextSerial();
  void* a = mallocloga(10, "Test-a");
  void* b = mallocloga(20, "Test-b");
  EXPECT_EQ(TrackerCount(), before + 2);
  EXPECT_GE(TrackerHighestCount(), before + 2);
  ASSERT_NE(EntryOf(b), nullptr);
  EXPECT_STREQ(EntryOf(a)->tag, "Test-a");
  EXPECT_EQ(EntryOf(a)->serial, serial);
  EXPECT_EQ(EntryOf(b)->serial, serial + 1);
  EXPECT_EQ(EntryOf(b)->size, 20);
  freeloga(a);
  EXPECT_EQ(EntryOf(a), nullptr);
  EXPECT_STREQ(EntryOf(b)->tag, "Test-b");  // moved into the hole, still found
  freeloga(b);
  EXPECT_EQ(TrackerCount(), before);

  int* n = new int(5);
  EXPECT_STREQ(EntryOf(n)->tag, "new   ");
  delete n;
  int* arr = new int[4];
  EXPECT_STREQ(EntryOf(arr)->tag, "new[] ");
  delete[] arr;
  EXPECT_EQ(TrackerCount(), before);
}

TEST(Tracker, UnknownBlocksRaise) {
  int local;
  CaptureStdout();
  EXPECT_THROW(freeloga(&local), Error);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Freed On non allocated Block\n"), std::string::npos);
  EXPECT_EQ(Raised([&] { reallocloga(&local, 8); }), "Cannot realloc unallocated Memory");
}

TEST(Tracker, ReallocationKeepsDataAndExtendsTheTag) {
  char* p = static_cast<char*>(mallocloga(4, "Test-grow"));
  memcpy(p, "abc", 4);
  p = static_cast<char*>(reallocloga(p, 4000));
  EXPECT_STREQ(p, "abc");
  EXPECT_STREQ(EntryOf(p)->tag, "Test-grow-re");
  EXPECT_EQ(EntryOf(p)->size, 4000);
  p = static_cast<char*>(reallocloga(p, 10));
  EXPECT_EQ(EntryOf(p)->size, 4000);  // the size only grows
  EXPECT_STREQ(EntryOf(p)->tag, "Test-grow-re-re");
  freeloga(p);

  std::string longTag(245, 'x');
  p = static_cast<char*>(mallocloga(1, longTag.c_str()));
  p = static_cast<char*>(reallocloga(p, 2));
  p = static_cast<char*>(reallocloga(p, 3));
  EXPECT_EQ(std::string(EntryOf(p)->tag), longTag + "...");
  freeloga(p);
}

TEST(Tracker, TableLimitIsEnforced) {
  std::vector<void*> blocks;
  blocks.reserve(kMaxTrackedBlocks);
  CaptureStdout();  // allocates: must happen while there is room
  int room = kMaxTrackedBlocks - TrackerCount();
  for (int i = 0; i < room; ++i) blocks.push_back(mallocloga(1, "Fill"));
  bool raised = false;  // no allocation here: the table is full
  try {
    mallocloga(1, "One too many");
  } catch (const Error& e) {
    raised = strcmp(e.what(), "mallocloga") == 0;
  }
  // Newest first: that is the order the search is made for.
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) freeloga(*it);
  std::string out = GetCapturedStdout();
  EXPECT_TRUE(raised);
  EXPECT_NE(out.find("Could not log Memory Allocation\n"), std::string::npos);
}

TEST(Tracker, ThreadsAllocateConcurrently) {
  int before = TrackerCount();
  auto work = [] {
    for (int i = 0; i < 20000; ++i) {
      void* p = mallocloga(16 + i % 64, "Thread");
      void* q = mallocloga(8, "Thread2");
      freeloga(p);
      freeloga(q);
    }
  };
  std::thread t1(work), t2(work);
  t1.join();
  t2.join();
  EXPECT_EQ(TrackerCount(), before);
}

TEST(Tracker, LeakReportListsBlocksFromTheFirstIndexOn) {
  // The report lists entries `first` to count once more than `first` are live.
  CaptureStdout();  // allocates, so count afterwards
  char* kept = static_cast<char*>(mallocloga(64, "Kept-block"));
  int first = TrackerCount();
  EXPECT_NO_THROW(ListAlloc(first));
  char* leak = static_cast<char*>(mallocloga(6, "Leak-test"));
  memcpy(leak, "Hallo!", 6);
  EXPECT_THROW(ListAlloc(first), Error);
  std::string out = GetCapturedStdout();
  freeloga(leak);
  freeloga(kept);
  EXPECT_EQ(out.find("Memmory Leak Found\n\n"), 0u) << out;
  EXPECT_NE(out.find(":                    Kept-block (ID:"), std::string::npos) << out;
  // Small blocks show their bytes, the last one cut off.
  EXPECT_NE(out.find("Leak-test (ID:"), std::string::npos);
  EXPECT_NE(out.find("Size:     6)  Hallo\n"), std::string::npos) << out;
}

TEST(Tracker, ShuffledFreesAndReallocationsKeepTheIndexWhole) {
  // Frees in random order move table entries and shift probe runs back; reallocations
  // re-key blocks that moved. Every block must stay findable until it is freed, and
  // no longer after.
  constexpr int kBlocks = 20000;
  std::vector<char*> blocks(kBlocks);
  std::vector<size_t> sizes(kBlocks);
  std::vector<int> order(kBlocks);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(20240611));
  CaptureStdout();  // allocates: before the count is taken
  const int before = TrackerCount();
  for (int i = 0; i < kBlocks; ++i) {
    sizes[i] = 1 + (size_t)(i * 37) % 300;
    blocks[i] = static_cast<char*>(mallocloga(sizes[i], "Shuffle"));
    memset(blocks[i], (char)i, sizes[i]);
  }
  EXPECT_EQ(TrackerCount(), before + kBlocks);

  int live = kBlocks, damaged = 0, refreed = 0, probes = 0, wrongCount = 0;
  for (int k = 0; k < kBlocks; ++k) {
    if (k % 3 == 0 && k + 1 < kBlocks) {
      // Grow a block that is freed later; it usually moves.
      int j = order[k + 1 + (k * 7) % (kBlocks - k - 1)];
      size_t grown = sizes[j] + 500 + (size_t)k % 1000;
      blocks[j] = static_cast<char*>(reallocloga(blocks[j], grown));
      if (blocks[j][0] != (char)j || blocks[j][sizes[j] - 1] != (char)j) ++damaged;
      memset(blocks[j], (char)j, grown);
      sizes[j] = grown;
    }
    int i = order[k];
    if (blocks[i][0] != (char)i || blocks[i][sizes[i] - 1] != (char)i) ++damaged;
    freeloga(blocks[i]);
    --live;
    if (TrackerCount() != before + live) ++wrongCount;
    if (k % 16 == 0) {
      // Nothing was allocated since, so the address cannot belong to a live block.
      ++probes;
      try {
        freeloga(blocks[i]);
      } catch (const Error&) {
        ++refreed;
      }
    }
  }
  const int after = TrackerCount();
  std::string out = GetCapturedStdout();
  EXPECT_EQ(after, before);
  EXPECT_EQ(wrongCount, 0);
  EXPECT_EQ(damaged, 0);
  EXPECT_EQ(refreed, probes);
  EXPECT_EQ(out.find("Freed On non allocated Block\n"), 0u);
}

TEST(Tracker, ScatteredBlocksFreedInAnyOrderStayFindable) {
  // Heap addresses are too regular to share index slots; pool records place blocks at
  // scattered addresses, whose slots collide and form probe runs that every free must
  // leave intact.
  constexpr int kBlocks = 30000;
  static char arena[1 << 20];
  std::mt19937 random(4711);
  std::vector<bool> taken(sizeof arena);
  std::vector<PoolRecord> pool(kBlocks);
  std::vector<void*> blocks(kBlocks);
  std::vector<int> order(kBlocks);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), random);
  const int32_t s = TrackerNextSerial() + 10;
  for (int i = 0; i < kBlocks; ++i) {
    size_t at;
    do at = random() % sizeof arena;
    while (taken[at]);
    taken[at] = true;
    pool[i] = PoolRecord{s + i, 1, arena + at};
  }
  CaptureStdout();
  const int before = TrackerCount();
  TrackerSetPool(pool.data(), kBlocks);
  TrackerSetNextSerial(s);
  TrackerSetPoolSwitch(true);
  for (int i = 0; i < kBlocks; ++i) blocks[i] = mallocloga(1, "Scattered");
  TrackerSetPoolSwitch(false);
  const int cursor = TrackerPoolCursor();
  const int allocated = TrackerCount() - before;
  int misplaced = 0, lost = 0, wrongCount = 0, refreed = 0, probes = 0;
  for (int i = 0; i < kBlocks; ++i) misplaced += blocks[i] != pool[i].address;
  for (int k = 0; k < kBlocks; ++k) {
    try {
      freeloga(blocks[order[k]]);
    } catch (const Error&) {
      ++lost;
    }
    if (TrackerCount() != before + kBlocks - k - 1) ++wrongCount;
    if (k % 16 == 0) {
      ++probes;
      try {
        freeloga(blocks[order[k]]);
      } catch (const Error&) {
        ++refreed;
      }
    }
  }
  TrackerSetPool(nullptr, 0);
  const int after = TrackerCount();
  GetCapturedStdout();
  EXPECT_EQ(cursor, kBlocks);
  EXPECT_EQ(allocated, kBlocks);
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(wrongCount, 0);
  EXPECT_EQ(refreed, probes);
  EXPECT_EQ(after, before);
}

TEST(Tracker, PoolSwitchPlacesTheRecordUnderTheCursor) {
  alignas(16) static char region[512];
  auto inRegion = [](void* p) { return p >= (void*)region && p < (void*)(region + sizeof region); };
  const int32_t s = TrackerNextSerial() + 10;
  PoolRecord pool[] = {{s, 32, region}, {s + 2, 16, region + 64}, {s + 3, 64, region + 128}, {s + 5, 8, region + 256}};
  void* got[6];
  TrackerSetPool(pool, 4);
  TrackerSetNextSerial(s);
  TrackerSetPoolSwitch(true);
  got[0] = mallocloga(32, "Pool-0");  // s: exactly the record's size
  got[1] = mallocloga(8, "Pool-1");   // s + 1: no record for it
  const int cursorAfterGap = TrackerPoolCursor();
  got[2] = mallocloga(17, "Pool-2");  // s + 2: larger than its record
  got[3] = mallocloga(1, "Pool-3");   // s + 3
  got[4] = mallocloga(8, "Pool-4");   // s + 4: no record
  TrackerSetPoolSwitch(false);
  got[5] = mallocloga(8, "Pool-5");  // s + 5: its record, but the switch is off
  const int cursor = TrackerPoolCursor(), mismatches = TrackerPoolMismatches();

  EXPECT_EQ(cursorAfterGap, 1);
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(mismatches, 1);
  EXPECT_EQ(got[0], region);
  EXPECT_EQ(got[3], region + 128);
  for (int i : {1, 2, 4, 5}) EXPECT_FALSE(inRegion(got[i])) << i;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(EntryOf(got[i])->serial, s + i) << i;
  EXPECT_EQ(EntryOf(got[3])->size, 64);  // the record's size, not the request's
  EXPECT_EQ(EntryOf(got[3])->pooled, 1);
  EXPECT_EQ(EntryOf(got[2])->size, 17);
  EXPECT_EQ(EntryOf(got[2])->pooled, 0);
  // A pooled block grows inside its record only; freeing it leaves the static buffer alone.
  EXPECT_EQ(reallocloga(got[3], 64), region + 128);
  EXPECT_EQ(Raised([&] { reallocloga(got[3], 65); }), "Cannot Realloc Dump Memory");
  for (void* p : got) freeloga(p);

  // A second build with the same serials gets the same addresses; setting the pool
  // starts the cursor and the mismatch count afresh.
  TrackerSetPool(pool, 4);
  EXPECT_EQ(TrackerPoolCursor(), 0);
  EXPECT_EQ(TrackerPoolMismatches(), 0);
  TrackerSetNextSerial(s);
  TrackerSetPoolSwitch(true);
  got[0] = mallocloga(10, "Again-0");
  got[1] = mallocloga(8, "Again-1");
  got[2] = mallocloga(16, "Again-2");
  got[3] = mallocloga(64, "Again-3");
  got[4] = mallocloga(8, "Again-4");
  got[5] = mallocloga(8, "Again-5");
  TrackerSetPoolSwitch(false);
  EXPECT_EQ(TrackerPoolCursor(), 4);
  EXPECT_EQ(TrackerPoolMismatches(), 0);
  EXPECT_EQ(got[0], region);
  EXPECT_EQ(got[2], region + 64);
  EXPECT_EQ(got[3], region + 128);
  EXPECT_EQ(got[5], region + 256);
  EXPECT_FALSE(inRegion(got[1]));
  EXPECT_FALSE(inRegion(got[4]));
  for (void* p : got) freeloga(p);
  TrackerSetPool(nullptr, 0);
}
