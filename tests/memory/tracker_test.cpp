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

// Frees blocks in the given order, each checked to be found, and frees every 16th a
// second time, which must raise: nothing was allocated since, so the address is no
// live block's. Returns the number of faults seen.
int FreeAll(const std::vector<void*>& blocks, const std::vector<int>& order, int before) {
  int faults = 0, live = (int)blocks.size();
  for (size_t k = 0; k < order.size(); ++k) {
    faults += !Raised([&] { freeloga(blocks[(size_t)order[k]]); }).empty();
    faults += TrackerCount() != before + --live;
    if (k % 16 == 0) faults += Raised([&] { freeloga(blocks[(size_t)order[k]]); }).empty();
  }
  return faults;
}

std::vector<int> Shuffled(int n, std::mt19937& random) {
  std::vector<int> order((size_t)n);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), random);
  return order;
}

}  // namespace

TEST(Tracker, CountsTagsReallocatesAndForgets) {
  int before = TrackerCount();
  int32_t serial = TrackerNextSerial();
  char* a = static_cast<char*>(mallocloga(4, "Test-a"));
  void* b = mallocloga(20, "Test-b");
  EXPECT_GE(TrackerHighestCount(), before + 2);
  EXPECT_EQ(EntryOf(a)->serial, serial);
  EXPECT_EQ(EntryOf(b)->serial, serial + 1);
  EXPECT_EQ(EntryOf(b)->size, 20);
  // Reallocation keeps the data and extends the tag; the size only grows.
  memcpy(a, "abc", 4);
  a = static_cast<char*>(reallocloga(a, 4000));
  EXPECT_STREQ(a, "abc");
  EXPECT_STREQ(EntryOf(a)->tag, "Test-a-re");
  a = static_cast<char*>(reallocloga(a, 10));
  EXPECT_EQ(EntryOf(a)->size, 4000);
  EXPECT_STREQ(EntryOf(a)->tag, "Test-a-re-re");
  freeloga(a);
  EXPECT_EQ(EntryOf(a), nullptr);
  EXPECT_STREQ(EntryOf(b)->tag, "Test-b");  // moved into the hole, still found
  freeloga(b);
  {
    std::string longTag(245, 'x');
    a = static_cast<char*>(reallocloga(reallocloga(mallocloga(1, longTag.c_str()), 2), 3));
    EXPECT_EQ(std::string(EntryOf(a)->tag), longTag + "...");
    freeloga(a);
  }
  int *n = new int(5), *arr = new int[4];
  EXPECT_STREQ(EntryOf(n)->tag, "new   ");
  EXPECT_STREQ(EntryOf(arr)->tag, "new[] ");
  delete n;
  delete[] arr;
  EXPECT_EQ(TrackerCount(), before);
  // Unknown blocks raise.
  int local;
  CaptureStdout();
  EXPECT_THROW(freeloga(&local), Error);
  EXPECT_NE(GetCapturedStdout().find("Freed On non allocated Block\n"), std::string::npos);
  EXPECT_EQ(Raised([&] { reallocloga(&local, 8); }), "Cannot realloc unallocated Memory");
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

// Heap addresses are too regular to share index slots; pool records place blocks at
// scattered addresses, whose slots collide and form probe runs that every free must
// leave intact.
TEST(Tracker, ScatteredBlocksFreedInAnyOrderStayFindable) {
  constexpr int kBlocks = 30000;
  static char arena[1 << 20];
  std::mt19937 random(4711);
  std::vector<int> order = Shuffled(kBlocks, random);
  std::vector<bool> taken(sizeof arena);
  std::vector<PoolRecord> pool(kBlocks);
  std::vector<void*> blocks(kBlocks);
  const int32_t s = TrackerNextSerial() + 10;
  for (int i = 0; i < kBlocks; ++i) {
    size_t at;
    do at = random() % sizeof arena;
    while (taken[at]);
    taken[at] = true;
    pool[(size_t)i] = PoolRecord{s + i, 1, arena + at};
  }
  CaptureStdout();
  const int before = TrackerCount();
  TrackerSetPool(pool.data(), kBlocks);
  TrackerSetNextSerial(s);
  TrackerSetPoolSwitch(true);
  int misplaced = 0;
  for (int i = 0; i < kBlocks; ++i)
    misplaced += (blocks[(size_t)i] = mallocloga(1, "Scattered")) != pool[(size_t)i].address;
  TrackerSetPoolSwitch(false);
  EXPECT_EQ(TrackerPoolCursor(), kBlocks);
  EXPECT_EQ(TrackerCount(), before + kBlocks);
  EXPECT_EQ(FreeAll(blocks, order, before), 0);
  TrackerSetPool(nullptr, 0);
  const int after = TrackerCount();
  GetCapturedStdout();
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(after, before);
}

TEST(Tracker, PoolSwitchPlacesTheRecordUnderTheCursor) {
  alignas(16) static char region[512];
  auto inRegion = [](void* p) { return p >= (void*)region && p < (void*)(region + sizeof region); };
  const int32_t s = TrackerNextSerial() + 10;
  PoolRecord pool[] = {{s, 32, region}, {s + 2, 16, region + 64}, {s + 3, 64, region + 128}, {s + 5, 8, region + 256}};
  void* got[6];
  auto start = [&] {
    TrackerSetPool(pool, 4);
    TrackerSetNextSerial(s);
    TrackerSetPoolSwitch(true);
  };
  start();
  got[0] = mallocloga(32, "Pool-0");  // s: exactly the record's size
  got[1] = mallocloga(8, "Pool-1");   // s + 1: no record for it
  EXPECT_EQ(TrackerPoolCursor(), 1);
  got[2] = mallocloga(17, "Pool-2");  // s + 2: larger than its record
  got[3] = mallocloga(1, "Pool-3");   // s + 3
  got[4] = mallocloga(8, "Pool-4");   // s + 4: no record
  TrackerSetPoolSwitch(false);
  got[5] = mallocloga(8, "Pool-5");  // s + 5: its record, but the switch is off
  EXPECT_EQ(TrackerPoolCursor(), 3);
  EXPECT_EQ(TrackerPoolMismatches(), 1);
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

  // Setting the pool again starts the cursor and the mismatch count afresh.
  start();
  EXPECT_EQ(TrackerPoolMismatches(), 0);
  EXPECT_EQ(mallocloga(10, "Again"), region);
  EXPECT_EQ(TrackerPoolCursor(), 1);
  freeloga(region);
  TrackerSetPoolSwitch(false);
  TrackerSetPool(nullptr, 0);
}
