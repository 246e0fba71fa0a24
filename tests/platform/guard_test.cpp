// Guard-page recording on a few pages of a mapping of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/region.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif

namespace {

bool UnderValgrind() {
#ifdef RUNNING_ON_VALGRIND
  return RUNNING_ON_VALGRIND;
#else
  return false;
#endif
}

// Filled by the fault callback, which may not allocate.
constexpr int kMaxFaults = 16;
struct Faults {
  int count;
  uintptr_t address[kMaxFaults];
  uintptr_t instruction[kMaxFaults];
  bool rearm;  // guard the page of the previous fault again, as the analysis does
  uintptr_t previousPage;
  size_t pageSize;
};
Faults gFaults;

void Record(uintptr_t address, uintptr_t instruction) {
  if (gFaults.count < kMaxFaults) {
    gFaults.address[gFaults.count] = address;
    gFaults.instruction[gFaults.count] = instruction;
  }
  ++gFaults.count;
  uintptr_t page = address & ~(uintptr_t)(gFaults.pageSize - 1);
  // Never the faulting page itself: its access would fault for ever.
  if (gFaults.rearm && gFaults.previousPage && gFaults.previousPage != page)
    RegionProtect(reinterpret_cast<void*>(gFaults.previousPage), gFaults.pageSize, false);
  gFaults.previousPage = page;
}

__attribute__((noinline)) uint8_t ReadAt(const volatile uint8_t* p) { return *p; }
__attribute__((noinline)) void WriteAt(volatile uint8_t* p, uint8_t value) { *p = value; }

// The faulting instruction lies in the small function that made the access.
bool Within(uintptr_t instruction, void* function) {
#if defined(__x86_64__) || defined(__i386__)
  uintptr_t f = reinterpret_cast<uintptr_t>(function);
  return instruction >= f && instruction < f + 64;
#else
  (void)function;
  return instruction == 0;
#endif
}

// Asks the kernel to read the byte: a protected page gives EFAULT, not a fault.
bool Readable(const void* p) {
  static int fds[2] = {-1, -1};
  if (fds[0] < 0 && pipe(fds) != 0) return false;
  char c;
  return write(fds[1], p, 1) == 1 && read(fds[0], &c, 1) == 1;
}

class Guard : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderValgrind()) GTEST_SKIP() << "guard faults do not reach the handler under valgrind";
    page_ = (size_t)sysconf(_SC_PAGESIZE);
    void* p = mmap(nullptr, 4 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    base_ = static_cast<uint8_t*>(p);
    for (size_t i = 0; i < 4 * page_; ++i) base_[i] = (uint8_t)(i / page_ + 1);
    gFaults = Faults{};
    gFaults.pageSize = page_;
  }
  void TearDown() override {
    if (base_) munmap(base_, 4 * page_);
  }
  uint8_t* Page(int i) const { return base_ + (size_t)i * page_; }

  bool Start(int pages) { return GuardStart(reinterpret_cast<uintptr_t>(base_), pages * page_, page_, Record); }
  uintptr_t At(int page, int offset = 0) const { return reinterpret_cast<uintptr_t>(Page(page) + offset); }

  size_t page_ = 0;
  uint8_t* base_ = nullptr;
};

}  // namespace

TEST_F(Guard, EachPageReportsItsFirstAccessOncePerArming) {
  ASSERT_TRUE(Start(3));
  EXPECT_FALSE(Start(3));  // one at a time
  EXPECT_FALSE(Readable(Page(0)) || Readable(Page(2)));
  EXPECT_TRUE(Readable(Page(3)));

  EXPECT_EQ(ReadAt(Page(1) + 5), 2);
  EXPECT_EQ(ReadAt(Page(1) + 100), 2);
  WriteAt(Page(2) + 7, 0x42);
  EXPECT_EQ(ReadAt(Page(2) + 7), 0x42);
  EXPECT_EQ(ReadAt(Page(3)), 4);  // outside the guarded range
  ASSERT_EQ(gFaults.count, 2);
  EXPECT_EQ(gFaults.address[0], At(1, 5));
  EXPECT_EQ(gFaults.address[1], At(2, 7));
  EXPECT_TRUE(Within(gFaults.instruction[0], reinterpret_cast<void*>(&ReadAt)));
  EXPECT_TRUE(Within(gFaults.instruction[1], reinterpret_cast<void*>(&WriteAt)));
  EXPECT_FALSE(Readable(Page(0)));  // still guarded: never touched

  EXPECT_TRUE(GuardStop());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Readable(Page(i))) << i;
  EXPECT_EQ(ReadAt(Page(0)), 1);
  EXPECT_EQ(gFaults.count, 2);
}

TEST_F(Guard, TheCallbackMayGuardAPageAgain) {
  // Guarding the page left behind makes every move between two pages visible.
  gFaults.rearm = true;
  ASSERT_TRUE(Start(2));
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(ReadAt(Page(0)), 1);
    EXPECT_EQ(ReadAt(Page(1)), 2);
  }
  EXPECT_TRUE(GuardStop());
  ASSERT_EQ(gFaults.count, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(gFaults.address[i], At(i % 2)) << i;
  EXPECT_TRUE(Readable(Page(0)) && Readable(Page(1)));
}

namespace {

// Stands for the program's own fault handling: opens the page and lets the access repeat.
volatile sig_atomic_t gOtherFaults = 0;
uintptr_t gOtherPage = 0;
size_t gOtherSize = 0;
void OtherHandler(int, siginfo_t*, void*) {
  gOtherFaults = gOtherFaults + 1;
  mprotect(reinterpret_cast<void*>(gOtherPage), gOtherSize, PROT_READ | PROT_WRITE);
}

}  // namespace

TEST_F(Guard, AFaultOutsideTheRangeGoesToThePreviousHandler) {
  struct sigaction other {
  }, saved{};
  other.sa_sigaction = OtherHandler;
  other.sa_flags = SA_SIGINFO;
  sigemptyset(&other.sa_mask);
  ASSERT_EQ(sigaction(SIGSEGV, &other, &saved), 0);
  gOtherFaults = 0;
  gOtherPage = reinterpret_cast<uintptr_t>(Page(3));
  gOtherSize = page_;
  ASSERT_EQ(mprotect(Page(3), page_, PROT_NONE), 0);

  ASSERT_TRUE(Start(2));
  EXPECT_EQ(ReadAt(Page(3) + 1), 4);
  EXPECT_EQ(gOtherFaults, 1);
  // The recording ends there: the range is open and no later access is reported.
  EXPECT_TRUE(Readable(Page(0)));
  EXPECT_EQ(ReadAt(Page(1)), 2);
  EXPECT_EQ(gFaults.count, 0);
  EXPECT_FALSE(GuardStop());

  struct sigaction now {};
  sigaction(SIGSEGV, nullptr, &now);
  EXPECT_EQ(now.sa_sigaction, &OtherHandler);
  ASSERT_EQ(sigaction(SIGSEGV, &saved, nullptr), 0);

  // A new recording starts clean.
  ASSERT_TRUE(Start(2));
  EXPECT_EQ(ReadAt(Page(0)), 1);
  EXPECT_TRUE(GuardStop());
  EXPECT_EQ(gFaults.count, 1);
}
