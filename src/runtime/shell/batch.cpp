// One batch from the decoded input line to the viewer: getting the rule database ready,
// spreading the creations over threads, and the loop statistics and slow-creation saves.
#include "shell/batch.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "generator/char.h"
#include "generator/creation.h"
#include "generator/monster.h"
#include "generator/monster_cr.h"
#include "generator/script_binding.h"
#include "launcher/runtimes.h"
#include "platform/console.h"
#include "platform/keys.h"
#include "random/isaac.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "shell/sheet.h"
#include "shell/viewer.h"
#include "source/dump_loader.h"
#include "source/reader.h"
#include "source/source_init.h"

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/timer.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/settings.h"
#include "random/types.h"
#include "shell/entry.h"
#include "shell/rebuild.h"

namespace RUNTIME_NS {

namespace {
const int32_t kOneWeight = 1;
}

Batch gBatch;
namespace {
ReplayLimits TableLimits() { return {gSource.monsterCount, gSource.raceCount, gSource.templateCount}; }
}  // namespace
// Saving and replaying work on this batch from the start, in the program and in tests.
[[maybe_unused]] const bool kBatchAttached = (AttachReplayBatch(&gBatch, AllocateBatch, TableLimits), true);

void AllocateBatch(int size) {
  ReleaseBatch();
  size_t n = (size_t)(size > 0 ? size : 1);
  try {
    gBatch.records = static_cast<int32_t*>(mallocloga(n * kRecordBytes, "run_alloc-CT"));
    gBatch.chars = static_cast<Char*>(mallocloga(n * sizeof(Char), "run_alloc-Characters"));
    gBatch.hitPoints = static_cast<int32_t*>(mallocloga((n + 1) * sizeof(int32_t), "run_alloc-HitPoints"));
  } catch (const Error&) {
    ConsolePrint("Memmory Allocation Error\n");
    QuitOnError(true);
  }
  memset(gBatch.records, 0, n * kRecordBytes);
  memset(gBatch.hitPoints, 0, (n + 1) * sizeof(int32_t));
  for (size_t i = 0; i < n; ++i) {
    new (&gBatch.chars[i]) Char();
    gBatch.chars[i].record = gBatch.records + i * kRecordWords;
    gBatch.chars[i].specialText = TextCreate("run_alloc-SpecialText");
  }
  gBatch.size = size;
  gBatch.cr = -1;
  gBatch.firstCR = 0;
  gBatch.themeFromReplay = false;
}

void ReleaseBatch() {
  ReleaseScreens();
  if (gBatch.chars) {
    int n = gBatch.size > 0 ? gBatch.size : 1;
    for (int i = 0; i < n; ++i) {
      FreeCharBonuses(&gBatch.chars[i]);
      TextDestroy(gBatch.chars[i].specialText);
      gBatch.chars[i].~Char();
    }
    freeloga(gBatch.chars);
  }
  if (gBatch.records) freeloga(gBatch.records);
  if (gBatch.hitPoints) freeloga(gBatch.hitPoints);
  gBatch = Batch{};
}

namespace {

// Compiles and runs Build/TestScript.scr once with tracing against a fresh creature,
// then shows the text it wrote.
void RunTestScript() {
  uint8_t* script = nullptr;
  if (SplitFile("Build/TestScript.scr", &script) != 0) return;
  if (gSource.initialised)
    OptimizeScript2(&script, [](NameTable table, const char* name) { return ResolveScriptName((int)table, name); });
  TextBuffer* text = TextCreate("InitSource-TestText");
  Char* creature = static_cast<Char*>(mallocloga(sizeof(Char), "InitSource-TestChar"));
  new (creature) Char();
  creature->specialText = text;
  // One feat entry, so that the functions that act on "the feat's" skill, school or
  // discipline have one: Zauberfokus with parameter 4.
  int focus = gSource.initialised ? FindByName(gSource.feats, gSource.featCount, "Zauberfokus") : -1;
  if (focus >= 0) {
    creature->featCount = 1;
    creature->feats[0] = focus;
    creature->featParameters[0] = 4;
  }
  int savedDebug = gProcess.debugOutput;
  gProcess.debugOutput = 1;
  gProcess.scriptTrace = true;
  RecomputeOutputLevels();
  SetScriptRandomState(gRandom.seeds ? gRandom.seeds[0] : nullptr);
  RunScript(creature, nullptr, text, script, "Testscript", creature->featCount ? 0 : -1, text);
  SetScriptRandomState(nullptr);
  gProcess.scriptTrace = false;
  gProcess.debugOutput = savedDebug;
  RecomputeOutputLevels();
  freeloga(script);
  FreeCharBonuses(creature);
  creature->~Char();
  freeloga(creature);
  ConsolePrint("\n\nText:\n\n%s", text->data ? text->data : "");
  TextDestroy(text);
}

#if !RUNTIME_HAS_REBUILD
// For a runtime without the rebuild code: runtime 0 rebuilds the dump (through RunRuntime)
// and the new dump is loaded as the process's Source. 0 on success; 1 after saying why.
int RebuildInDebugRuntime(const char* runtimeName) {
  ConsolePrint("The %s hands the rebuild to the Debugruntime, which writes a new source.mrg for it\n", runtimeName);
  bool grammar = gGrammar.loaded;
  gProcess.rebuildOnly = true;
  gProcess.dumpWritten = false;
  static char empty[1] = "";
  static char* none[2] = {empty, nullptr};
  int built = RunRuntime(0, 0, none);
  gProcess.rebuildOnly = false;
  if (built != 0) {
    gProcess.rebuildFailed = true;
    ConsolePrint("The rules could not be rebuilt from Build/; source.mrg was not replaced\n");
    return 1;
  }
  // Runtime 0 unloaded the grammar when it ended; the caller may still need it.
  ReleaseFixedRegion();
  if ((grammar && ReadGrammarConfig() != 0) || !gProcess.dumpWritten || LoadInstalledDump("source.mrg") != 0) {
    gProcess.rebuildFailed = true;
    ConsolePrint("The new source.mrg could not be loaded: start \"%s 0\", which works without it\n",
                 gProcess.programName);
    return 1;
  }
  gProcess.rebuild = false;
  return 0;
}
#endif

// Builds the rule database from Build/ (only the debug runtime carries this code).
int RebuildSource([[maybe_unused]] int64_t start) {
  ConsolePrint("Initializing Source\n");
  ConsolePrint("Rebuilding as Dump could not be loaded correctly\n");
#if RUNTIME_HAS_REBUILD
  if (RebuildCompactSource(start) != 0) return 1;
  ConsolePrint("Memmory Allocs after Init: %d\n", TrackerCount());
  return 0;
#else
  ConsolePrint("Cannot Rebuild AS Rebuild Code is not included!\n");
  return RebuildInDebugRuntime(kRuntimes[RUNTIME_INDEX].name);
#endif
}

}  // namespace

// 0 ready, 1 failed, -1 the test script ran.
int InitSource() {
  int64_t start = PerfCounter();
  if (!gProcess.silent) ConsolePrint("Initializing Data...\n");
  if (gProcess.rebuild || gInput.testScript) {
    ConsolePrint("Initializing Script Grammar\n");
    if (ReadGrammarConfig() != 0) {
      ConsolePrint("Error initialising Script Grammer\n");
      return 1;
    }
  }
  gSource.symbolNames = static_cast<const char*>(gProcess.symbolNames);
  if (RedirectCreatureScripts() != 0) return 1;
  if (gInput.testScript) {
    // The test script calls the rule functions, which need the rule database.
    if (!gSource.initialised && gProcess.rebuild && RebuildSource(start) != 0) return 1;
    RunTestScript();
    return -1;
  }
  // A Source built in this process (or handed in ready) stays; a loaded one gives way
  // only to a rebuild that was asked for.
  bool ready = gSource.initialised && (gProcess.sourceRebuilt || !gProcess.sourceLoaded);
  if (!gProcess.rebuild || ready) {
    if (!gProcess.silent) {
      ConsolePrint("No Source Rebuild required\n");
      ConsolePrint("Memmory Allocs after Init: %d\n", TrackerCount());
    }
    return 0;
  }
  return RebuildSource(start);
}

namespace {

// After a listing or the test script: back to the prompt or out.
int EndMenu() {
  ConsolePrint("[N] Zurück ins Hauptmenü\n[Q] Beenden\n");
  DiscardPendingKeys();
  for (;;) {
    int key = ReadKey('q');
    if (key == 'q' || key == 'Q') return 0;
    if (key == 'n' || key == 'N') {
      gInput.restart = true;
      if (gInput.worktype != 1 && gInput.worktype != 2) ConsoleClear(ConsoleStandard());
      return 0;
    }
  }
}

}  // namespace

namespace {

// Loop statistics: every thread of a loop adds to them.
struct LoopStats {
  std::atomic<int64_t> count{0};
  std::atomic<int64_t> timeSum{0};
  std::atomic<int64_t> secondSum{0};
  int64_t start = 0;
};
LoopStats gLoop;
std::atomic<bool> gStop{false};
std::atomic<int> gFinished{0};
bool gQuit = false;
bool gLoopWithThreads = false;

struct ThreadDescriptor {
  int first = 0, end = 0;
  bool main = false;
  int handle = 0;
};

// The start of each creature in the output; on a terminal also one progress line that
// the next start replaces (the sheets themselves are drawn only when the user looks).
std::mutex gProgressLock;
int gStarted = 0;
bool gProgressLine = false;

void ReportStart(int i, int handle) {
  std::lock_guard<std::mutex> g(gProgressLock);
  if (gProgressLine) ConsolePrint("\r\x1b[K");
  ConsolePrint("Generating Char %d (Thread: %d)\n", i, handle);
  if (gProgressLine) {
    ConsolePrint("Erzeuge Kreatur %d / %d", ++gStarted, gBatch.size);
    fflush(stdout);
  }
}

void EndProgress() {
  std::lock_guard<std::mutex> g(gProgressLock);
  if (gProgressLine) ConsolePrint("\r\x1b[K");
  gProgressLine = false;
}

}  // namespace

void BuildCreature(Char* c) {
  // A step back at the creature's first question has nothing to replay: it is asked again.
  gDecide.backPosition = 0;
  for (;;) {
    try {
      CreateCreature(c, 0);
      return;
    } catch (const xRestartChar&) {
      // Step back: replay the answers up to the question before the last one.
      if (gDecide.streamPos) *gDecide.streamPos = gDecide.backPosition;
      SaveReproduction("", true, nullptr, 1, false);
      c->record[rec::kReplayMark] = 1;
      gRandom.reproFileOpen = false;
    }
  }
}

namespace {

// Keys while a loop runs on the main thread; true when the loop must end here.
bool LoopKeys(bool* leave) {
  int key = ReadKey('q');
  int lower = key >= 'A' && key <= 'Z' ? key + 32 : key;
  if (lower == 'l') {
    ConsoleClear(ConsoleStandard());
    gProcess.loopRunning = false;
    gStop = true;
  } else if (lower == 'n') {
    gProcess.loopRunning = false;
    gInput.restart = true;
    gStop = true;
    *leave = true;
  } else if (lower == 'r') {
    gLoop.timeSum = 1;
    gLoop.secondSum = 1;
    gLoop.start = PerfCounter();
    gLoop.count = 0;
  } else if (lower == 'q') {
    gStop = true;
    gQuit = true;
    *leave = true;
  }
  return *leave;
}

// A creation far slower than the average is kept for a look, but a host that stalls
// often must not fill the disk: each thread keeps only its slowest one of the loop, in
// a file of its own (the next free long.rep, long0.rep, ... in thread order), so no two
// threads ever write one name and the free number is looked up once per loop.
void SaveLongCreation(int thread, int64_t time) {
  static std::atomic<int64_t> claimed{-1}, published{-1};
  static std::atomic<int> base{0};
  thread_local int64_t loop = -1, slowest = 0;
  thread_local std::string name;
  int64_t id = gLoop.start;
  if (loop != id) {
    loop = id;
    slowest = 0;
    name.clear();
  }
  if (time <= slowest) return;
  slowest = time;
  if (name.empty()) {
    // The first thread of the loop to get here lists save/ once; the others wait for it.
    if (published.load(std::memory_order_acquire) != id) {
      int64_t seen = claimed.load();
      if (seen != id && claimed.compare_exchange_strong(seen, id)) {
        base = SlotAfterExisting("long");
        published.store(id, std::memory_order_release);
      }
      while (published.load(std::memory_order_acquire) != id) SleepMilliseconds(0);
    }
    name = SlotName("long", base + thread);
  }
  SaveReproduction(name.c_str(), true, nullptr, 1, false);
}

void LoopStatistics(const Char* c, bool main, int thread) {
  int64_t count = ++gLoop.count;
  int64_t sum = (gLoop.timeSum += c->creationTime);
  gLoop.secondSum += c->classPartTime;
  int64_t average = sum / (count ? count : 1);
  if (main && count % 100 == 0) {
    int64_t elapsed = PerfCounter() - gLoop.start;
    int64_t last = c->creationTime ? c->creationTime : 1;
    ConsolePrint("%d Loop (%d/%3d usec, %d / sec    -    AVG: %d/%3d usec, %d / sec (%d))", (int)count,
                 (int)c->creationTime, (int)c->classPartTime, (int)(1000000 / last), (int)average,
                 (int)(gLoop.secondSum / count), (int)(1000000 / (average ? average : 1)),
                 (int)(elapsed > 0 ? count * gProcess.perfFrequency / elapsed : 0));
    if (c->mixed) ConsolePrint(" Dummy: %d", c->crShare);
    ConsolePrint("\n");
  }
  if (count > 100 && c->creationTime > 25 * average) {
    ConsolePrint("\tCreation took unecspected long...\n");
    SaveLongCreation(thread, c->creationTime);
  }
  if (count % 256 == 0) SleepMilliseconds(0);
}

// A loop asks the terminal for keys every two milliseconds, not after every creature:
// each question is a system call, several microseconds in this VM.
bool KeyCheckDue() {
  static int64_t last = 0;
  int64_t now = PerfCounter();
  if (now - last < gProcess.perfFrequency / 500) return false;
  last = now;
  return true;
}

int CreationLoop(ThreadDescriptor* d) {
  // Each thread shows its own first loop creature; the shared flag is cleared after the batch.
  bool firstLoop = gProcess.firstLoop;
  for (int i = d->first; i < d->end; ++i) {
    Char* c = &gBatch.chars[i];
    if (!gProcess.silent) {
      ReportStart(i, d->handle);
      if (d->main) ShowScreen(0);
    }
    bool replayStart = gRandom.replayAtStart && !gProcess.silent;
    for (bool firstPass = true;; firstPass = false) {
      BuildCreature(c);
      if (i == 0) gBatch.firstCR = c->cr;
      gBatch.hitPoints[i + 1] = c->shownHitPoints;
      // A loop shows its first creature only; later passes are measured, not drawn.
      if (firstLoop && firstPass) {
        if (gProcess.loopRunning) PrintChar(c, i + 1, gProcess.silent, nullptr);
        ClearConsole(i + 1);
      }
      if (replayStart || c->record[rec::kReplayMark]) {
        gRandom.reproFileOpen = false;
        gRandom.replayAtStart = false;
        replayStart = false;
        SeedThreads();
      }
      if (gProcess.loopRunning) LoopStatistics(c, d->main, d->handle);
      if (!d->main && gStop) {
        ++gFinished;
        return 0;
      }
      bool leave = false;
      if (d->main && gProcess.loopRunning && KeyCheckDue() && KeyWaiting() && LoopKeys(&leave)) return 1;
      if (!gProcess.loopRunning) break;
      c->record[rec::kStoredHitPoints] = kNoHitPoints;
    }
    firstLoop = false;
    if (d->main && !gProcess.silent) ShowScreen(i + 1);
    ClearConsole(i + 1);
    PrintChar(c, i + 1, gProcess.silent, nullptr);
  }
  if (!d->main) ++gFinished;
  return 0;
}

int RunThreads() {
  int threads = gProcess.threadCount < 1 ? 1 : gProcess.threadCount;
  int n = gBatch.size;
  TrackedPtr<ThreadDescriptor> descriptors(
      static_cast<ThreadDescriptor*>(mallocloga(sizeof(ThreadDescriptor) * (size_t)threads, "run_main-threaddata")));
  for (int t = 0; t < threads; ++t) descriptors[t] = ThreadDescriptor{};
  gStop = false;
  gFinished = 0;
  gLoop.start = PerfCounter();
  gLoop.count = 0;
  gLoop.timeSum = 0;
  gLoop.secondSum = 0;
  // On a terminal the screens stay undrawn while the batch is built; a progress line
  // shows how far it is.
  gStarted = 0;
  gProgressLine = ConsoleIsTerminal() && !gProcess.silent && !gProcess.loopRunning && n > 1;
  if (ConsoleIsTerminal() && !gProcess.silent) ConsoleDeferDrawing(true);
  struct DrawAgain {
    ~DrawAgain() {
      EndProgress();
      ConsoleDeferDrawing(false);
    }
  } drawAgain;
  CreateCharContext(threads);
  for (int t = 0; t < threads; ++t)
    if (CreationContext* x = ThreadContext(t)) x->random = gRandom.seeds[t < gRandom.seedThreads ? t : 0];
  auto assign = [&](int i, int t) {
    CreationContext* x = ThreadContext(t);
    if (x) gBatch.chars[i].context = *x;
  };
  if (!gLoopWithThreads && n != 0) {
    descriptors[0] = ThreadDescriptor{0, 1, true, 0};
    assign(0, 0);
    int r = CreationLoop(&descriptors[0]);
    if (r) return r;
  }
  if (n >= 2 || gLoopWithThreads) {
    int start = gLoopWithThreads ? 0 : 1;
    int previous = start;
    for (int t = 0; t < threads; ++t) {
      int end = (n - start) * (t + 1) / threads + start;
      if (end > n) end = n;
      descriptors[t] = ThreadDescriptor{previous, end, t == 0, t};
      for (int i = previous; i < end; ++i) assign(i, t);
      previous = end;
    }
    // A loop on several threads starts all of them at once: the seeding that the first
    // creation would do happens here, before any of them draws.
    if (gLoopWithThreads && gRandom.isaacMode && !gRandom.seededThisBatch && !gRandom.reproduceInRuntime0 &&
        gBatch.records[rec::kReplayMark] == 0 && gRandom.stickyCount == 0 && gSettings.ChooseClass == 0 &&
        !gDecide.chooseEverything && !gRandom.savedChooseEverything) {
      SeedThreads();
      gRandom.seededThisBatch = true;
    }
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
      try {
        workers.emplace_back(CreationLoop, &descriptors[t]);
      } catch (...) {
        ConsolePrint("Could not Create Thread\n");
        gStop = true;
        for (std::thread& w : workers) w.join();
        return -1;
      }
    }
    int r = CreationLoop(&descriptors[0]);
    // After "n" or "q" the result goes back at once; the workers, told to stop, are only
    // joined (they still use the batch).
    if (threads > 1 && !r) {
      ConsolePrint("Waiting for Threads to terminate\n");
      while (gFinished < threads - 1) SleepMilliseconds(10);
    }
    for (std::thread& w : workers) w.join();
    if (r) return r;
  }
  for (int i = 0; i < n; ++i) assign(i, 0);
  int s = n < 2 ? 1 : 0;
  EndProgress();
  ConsoleDeferDrawing(false);
  if (!gProcess.silent && n != 0) {
    ShowScreen(s);
    DoTable();
  }
  return s;
}

int PrepareBatch() {
  IsaacState* state = gRandom.seeds[0];
  int n = random(state, gInput.AmountMin, gInput.AmountMax, "Anzahl eingeben!", 0);
  gSettings.monsterSelHigh = gInput.CRMax > 20;
  AllocateBatch(n);
  std::vector<int32_t> cr((size_t)(n > 0 ? n : 1), 0);
  if (n > 1) {
    gBatch.cr = random(state, gInput.CRMin, gInput.CRMax, "HG Eingeben!", 0);
    int32_t value = gBatch.cr;
    for (int k = n; k > 1; k /= 2) {
      value -= 1;
      if (value > 5) value -= 1;
      if (value > 10) value -= 1;
      if (value < 0) value = 0;
    }
    for (int i = 0; i < n; ++i) cr[(size_t)i] = value;
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
      int32_t dv = random(state, 0, gBatch.cr / 5 + 1, "HG Abweichung bei Gegner", 0);
      if (random(state, 0, 1, "Abweichung umkehren?", 0) == 1) dv = -dv;
      if (cr[(size_t)i] + dv < gBatch.cr && cr[(size_t)j] - dv > 0) {
        cr[(size_t)i] += dv;
        cr[(size_t)j] -= dv;
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    int32_t* r = gBatch.records + (size_t)i * kRecordWords;
    r[rec::kFixedAbilities] = 0;
    r[rec::kDiceMethod] = (gSettings.ChooseClass == 0 || gDecide.chooseEverything) ? -1 : 1;
    if (gSettings.DrawType == -1) r[rec::kDiceMethod] = 0;
    r[rec::kFixedClasses] = 0;
    r[rec::kCRMin] = r[rec::kCRMax] = cr[(size_t)i];
    r[rec::kKind] = gInput.CreatureType == -1 ? -1 : (gInput.CreatureType == 0 || gInput.CreatureType == 4) ? 0 : 1;
    r[rec::kFixedMonster] = -1;
    r[rec::kForceMixed] = gInput.CreatureType == 2;
    r[rec::kTreasureOnly] = gInput.CreatureType == 3;
    r[rec::kNpcClasses] = gInput.CreatureType == 4;
    r[rec::kTreasureLow] = gInput.treasureLow;
    r[rec::kTreasureHigh] = gInput.treasureHigh;
    r[rec::kFixedRace] = -1;
    r[rec::kStoredHitPoints] = kNoHitPoints;
    r[rec::kReplayMark] = 0;
    // A new creature is built by the rules chosen now; its record keeps them, so a re-roll
    // (R) or a replay rebuilds it by the same rules whatever is chosen later.
    SetRecordRuleSet(r, (RuleSet)gProcess.ruleSet);
  }
  if (n == 1) {
    gBatch.records[rec::kCRMin] = gInput.CRMin;
    gBatch.records[rec::kCRMax] = gInput.CRMax;
    gBatch.cr = -1;
  }
  gLoopWithThreads = false;
  if (gProcess.loopRunning && n == 1 && gProcess.threadCount >= 2) {
    std::vector<int32_t> kept(gBatch.records, gBatch.records + kRecordWords);
    AllocateBatch(gProcess.threadCount);
    for (int i = 0; i < gBatch.size; ++i) memcpy(gBatch.records + (size_t)i * kRecordWords, kept.data(), kRecordBytes);
    gLoopWithThreads = true;
  }
  return 0;
}

// 0: no listing; -1: a listing was shown.
int ListingMode() {
  if (gInput.worktype == 2) {
    PrintSpellList();
    return -1;
  }
  if (gInput.worktype != 1) return 0;
  IsaacState* state = gRandom.seeds[0];
  // The lists show what a person reads: display names.
  int type = AdvancedRand(state, gSource.monsterTypeCount, &kOneWeight, 0, &gSource.monsterTypes[0].display.text,
                          sizeof(MonsterTypeSource), "Typ wählen!", 1, true, 0, true);
  int n = gSource.monsterCount;
  TrackedPtr<int32_t> weights(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(n ? n : 1), "run-mprob")));
  for (int m = 0; m < n; ++m) weights[m] = gSource.monsters[m].type == type ? 1 : 0;
  int monster = AdvancedRand(state, n, weights.get(), 4, &gSource.monsters[0].display.text, sizeof(MonsterSource),
                             "Monster wählen!", 1, true, 0, true);
  if (monster < 0) return -1;
  // The German name, and the SRD's beside it for looking the monster up.
  const MonsterSource& m = gSource.monsters[monster];
  std::string name = DisplayName(m);
  if (m.srd.length && !(m.srd == DisplayName(m))) name += std::string(" (") + m.srd.c_str() + ")";
  ConsolePrint("\n\n\n%s:\n\n", name.c_str());
  int templates = gSource.templateCount < 11 ? gSource.templateCount : 11;
  for (int t = 0; t < templates; ++t) {
    ConsolePrint("Template: %s\n", DisplayName(gSource.templates[t]));
    for (int k = 0; k < 4; ++k) {
      int32_t high;
      int32_t low = DetermineCR(monster, k, t, &high, false);
      if (low < 61) ConsolePrint("\tHD Inc: %2d - Possible CRs: %2d - %2d\n", k, low, high);
    }
    ConsolePrint("\n");
  }
  return -1;
}

}  // namespace

int RunBatch() {
  UseScratchStream();
  LcgSeed((uint32_t)PerfCounter());
  gRandom.savedChooseEverything = gDecide.chooseEverything;
  gQuit = false;

  int init = InitSource();
  if (init == 1) return 1;
  if (init == -1) return EndMenu();
  if (!gSource.initialised) {
    ConsolePrint("The rule database is not available in this runtime\n");
    return 1;
  }
  if (ListingMode() == -1) return EndMenu();

  if (gRandom.recordFlag == 2) {
    if (LoadReproduction()) {
      ReleaseBatch();
      ReleaseRedirection();
      gInput.restart = true;
      return 0;
    }
  } else {
    PrepareBatch();
  }
  CreateScreens();
  gRandom.savingAllowed = true;
  gRandom.seededThisBatch = false;
  ResetReferenceMonster();
  int s = RunThreads();
  if (!gQuit && !gInput.restart && s != -1 && !gProcess.silent) ViewerLoop(s);
  gProcess.loopRunning = false;
  gProcess.firstLoop = false;
  // The symbol redirection goes with the batch; the next batch's initialisation makes it anew.
  ReleaseBatch();
  ReleaseRedirection();
  return 0;
}

int ConsistencyCheck() {
  DiscardPendingKeys();
  // Every runtime builds from the one rule database: make sure it exists first.
  UseScratchStream();
  int init = InitSource();
  if (init != 0 || !gSource.initialised) {
    FreeSeeds();
    return 1;
  }
  int64_t start = PerfCounter();
  gProcess.silent = true;
  // As in the rebuild's analysis: the threads get the fixed seeds, so every check tests
  // the same row of creatures.
  gRandom.benchmark = true;
  gRandom.isaacMode = true;
  gRandom.recordFlag = 0;
  SeedThreads();
  int32_t* transfer = gRandom.transferRecord;
  transfer[rec::kKind] = -1;
  transfer[rec::kFixedMonster] = -1;
  transfer[rec::kCRMax] = 50;
  transfer[rec::kFixedRace] = -1;
  int result = -1, count = 0;
  TextBuffer* reference = nullptr;
  gProcess.lineInconsistencyShown = false;
  static char emptyArg[1] = "";
  static char* args[2] = {emptyArg, nullptr};
  while (result < 0) {
    if (count % 10 == 0) {
      int64_t elapsed = PerfCounter() - start;
      ConsolePrint("%d Consistent Chars (%d / sec)\n", count,
                   (int)(elapsed > 0 ? (int64_t)count * gProcess.perfFrequency / elapsed : 0));
    }
    ++count;
    gRandom.isaacMode = true;
    gRandom.recordFlag = 0;
    IsaacSave(gRandom.seeds[0], transfer + rec::kStream);
    // Both rule sets, creature by creature: every runtime must build either alike.
    SetRecordRuleSet(transfer, count % 2 == 0 ? kRulesSrd35 : kRulesOwn);
    for (int r = 0; r < 5 && result < 0; ++r) {
      gRandom.reproduceInRuntime0 = true;
      transfer[rec::kReplayMark] = 1;
      SetRecordRandomMode(transfer, kModeIsaac);
      transfer[rec::kStoredHitPoints] = kNoHitPoints;
      gRandom.seededThisBatch = false;
      gProcess.consistencyReference = r == 0 ? nullptr : reference;
      int returned = RunRuntime(r, 1, args);
      gProcess.consistencyReference = nullptr;
      if (returned == 0 && gProcess.consistencyText) {
        TextBuffer* text = gProcess.consistencyText;
        if (r == 0) {
          if (reference) TextDestroy(reference);
          reference = TextCreate("strConsistenceReference");
          TextAppend(reference, text->data ? text->data : "", text->length);
        } else if (!reference || text->length != reference->length ||
                   (text->length && memcmp(text->data, reference->data, text->length) != 0)) {
          ConsolePrint("Insonsistence Found: Runtime (%d)\n\n\nReference:\n%s\n\n\nError:\n%s\n\n", r,
                       reference && reference->data ? reference->data : "", text->data ? text->data : "");
          SaveReproduction("inconsistent.rep", true, transfer, 1, true);
          result = 1;
        }
      }
      gProcess.consistencyCleanup = true;
      RunRuntime(r, 1, args);
      gProcess.consistencyCleanup = false;
    }
    if (result >= 0) break;
    if (KeyWaiting()) {
      int key = ReadKey('q');
      int lower = key >= 'A' && key <= 'Z' ? key + 32 : key;
      if (lower == 'q') {
        result = 0;
      } else if (lower == 'n') {
        gInput.restart = true;
        result = 0;
      } else if (lower == 'r') {
        count = 0;
        start = PerfCounter();
      }
    }
  }
  if (reference) TextDestroy(reference);
  gProcess.silent = false;
  gRandom.benchmark = false;
  gRandom.reproduceInRuntime0 = false;
  FreeSeeds();
  return result;
}

}  // namespace RUNTIME_NS
