// Tracked allocation: every heap block of the program is counted under a tag.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kMaxTrackedBlocks = 0x20000;
// Blocks that different threads write keep this far apart (a processor cache line):
// threads writing neighbouring bytes of one line slow each other down.
constexpr size_t kCacheLine = 64;
constexpr int kTagLength = 256;

struct TrackedBlock {
  void* pointer;
  char tag[kTagLength];
  int32_t size;
  int32_t serial;
  int64_t time;
  int32_t pooled;
};

// One pool record: the allocation with this serial number gets this address.
struct PoolRecord {
  int32_t serial;
  int32_t size;
  void* address;
};

void* mallocloga(size_t size, const char* tag);
void freeloga(void* pointer);
void* reallocloga(void* pointer, size_t size);

// Leak report: lists entries first..count when more than `first` blocks are live,
// then raises "ListAlloc".
void ListAlloc(int first);

int TrackerCount();
int TrackerHighestCount();
int32_t TrackerNextSerial();
// Read-only view of live entry i (1-based); valid until the next tracker call.
const TrackedBlock* TrackerEntry(int index);

// Pool service for placed builds: while the switch is on, an allocation whose serial
// equals the record under the cursor takes that record's address.
void TrackerSetPool(const PoolRecord* records, int count);
// Allocations that met their pool record but asked for more than its size (they come
// from the heap instead); a placed build with any of them has diverged from its plan.
int TrackerPoolMismatches();
// Lets a second build hand out the same serial numbers as the first.
void TrackerSetNextSerial(int32_t serial);
void TrackerSetPoolSwitch(bool on);
bool TrackerPoolSwitch();
int TrackerPoolCursor();

// Frees a block on scope exit.
template <class T>
struct TrackedPtr {
  T* p = nullptr;
  TrackedPtr() = default;
  explicit TrackedPtr(T* q) : p(q) {}
  TrackedPtr(const TrackedPtr&) = delete;
  TrackedPtr& operator=(const TrackedPtr&) = delete;
  ~TrackedPtr() { reset(); }
  void reset(T* q = nullptr) {
    if (p) freeloga(p);
    p = q;
  }
  T* get() const { return p; }
  T& operator[](size_t i) const { return p[i]; }
};

// A growable text buffer in tracked memory (the consistency output of a runtime).
struct TextBuffer {
  char* data = nullptr;
  size_t length = 0;
  size_t capacity = 0;
};
TextBuffer* TextCreate(const char* tag);
void TextAppend(TextBuffer* text, const char* bytes, size_t n);
void TextDestroy(TextBuffer* text);
