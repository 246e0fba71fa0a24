// Every heap block of the program passes through here, tagged, so the end of a run can
// list leaks and a rebuild can replay the database's allocations at the same addresses.
#include "memory/tracker.h"

#include <cstdlib>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "platform/output.h"
#include "platform/timer.h"

namespace {

// The allocation time stamp: the processor's time-stamp counter where there is one (a
// clock call per allocation cost several percent of a creation).
inline int64_t StampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return (int64_t)__rdtsc();
#else
  return PerfCounter();
#endif
}

// Entries 1..count are live; entry 0 is unused so indexes match the report.
TrackedBlock gTable[kMaxTrackedBlocks + 1];
int gCount = 0;
int gHighest = 0;
int32_t gSerial = 0;
// Held for a few hundred instructions per allocation by every creating thread: a short
// spin costs less than sleeping in the kernel and being woken (expensive in a VM), and a
// waiter that spins too long yields its time slice to the holder.
class SpinLock {
 public:
  void lock() {
    for (int spins = 0; flag_.exchange(true, std::memory_order_acquire); ++spins) {
      while (flag_.load(std::memory_order_relaxed)) {
        if (++spins > 64) {
          std::this_thread::yield();
          spins = 0;
        } else {
          Pause();
        }
      }
    }
  }
  void unlock() { flag_.store(false, std::memory_order_release); }

 private:
  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
  }
  std::atomic<bool> flag_{false};
};

alignas(64) SpinLock gLock;

bool gPoolSwitch = false;
const PoolRecord* gPool = nullptr;
int gPoolCount = 0;
int gPoolCursor = 0;
int gPoolMismatches = 0;

// Pointer → table index, open addressing with linear probing (0 = empty slot). Twice
// the table's capacity keeps the probes short.
constexpr uint32_t kIndexSize = 1u << 19;
static_assert(kIndexSize >= 2 * (kMaxTrackedBlocks + 1));
int32_t gIndex[kIndexSize];

uint32_t Slot(const void* pointer) {
  uint64_t v = reinterpret_cast<uintptr_t>(pointer);
  v ^= v >> 29;
  v *= 0xBF58476D1CE4E5B9ull;
  return (uint32_t)(v >> 40) & (kIndexSize - 1);
}

uint32_t SlotOf(const void* pointer) {
  uint32_t s = Slot(pointer);
  while (gIndex[s] && gTable[gIndex[s]].pointer != pointer) s = (s + 1) & (kIndexSize - 1);
  return s;
}

int FindEntry(void* pointer) { return gIndex[SlotOf(pointer)]; }

void IndexInsert(int entry) { gIndex[SlotOf(gTable[entry].pointer)] = entry; }

// Removes a pointer and shifts later members of its probe run back into the hole.
void IndexRemove(const void* pointer) {
  uint32_t hole = SlotOf(pointer);
  if (!gIndex[hole]) return;
  gIndex[hole] = 0;
  for (uint32_t s = (hole + 1) & (kIndexSize - 1); gIndex[s]; s = (s + 1) & (kIndexSize - 1)) {
    uint32_t home = Slot(gTable[gIndex[s]].pointer);
    // The entry may move into the hole when its home is not in (hole, s].
    bool between = hole < s ? (home > hole && home <= s) : (home > hole || home <= s);
    if (!between) {
      gIndex[hole] = gIndex[s];
      gIndex[s] = 0;
      hole = s;
    }
  }
}

void CopyTag(char* dst, const char* tag) {
  size_t n = tag ? strnlen(tag, kTagLength - 1) : 0;
  if (n) memcpy(dst, tag, n);
  dst[n] = 0;
}

}  // namespace

void* mallocloga(size_t size, const char* tag) {
  DebugPrint(3, "Allocating %d Bytes (%s)\n", (int)size, tag ? tag : "");
  // Worker threads allocate at the same time: the heap is asked outside the table's lock
  // (the pool is only switched on while one thread builds the database).
  bool pool = gPoolSwitch;
  void* block = pool ? nullptr : std::malloc(size ? size : 1);
  std::unique_lock<SpinLock> lock(gLock);
  int32_t entrySize = (int32_t)size;
  int pooled = 0;
  if (pool) {
    if (gPoolCursor < gPoolCount && gPool[gPoolCursor].serial == gSerial && (int64_t)size <= gPool[gPoolCursor].size) {
      block = gPool[gPoolCursor].address;
      entrySize = gPool[gPoolCursor].size;
      ++gPoolCursor;
      pooled = 1;
    } else {
      if (gPoolCursor < gPoolCount && gPool[gPoolCursor].serial == gSerial) {
        ++gPoolMismatches;
        ++gPoolCursor;
      }
      block = std::malloc(size ? size : 1);
    }
  }
  if (!block) {
    lock.unlock();
    ConsolePrint("Memmory Allocation Error\n");
    RaiseError("mallocloga");
  }
  if (gCount >= kMaxTrackedBlocks) {
    if (!pooled) std::free(block);
    lock.unlock();
    ConsolePrint("Could not log Memory Allocation\n");
    RaiseError("mallocloga");
  }
  ++gCount;
  if (gCount > gHighest) gHighest = gCount;
  TrackedBlock& e = gTable[gCount];
  e.serial = gSerial++;
  e.pointer = block;
  e.size = entrySize;
  e.pooled = pooled;
  e.time = StampCounter();
  CopyTag(e.tag, tag);
  IndexInsert(gCount);
  return block;
}

void freeloga(void* pointer) {
  std::unique_lock<SpinLock> lock(gLock);
  int i = FindEntry(pointer);
  if (!i) {
    lock.unlock();
    ConsolePrint("Freed On non allocated Block\n");
    RaiseError("freeloga");
  }
  DebugPrint(3, "Freeing %s\n", gTable[i].tag);
  int pooled = gTable[i].pooled;
  IndexRemove(pointer);
  if (i != gCount) {
    gTable[i] = gTable[gCount];
    gIndex[SlotOf(gTable[i].pointer)] = i;
  }
  --gCount;
  lock.unlock();
  if (!pooled) std::free(pointer);
}

void* reallocloga(void* pointer, size_t size) {
  std::unique_lock<SpinLock> lock(gLock);
  int i = FindEntry(pointer);
  if (!i) {
    lock.unlock();
    RaiseError("Cannot realloc unallocated Memory");
  }
  TrackedBlock& e = gTable[i];
  if (e.pooled) {
    if ((int64_t)size <= e.size) return pointer;
    lock.unlock();
    RaiseError("Cannot Realloc Dump Memory");
  }
  IndexRemove(pointer);
  void* moved = std::realloc(pointer, size ? size : 1);
  if (!moved) {
    IndexInsert(i);  // the block stays where it was
    lock.unlock();
    RaiseError("Memory Allocation Error");
  }
  if ((int64_t)size > e.size) e.size = (int32_t)size;
  e.pointer = moved;
  IndexInsert(i);
  size_t len = strlen(e.tag);
  if (len < 240) {
    memcpy(e.tag + len, "-re", 4);
  } else if (!strchr(e.tag + 240, '.')) {
    // 240 + "..." always fits; a longer tag keeps its first 252 characters.
    if (len > kTagLength - 4) len = kTagLength - 4;
    memcpy(e.tag + len, "...", 4);
  }
  return moved;
}

void ListAlloc(int first) {
  std::unique_lock<SpinLock> lock(gLock);
  if (gCount <= first) return;
  ConsolePrint("Memmory Leak Found\n\n");
  for (int i = first; i <= gCount; ++i) {
    TrackedBlock& e = gTable[i];
    ConsolePrint("\t%d\t:%30s (ID: %8d - Size: %5d)  ", i, e.tag, e.serial, e.size);
    if (e.size > 0 && e.size < 50) {
      char* bytes = static_cast<char*>(e.pointer);
      bytes[e.size - 1] = 0;
      ConsolePrint("%s", bytes);
    }
    ConsolePrint("\n");
  }
  lock.unlock();
  RaiseError("ListAlloc");
}

int TrackerCount() {
  std::lock_guard<SpinLock> lock(gLock);
  return gCount;
}

int TrackerHighestCount() {
  std::lock_guard<SpinLock> lock(gLock);
  return gHighest;
}

int32_t TrackerNextSerial() {
  std::lock_guard<SpinLock> lock(gLock);
  return gSerial;
}

const TrackedBlock* TrackerEntry(int index) {
  std::lock_guard<SpinLock> lock(gLock);
  return (index >= 1 && index <= gCount) ? &gTable[index] : nullptr;
}

void TrackerSetPool(const PoolRecord* records, int count) {
  std::lock_guard<SpinLock> lock(gLock);
  gPool = records;
  gPoolCount = records ? count : 0;
  gPoolCursor = 0;
  gPoolMismatches = 0;
}

int TrackerPoolMismatches() {
  std::lock_guard<SpinLock> lock(gLock);
  return gPoolMismatches;
}

void TrackerSetNextSerial(int32_t serial) {
  std::lock_guard<SpinLock> lock(gLock);
  gSerial = serial;
}

void TrackerSetPoolSwitch(bool on) {
  std::lock_guard<SpinLock> lock(gLock);
  gPoolSwitch = on;
}

bool TrackerPoolSwitch() {
  std::lock_guard<SpinLock> lock(gLock);
  return gPoolSwitch;
}

int TrackerPoolCursor() {
  std::lock_guard<SpinLock> lock(gLock);
  return gPoolCursor;
}

// Every object made with new is tracked too.
void* operator new(size_t size) { return mallocloga(size, "new   "); }
void* operator new[](size_t size) { return mallocloga(size, "new[] "); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return mallocloga(size, "new   ");
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return mallocloga(size, "new[] ");
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  if (p) freeloga(p);
}
void operator delete[](void* p) noexcept {
  if (p) freeloga(p);
}
void operator delete(void* p, size_t) noexcept {
  if (p) freeloga(p);
}
void operator delete[](void* p, size_t) noexcept {
  if (p) freeloga(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  if (p) freeloga(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  if (p) freeloga(p);
}

TextBuffer* TextCreate(const char* tag) {
  auto* t = static_cast<TextBuffer*>(mallocloga(sizeof(TextBuffer), tag));
  *t = TextBuffer{};
  return t;
}

void TextAppend(TextBuffer* t, const char* bytes, size_t n) {
  if (t->length + n + 1 > t->capacity) {
    size_t cap = t->capacity ? t->capacity : 4096;
    while (cap < t->length + n + 1) cap *= 2;
    t->data = static_cast<char*>(t->data ? reallocloga(t->data, cap) : mallocloga(cap, "TextAppend-data"));
    t->capacity = cap;
  }
  memcpy(t->data + t->length, bytes, n);
  t->length += n;
  t->data[t->length] = 0;
}

void TextDestroy(TextBuffer* t) {
  if (!t) return;
  if (t->data) freeloga(t->data);
  freeloga(t);
}
