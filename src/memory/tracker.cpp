#include "memory/tracker.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "launcher/process.h"
#include "platform/timer.h"

namespace {

// Entries 1..count are live; entry 0 is unused so indexes match the report.
TrackedBlock gTable[kMaxTrackedBlocks + 1];
int gCount = 0;
int gHighest = 0;
int32_t gSerial = 0;
std::mutex gLock;

bool gPoolSwitch = false;
const PoolRecord* gPool = nullptr;
int gPoolCount = 0;
int gPoolCursor = 0;

int FindEntry(void* pointer) {
  for (int i = gCount; i >= 1; --i)
    if (gTable[i].pointer == pointer) return i;
  return 0;
}

void CopyTag(char* dst, const char* tag) {
  size_t n = tag ? strnlen(tag, kTagLength - 1) : 0;
  if (n) memcpy(dst, tag, n);
  dst[n] = 0;
}

}  // namespace

void* mallocloga(size_t size, const char* tag) {
  std::unique_lock<std::mutex> lock(gLock);
  DebugPrint(3, "Allocating %d Bytes (%s)\n", (int)size, tag ? tag : "");
  void* block = nullptr;
  int32_t entrySize = (int32_t)size;
  int pooled = 0;
  if (gPoolSwitch && gPoolCursor < gPoolCount && gPool[gPoolCursor].serial == gSerial) {
    block = gPool[gPoolCursor].address;
    entrySize = gPool[gPoolCursor].size;
    ++gPoolCursor;
    pooled = 1;
  } else {
    block = std::malloc(size ? size : 1);
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
  e.time = PerfCounter();
  CopyTag(e.tag, tag);
  return block;
}

void freeloga(void* pointer) {
  std::unique_lock<std::mutex> lock(gLock);
  int i = FindEntry(pointer);
  if (!i) {
    lock.unlock();
    ConsolePrint("Freed On non allocated Block\n");
    RaiseError("freeloga");
  }
  DebugPrint(3, "Freeing %s\n", gTable[i].tag);
  int pooled = gTable[i].pooled;
  if (i != gCount) gTable[i] = gTable[gCount];
  --gCount;
  if (!pooled) std::free(pointer);
}

void* reallocloga(void* pointer, size_t size) {
  std::unique_lock<std::mutex> lock(gLock);
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
  void* moved = std::realloc(pointer, size ? size : 1);
  if (!moved) {
    lock.unlock();
    RaiseError("Memory Allocation Error");
  }
  if ((int64_t)size > e.size) e.size = (int32_t)size;
  e.pointer = moved;
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
  std::unique_lock<std::mutex> lock(gLock);
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
  std::lock_guard<std::mutex> lock(gLock);
  return gCount;
}

int TrackerHighestCount() {
  std::lock_guard<std::mutex> lock(gLock);
  return gHighest;
}

int32_t TrackerNextSerial() {
  std::lock_guard<std::mutex> lock(gLock);
  return gSerial;
}

const TrackedBlock* TrackerEntry(int index) {
  std::lock_guard<std::mutex> lock(gLock);
  return (index >= 1 && index <= gCount) ? &gTable[index] : nullptr;
}

void TrackerSetPool(const PoolRecord* records, int count) {
  std::lock_guard<std::mutex> lock(gLock);
  gPool = records;
  gPoolCount = records ? count : 0;
  gPoolCursor = 0;
}

void TrackerSetPoolSwitch(bool on) {
  std::lock_guard<std::mutex> lock(gLock);
  gPoolSwitch = on;
}

bool TrackerPoolSwitch() {
  std::lock_guard<std::mutex> lock(gLock);
  return gPoolSwitch;
}

int TrackerPoolCursor() {
  std::lock_guard<std::mutex> lock(gLock);
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
