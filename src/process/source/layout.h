// Where the blocks of the compact Source go: the first plan (every block on pages of
// its own, so a guard-page fault names the block), the clustering of blocks that are
// used one after another, and the final tight layout.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "memory/tracker.h"

// One block of the Source as the memory tracker saw it.
struct LayoutBlock {
  int32_t serial;
  int32_t size;
};

// Every block the tracker holds with a serial in [first, end), sorted by serial: after a
// build, the blocks the Source owns.
std::vector<LayoutBlock> LiveBlocks(int32_t first, int32_t end);

struct LayoutPlan {
  std::vector<PoolRecord> records;  // sorted by serial, one per block (same order as the blocks)
  uint32_t imageSize = 0;           // end address minus the region's base
};

// Blocks in serial order, each aligned to the smallest power of two not below the larger
// of its size and the page size, from base + 1 upward.
LayoutPlan FirstPlan(const std::vector<LayoutBlock>& blocks, uintptr_t base, size_t pageSize);
// Block index of every page of the plan's image (-1: no block there).
std::vector<int32_t> PageMap(const LayoutPlan& plan, uintptr_t base, size_t pageSize);

// Accesses recorded by the runtime analysis: how often each block was entered and how
// often the program went from one block to another.
struct CoAccess {
  std::vector<int64_t> entries;                    // per block
  std::vector<std::pair<int32_t, int32_t>> moves;  // (block, previous block), in order
};

// Greedy clustering: the strongest transition merges its row cluster into its column
// cluster until no transition is left. Returns the clusters, most used first, each as
// its blocks in member order; every block is in exactly one cluster.
std::vector<std::vector<int32_t>> ClusterBlocks(int blockCount, const CoAccess& access, bool report);

// The final layout: cluster after cluster from base + 1, each block aligned to the
// smallest power of two not below the smaller of its size and 8; a cluster that would
// straddle a 64-byte line starts on the next line.
LayoutPlan FinalPlan(const std::vector<LayoutBlock>& blocks, const std::vector<std::vector<int32_t>>& clusters,
                     uintptr_t base);
