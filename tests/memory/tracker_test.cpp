#include "memory/tracker.h"

#include <gtest/gtest.h>

#include <cstring>
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
  try {
    reallocloga(&local, 8);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Cannot realloc unallocated Memory");
  }
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

TEST(Tracker, PoolServesChosenSerialsAndNeverFreesThem) {
  alignas(16) static char region[256];
  int32_t next = TrackerNextSerial();
  PoolRecord pool[2] = {{next + 1, 64, region}, {next + 2, 32, region + 128}};
  TrackerSetPool(pool, 2);
  TrackerSetPoolSwitch(true);
  void* a = mallocloga(8, "Pool-a");    // serial next: not in the pool
  void* b = mallocloga(50, "Pool-b");   // next + 1
  void* c = mallocloga(16, "Pool-c");   // next + 2
  TrackerSetPoolSwitch(false);
  EXPECT_NE(a, region);
  EXPECT_EQ(b, region);
  EXPECT_EQ(c, region + 128);
  EXPECT_EQ(EntryOf(b)->size, 64);
  EXPECT_EQ(EntryOf(b)->pooled, 1);
  EXPECT_EQ(TrackerPoolCursor(), 2);
  EXPECT_EQ(reallocloga(b, 64), region);
  try {
    reallocloga(b, 65);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Cannot Realloc Dump Memory");
  }
  // Returning a static buffer to the heap would crash here.
  freeloga(b);
  freeloga(c);
  freeloga(a);
  TrackerSetPool(nullptr, 0);
}

TEST(Tracker, TableLimitIsEnforced) {
  std::vector<void*> blocks;
  blocks.reserve(kMaxTrackedBlocks);
  CaptureStdout();  // allocates: must happen while there is room
  int room = kMaxTrackedBlocks - TrackerCount();
  for (int i = 0; i < room; ++i) blocks.push_back(mallocloga(1, "Fill"));
  bool raised = false;
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
