// Rebuilding source.mrg in the debug runtime: the database built twice, once on guard
// pages to watch one creation's accesses, once packed by what was seen, then dumped.
#include "shell/rebuild.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "generator/char.h"
#include "generator/creation.h"
#include "generator/monster_cr.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/region.h"
#include "platform/timer.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/settings.h"
#include "random/types.h"
#include "script/matcher.h"
#include "shell/entry.h"
#include "shell/sheet.h"
#include "source/dump.h"
#include "source/dump_loader.h"
#include "source/layout.h"
#include "source/reader.h"
#include "source/source_init.h"

namespace RUNTIME_NS {

#if RUNTIME_HAS_REBUILD

namespace {

// Guard-page recording state; the fault handler reaches it without allocating.
struct Analysis {
  size_t pageSize = 4096;
  const int32_t* pageMap = nullptr;
  size_t pages = 0;
  uintptr_t previousInstruction = 0;
  int64_t previousPage = -1, rememberedPage = -1;
  int32_t previousBlock = -1;
  int sameInstruction = 0;  // faults in a row at one instruction
  std::pair<int32_t, int32_t>* moves = nullptr;
  size_t moveCount = 0, moveCapacity = 0;
  int64_t* entries = nullptr;
};
Analysis gAnalysis;

constexpr size_t kMaxMoves = 1 << 20;  // one creature makes some ten thousand
// One instruction faulting this often in a row spans pages that must stay open together.
constexpr int kMaxSameInstruction = 64;

void Guard(int64_t page, int64_t current) {
  if (page < 0 || page == current || (size_t)page >= gAnalysis.pages) return;
  RegionProtect(reinterpret_cast<void*>(kFixedRegionAddress + (uintptr_t)page * gAnalysis.pageSize), gAnalysis.pageSize,
                false);
}

void OnGuardFault(uintptr_t address, uintptr_t instruction) {
  Analysis& a = gAnalysis;
  int64_t page = (int64_t)((address - kFixedRegionAddress) / a.pageSize);
  int32_t block = (size_t)page < a.pages ? a.pageMap[page] : -1;
  bool same = instruction != 0 && instruction == a.previousInstruction;
  a.sameInstruction = same ? a.sameInstruction + 1 : 0;
  if (a.sameInstruction < kMaxSameInstruction) {
    if (same) {
      // One access across two pages: both stay open until the instruction is done.
      Guard(a.rememberedPage, page);
      a.rememberedPage = a.previousPage;
    } else {
      Guard(a.previousPage, page);
      Guard(a.rememberedPage, page);
      a.rememberedPage = -1;
    }
  }
  a.previousInstruction = instruction;
  a.previousPage = page;
  if (block >= 0 && block != a.previousBlock) {
    ++a.entries[block];
    if (a.previousBlock >= 0 && a.moveCount < a.moveCapacity) a.moves[a.moveCount++] = {block, a.previousBlock};
  }
  if (block >= 0) a.previousBlock = block;
}

// One creature with the benchmark's fixed seed, CR 0 to 50, everything else by chance,
// rendered as an export so that the sheet's reads are seen too.
void AnalysisCreature() {
  InputFields savedInput = gInput;
  CreationSettings savedSettings = gSettings;
  ProcessState& p = gProcess;
  RandomState& r = gRandom;
  bool benchmark = r.benchmark, isaac = r.isaacMode, seeded = r.seededThisBatch, choose = gDecide.chooseEverything,
       savedChoose = r.savedChooseEverything, wasOne = r.recordFlagWasOne, inRuntime0 = r.reproduceInRuntime0,
       replay = gDecide.replayActive;
  int recordFlag = r.recordFlag, debug = p.debugOutput, sticky = r.stickyCount;
  gSettings.ChooseClass = 0;
  gSettings.DrawType = 0;
  gSettings.calctype = 0;
  r.benchmark = true;
  r.isaacMode = true;
  r.recordFlag = 0;
  gDecide.chooseEverything = r.savedChooseEverything = false;
  p.debugOutput = 0;
  r.stickyCount = 0;
  r.reproduceInRuntime0 = false;  // a reproduction waiting for this runtime is not this creature
  RecomputeOutputLevels();

  TrackedPtr<IsaacState> state(static_cast<IsaacState*>(mallocloga(sizeof(IsaacState), "RuntimeAnalysis-Isaac")));
  uint32_t seed[512];
  for (uint32_t i = 0; i < 512; ++i) seed[i] = 2 * i;  // thread 0 of a benchmark
  IsaacRange(state.get(), 0, 0, true, seed);
  r.seededThisBatch = true;
  TrackedPtr<int32_t> record(static_cast<int32_t*>(mallocloga(kRecordBytes, "RuntimeAnalysis-Record")));
  PresetAnyCreatureRecord(record.get());
  CreateCharContext(1);
  Char* c = static_cast<Char*>(mallocloga(sizeof(Char), "RuntimeAnalysis-Char"));
  new (c) Char();
  c->record = record.get();
  c->context = *ThreadContext(0);
  c->context.random = state.get();
  c->specialText = TextCreate("RuntimeAnalysis-Text");
  try {
    CreateCreature(c, 0);
    if (FILE* sink = fopen("/dev/null", "w")) {
      PrintChar(c, 0, 1, sink);
      fclose(sink);
    }
  } catch (const Error& e) {
    // The layout only loses its hints; the Source itself is sound.
    ConsolePrint("Runtime analysis stopped: %s\n", e.what());
  }
  FreeCharBonuses(c);
  TextDestroy(c->specialText);
  c->~Char();
  freeloga(c);
  UseScratchStream();

  gInput = savedInput;
  gSettings = savedSettings;
  r.benchmark = benchmark;
  r.isaacMode = isaac;
  r.seededThisBatch = seeded;
  gDecide.chooseEverything = choose;
  r.savedChooseEverything = savedChoose;
  r.recordFlagWasOne = wasOne;
  r.recordFlag = recordFlag;
  p.debugOutput = debug;
  r.stickyCount = sticky;
  r.reproduceInRuntime0 = inRuntime0;
  gDecide.replayActive = replay;
  RecomputeOutputLevels();
}

// The matcher keeps a parse-tree buffer between scripts; each build starts without one
// so that both builds allocate alike.
void ResetMatcher() {
  ReleaseMatcher();
  gMatch.largest = 0;
}

[[noreturn]] void FatalInit(const char* text) {
  ConsolePrint("%s", text);
  RaiseError("run_init");
}

// Builds the Source again with every block that the plan names at its planned address.
// False when the build did not follow the plan (the Source is then freed).
bool PlacedInit(const LayoutPlan& plan, int32_t firstSerial) {
  if (!HoldFixedRegion(plan.imageSize)) FatalInit("Memmory Allocation Error\n");
  char* region = reinterpret_cast<char*>(kFixedRegionAddress);
  region[0] = 0;
  UseEmptyText(region);
  TrackerSetNextSerial(firstSerial);
  ResetMatcher();
  TrackerSetPool(plan.records.data(), (int)plan.records.size());
  TrackerSetPoolSwitch(true);
  int failed = BuildRules(false);
  TrackerSetPoolSwitch(false);
  UseEmptyText(nullptr);
  ResetMatcher();
  bool followed = !failed && TrackerPoolCursor() == (int)plan.records.size() && TrackerPoolMismatches() == 0;
  TrackerSetPool(nullptr, 0);
  if (!followed && !failed) FreeSource();
  return followed;
}

// Watches one creation on the first plan's image; returns what it saw.
CoAccess Analyse(const LayoutPlan& plan, int blockCount) {
  CoAccess access;
  access.entries.assign((size_t)blockCount, 0);
  std::vector<int32_t> pageMap = PageMap(plan, kFixedRegionAddress, (size_t)gProcess.pageSize);
  std::vector<std::pair<int32_t, int32_t>> moves(kMaxMoves);
  gAnalysis = Analysis{};
  gAnalysis.pageSize = (size_t)gProcess.pageSize;
  gAnalysis.pageMap = pageMap.data();
  gAnalysis.pages = pageMap.size();
  gAnalysis.moves = moves.data();
  gAnalysis.moveCapacity = moves.size();
  gAnalysis.entries = access.entries.data();
  ConsolePrint("\nDoing Runtime Analysis...\n");
  size_t mapped = pageMap.size() * (size_t)gProcess.pageSize;
  if (GuardStart(kFixedRegionAddress, mapped, (size_t)gProcess.pageSize, OnGuardFault)) {
    AnalysisCreature();
    if (!GuardStop()) ConsolePrint("Runtime analysis incomplete: a fault came without its address\n");
  } else {
    ConsolePrint("Guard pages not available, laying out in allocation order\n");
  }
  access.moves.assign(moves.begin(), moves.begin() + (ptrdiff_t)gAnalysis.moveCount);
  gAnalysis = Analysis{};
  return access;
}

}  // namespace

int RebuildCompactSource(int64_t start) {
  ResetMatcher();
  int32_t firstSerial = TrackerNextSerial();
  ForgetLoadedSource();
  // Stays behind when a table mistake ends the program: later starts then keep the old
  // dump instead of failing on the same tables again.
  MarkRebuild(true);
  if (BuildRules() != 0) {
    ConsolePrint("The rule database could not be built from Build/\n");
    return 1;
  }
  MarkRebuild(false);
  int warnings = TableWarnings();
  ResetMatcher();
  ConsolePrint("Done\n");
  if (gProcess.regionHeld && !ReleaseFixedRegion()) FatalInit("Could not free Virtual Memmory - Cannot rebuild");

  ConsolePrint("Rebuilding Compact Source...\n\t");
  std::vector<LayoutBlock> blocks = LiveBlocks(firstSerial, TrackerNextSerial());
  LayoutPlan first = FirstPlan(blocks, kFixedRegionAddress, (size_t)gProcess.pageSize);
  FreeSource();
  bool placed = PlacedInit(first, firstSerial);
  LayoutPlan final;
  if (placed) {
    CoAccess access;
    if (!gProcess.plainLayout) access = Analyse(first, (int)blocks.size());
    FreeSource();
    ReleaseFixedRegion();
    std::vector<std::vector<int32_t>> clusters = ClusterBlocks((int)blocks.size(), access, true);
    final = FinalPlan(blocks, clusters, kFixedRegionAddress);
    ConsolePrint("Done\n\nReinitializing...\n\t");
    placed = PlacedInit(final, firstSerial);
  }
  if (!placed) {
    // The second build allocated differently from the first: keep a Source on the heap
    // and go on without a dump.
    ReleaseFixedRegion();
    ConsolePrint("The compact Source did not follow its plan; using the Source without dump\n");
    if (BuildRules(false) != 0) return 1;
    ResetMatcher();
    gProcess.sourceRebuilt = true;
    ConsolePrint("Init took %d usec\n\n", (int)((PerfCounter() - start) * 1000000 / gProcess.perfFrequency));
    return 0;
  }
  ConsolePrint("Done\n");
  ConsolePrint("Init took %d usec\n\n", (int)((PerfCounter() - start) * 1000000 / gProcess.perfFrequency));
  gProcess.sourceRebuilt = true;
  if (warnings)
    ConsolePrint("Warning: %d table field%s no whole number (see the warnings above)\n\n", warnings,
                 warnings == 1 ? " is" : "s are");

  uint8_t root[kSourceRootSize];
  PackSourceRoot(gSource, final.imageSize, root);
  DumpBlock extra[] = {{gProcess.symbolNames, gProcess.symbolNamesSize}, {nullptr, 0}};
  if (DumpSource(final.imageSize, "source.mrg", root, kSourceRootSize, extra) != 0)
    ConsolePrint("Could not Dump Source into File\n");
  else
    gProcess.dumpWritten = true;
  return 0;
}

#endif

}  // namespace RUNTIME_NS
