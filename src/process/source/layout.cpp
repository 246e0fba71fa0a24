// Placing the blocks of the rule database in the fixed region: first one block per page
// so faults reveal the access order, then blocks used together packed close.
#include "source/layout.h"

#include <algorithm>
#include <map>
#include <set>

#include "launcher/process.h"

namespace {

uint64_t PowerOfTwoAtLeast(uint64_t n) {
  uint64_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Blocks of size 0 still get an address of their own.
uint64_t Footprint(int32_t size) { return size > 0 ? (uint64_t)size : 1; }

}  // namespace

std::vector<LayoutBlock> LiveBlocks(int32_t first, int32_t end) {
  std::vector<LayoutBlock> blocks;
  for (int i = 1, n = TrackerCount(); i <= n; ++i) {
    const TrackedBlock* e = TrackerEntry(i);
    if (e && e->serial >= first && e->serial < end) blocks.push_back(LayoutBlock{e->serial, e->size});
  }
  std::sort(blocks.begin(), blocks.end(),
            [](const LayoutBlock& a, const LayoutBlock& b) { return a.serial < b.serial; });
  return blocks;
}

LayoutPlan FirstPlan(const std::vector<LayoutBlock>& blocks, uintptr_t base, size_t pageSize) {
  LayoutPlan plan;
  plan.records.reserve(blocks.size());
  uint64_t at = base + 1;
  for (const LayoutBlock& b : blocks) {
    at = AlignUp(at, PowerOfTwoAtLeast(std::max<uint64_t>(Footprint(b.size), pageSize)));
    plan.records.push_back(PoolRecord{b.serial, b.size, reinterpret_cast<void*>((uintptr_t)at)});
    at += Footprint(b.size);
  }
  plan.imageSize = (uint32_t)(at - base);
  return plan;
}

std::vector<int32_t> PageMap(const LayoutPlan& plan, uintptr_t base, size_t pageSize) {
  std::vector<int32_t> map((plan.imageSize + pageSize - 1) / pageSize, -1);
  for (size_t i = 0; i < plan.records.size(); ++i) {
    const PoolRecord& r = plan.records[i];
    uint64_t from = reinterpret_cast<uintptr_t>(r.address) - base;
    uint64_t to = from + Footprint(r.size) - 1;
    for (uint64_t page = from / pageSize; page <= to / pageSize && page < map.size(); ++page) map[page] = (int32_t)i;
  }
  return map;
}

std::vector<std::vector<int32_t>> ClusterBlocks(int n, const CoAccess& access, bool report) {
  // Sparse matrix: rows hold their counters by column, columns know their rows.
  std::vector<std::map<int32_t, int64_t>> rows((size_t)n);
  std::vector<std::set<int32_t>> columns((size_t)n);
  auto set = [&](int32_t r, int32_t c, int64_t value) {
    if (value > 0) {
      rows[r][c] = value;
      columns[c].insert(r);
    } else {
      rows[r].erase(c);
      columns[c].erase(r);
    }
  };
  auto get = [&](int32_t r, int32_t c) -> int64_t {
    auto it = rows[r].find(c);
    return it == rows[r].end() ? 0 : it->second;
  };
  for (const auto& [block, previous] : access.moves)
    if (block >= 0 && previous >= 0 && block < n && previous < n && block != previous)
      set(block, previous, get(block, previous) + 1);

  std::vector<int64_t> used((size_t)n, 0);
  std::vector<int32_t> next((size_t)n, -1), last((size_t)n);
  std::vector<bool> alive((size_t)n, true);
  for (int32_t i = 0; i < n; ++i) {
    used[i] = i < (int32_t)access.entries.size() ? access.entries[i] : 0;
    last[i] = i;
  }
  int clusters = n, merges = 0;
  while (clusters > 1) {
    int32_t bestRow = -1, bestColumn = -1;
    int64_t best = 0;
    for (int32_t r = 0; r < n; ++r)
      for (const auto& [c, value] : rows[r])
        if (value > best) {
          best = value;
          bestRow = r;
          bestColumn = c;
        }
    if (best == 0) break;
    ++merges;
    if (report) ConsolePrint("Merged %d of %d (%d)\n", merges, n, (int)best);
    int32_t m = bestRow, s = bestColumn;
    for (const auto& [c, value] : std::map<int32_t, int64_t>(rows[m])) set(s, c, get(s, c) + value / 2);
    for (int32_t r : std::set<int32_t>(columns[s])) set(r, s, get(r, s) / 2);
    for (int32_t r : std::set<int32_t>(columns[m])) set(r, s, get(r, s) + get(r, m));
    for (const auto& [c, value] : std::map<int32_t, int64_t>(rows[m])) set(m, c, 0);
    for (int32_t r : std::set<int32_t>(columns[m])) set(r, m, 0);
    set(s, s, 0);
    used[s] += used[m];
    next[last[s]] = m;
    last[s] = last[m];
    alive[m] = false;
    --clusters;
  }
  std::vector<int32_t> heads;
  for (int32_t i = 0; i < n; ++i)
    if (alive[i]) heads.push_back(i);
  std::stable_sort(heads.begin(), heads.end(), [&](int32_t a, int32_t b) { return used[a] > used[b]; });
  std::vector<std::vector<int32_t>> out;
  out.reserve(heads.size());
  for (int32_t h : heads) {
    std::vector<int32_t> members;
    for (int32_t b = h; b >= 0; b = next[b]) members.push_back(b);
    out.push_back(std::move(members));
  }
  return out;
}

LayoutPlan FinalPlan(const std::vector<LayoutBlock>& blocks, const std::vector<std::vector<int32_t>>& clusters,
                     uintptr_t base) {
  LayoutPlan plan;
  plan.records.resize(blocks.size());
  uint64_t at = base + 1;
  for (const std::vector<int32_t>& cluster : clusters) {
    uint64_t total = 0;
    for (int32_t b : cluster) total += Footprint(blocks[b].size);
    bool first = true;
    for (int32_t b : cluster) {
      uint64_t footprint = Footprint(blocks[b].size);
      at = AlignUp(at, PowerOfTwoAtLeast(std::min<uint64_t>(footprint, 8)));
      if (first && at % 64 != 0 && total > AlignUp(at, 64) - at) at = AlignUp(at, 64);
      first = false;
      plan.records[b] = PoolRecord{blocks[b].serial, blocks[b].size, reinterpret_cast<void*>((uintptr_t)at)};
      at += footprint;
    }
  }
  plan.imageSize = (uint32_t)(at - base);
  return plan;
}
