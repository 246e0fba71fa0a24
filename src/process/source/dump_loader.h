#pragma once
#include <cstddef>
#include <cstdint>

// Loads the source dump: the fixed-region image at its fixed address, the root and
// one tracked block per slot (the slot list ends with a null). 0 on success, 1 after
// printing the reason.
// `accept`, when given, judges the root and image once everything is read; it prints its
// own reason and returns 1 to refuse the dump.
using DumpCheck = int (*)(const void* root, uint32_t imageSize);
int LoadSourceDump(const char* name, void* root, int rootSize, void** const* slots, uint32_t* sizes = nullptr,
                   DumpCheck accept = nullptr);

// Reserves and commits the fixed region for `size` bytes; false when it is taken.
bool HoldFixedRegion(size_t size);
size_t FixedRegionSize();
// Releases the fixed region when it is held (a Source loaded into it is forgotten);
// false when the release failed.
bool ReleaseFixedRegion();

// Loads `name` with the root into gProcess and the symbol names as its one block, then
// installs the image as the process's Source. 0 on success; 1 leaves nothing behind.
int LoadInstalledDump(const char* name);

// Whether the dump is older than the tables a rebuild reads: every file in Build/Data and
// Build/MonsterText and those folders themselves (a file added, removed or renamed),
// Build/Profiles.txt, Build/bnf.cfg and the grammar file it names, compared by the time
// of their last change.
struct DumpAge {
  bool older = false;        // some table changed after the dump was written
  bool failedSince = false;  // and a rebuild from the tables as they are now failed
  char newest[256] = "";     // the table changed last
};
DumpAge CompareDumpAge(const char* dump);

// The mark a rebuild leaves while it runs ("source.mrg.failed"): when a table mistake ends
// the program, it stays, so that later starts use the old dump instead of failing again
// on the same tables. `running` false removes it.
void MarkRebuild(bool running);
