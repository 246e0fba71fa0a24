// The fixed address range the rule database lives in, and its guard pages: a fault in
// the range names the block touched, which is how the rebuild learns the access order.
#include "platform/region.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

void* RegionReserve(uintptr_t address, size_t size) {
  if (size == 0) return nullptr;
  void* want = reinterpret_cast<void*>(address);
  void* got = mmap(want, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
  if (got == MAP_FAILED) return nullptr;
  if (got != want) {  // an old kernel took the flag as a hint
    munmap(got, size);
    return nullptr;
  }
  return got;
}

bool RegionCommit(void* address, size_t size) {
  // Mapping the reserved range anew with all pages present costs one call instead of a
  // page fault per page when the image is read in.
  if (!size) return false;
  void* got =
      mmap(address, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_POPULATE, -1, 0);
  return got == address;
}

bool RegionRelease(void* address, size_t size) { return munmap(address, size) == 0; }

bool RegionProtect(void* address, size_t size, bool access) {
  return mprotect(address, size, access ? PROT_READ | PROT_WRITE : PROT_NONE) == 0;
}

namespace {

struct GuardState {
  uintptr_t base = 0;
  size_t size = 0;
  size_t pageSize = 4096;
  GuardCallback onFault = nullptr;
  struct sigaction previous {};
  bool active = false;
  bool lost = false;
  bool installed = false;
};
GuardState gGuard;

uintptr_t InstructionOf(void* context) {
#if defined(__x86_64__)
  return (uintptr_t) static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP];
#elif defined(__i386__)
  return (uintptr_t) static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_EIP];
#else
  (void)context;
  return 0;
#endif
}

void OnSegv(int signal, siginfo_t* info, void* context) {
  uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  if (!gGuard.active || address < gGuard.base || address >= gGuard.base + gGuard.size) {
    // Not a fault in the range, or one whose address was not reported (some tools that
    // run the program do that): open the whole range and stop recording. A genuine
    // fault repeats and meets the previous handling.
    if (gGuard.active) {
      mprotect(reinterpret_cast<void*>(gGuard.base), gGuard.size, PROT_READ | PROT_WRITE);
      gGuard.active = false;
      gGuard.lost = true;
    }
    sigaction(signal, &gGuard.previous, nullptr);
    return;
  }
  uintptr_t page = address & ~(uintptr_t)(gGuard.pageSize - 1);
  mprotect(reinterpret_cast<void*>(page), gGuard.pageSize, PROT_READ | PROT_WRITE);
  if (gGuard.onFault) gGuard.onFault(address, InstructionOf(context));
}

}  // namespace

bool GuardStart(uintptr_t base, size_t size, size_t pageSize, GuardCallback onFault) {
#ifdef RUNNING_ON_VALGRIND
  // Under valgrind a guard fault does not come back to a handler as the hardware's does.
  if (RUNNING_ON_VALGRIND) return false;
#endif
  if (gGuard.installed || size == 0) return false;
  gGuard.lost = false;
  gGuard.base = base;
  gGuard.size = size;
  gGuard.pageSize = pageSize;
  gGuard.onFault = onFault;
  struct sigaction action {};
  action.sa_sigaction = OnSegv;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGSEGV, &action, &gGuard.previous) != 0) return false;
  gGuard.installed = true;
  gGuard.active = true;
  if (!RegionProtect(reinterpret_cast<void*>(base), size, false)) {
    GuardStop();
    return false;
  }
  return true;
}

bool GuardStop() {
  if (!gGuard.installed) return false;
  RegionProtect(reinterpret_cast<void*>(gGuard.base), gGuard.size, true);
  if (gGuard.active) sigaction(SIGSEGV, &gGuard.previous, nullptr);
  gGuard.active = false;
  gGuard.installed = false;
  gGuard.onFault = nullptr;
  return !gGuard.lost;
}
