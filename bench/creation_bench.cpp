// Creation speed without the console: builds the benchmark's fixed-seed creatures (any
// kind, CR 0 to 50) with the optimised runtime's code, on one or more threads, and
// reports creatures per second. Its instruction counts under callgrind repeat exactly:
//
//   out/bench/creation_bench [creatures, default 20000] [threads, default 1]
//   valgrind --tool=callgrind out/bench/creation_bench 500
//   BENCH_EXPORT=file out/bench/creation_bench 2000   (exports every creature: a speed change
//                                                     must leave this file byte-identical)
//   BENCH_KIND=char|npc|monster|mixed|hoard   (one kind only, for a fixed-seed corpus per kind)
//   BENCH_RULES=701   (the SRD 3.5 rule set, as the command 701 chooses it; default 700)
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "generator/char.h"
#include "generator/creation.h"
#include "generator/monster_cr.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/types.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "shell/entry.h"
#include "shell/sheet.h"
#include "source/source_init.h"

using namespace gccspace;

namespace {

// The creatures still to build: threads take them one at a time, so that a thread on a
// faster core builds more (this machine's two cores differ in speed), as in benchmark
// mode, where every thread loops on its own.
std::atomic<int> gLeft{0};

// BENCH_KIND narrows the preset to one kind of creature, as the input line's creature type does.
void PresetKind(int32_t* record, const char* kind) {
  if (!kind) return;
  std::string k = kind;
  record[rec::kKind] = k == "char" || k == "npc" ? 0 : 1;
  record[rec::kNpcClasses] = k == "npc";
  record[rec::kForceMixed] = k == "mixed";
  record[rec::kTreasureOnly] = k == "hoard";
  if (k == "mixed") record[rec::kCRMin] = 2;
}

// One thread's share: its own context, seed and record, as benchmark mode gives it.
void Build(int thread, FILE* exportFile) {
  IsaacState state{};
  uint32_t seed[512];
  for (uint32_t i = 0; i < 512; ++i) seed[i] = (uint32_t)(thread + 2) * i;
  IsaacRange(&state, 0, 0, true, seed);
  std::vector<int32_t> record(kRecordWords, 0);
  Char* c = new Char();
  c->context = *ThreadContext(thread);
  c->context.random = &state;
  c->record = record.data();
  c->specialText = TextCreate("bench-text");
  auto begin = std::chrono::steady_clock::now();
  int built = 0;
  for (; gLeft.fetch_sub(1) > 0; ++built) {
    PresetAnyCreatureRecord(record.data());
    PresetKind(record.data(), getenv("BENCH_KIND"));
    SetRecordRuleSet(record.data(), (RuleSet)gProcess.ruleSet);
    CreateCreature(c, 0);
    if (exportFile) PrintChar(c, 0, 1, exportFile);
  }
  if (getenv("BENCH_THREADS"))
    fprintf(stderr, "thread %d: %d creatures, %.3f s\n", thread, built,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  FreeCharBonuses(c);
  TextDestroy(c->specialText);
  delete c;
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? atoi(argv[1]) : 20000;
  int threads = argc > 2 ? atoi(argv[2]) : 1;
  if (count < 1 || threads < 1) return 1;
  if (chdir(SCHMIEDE_SOURCE_DIR) != 0) return 1;
  SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
  gOutput.console = -1;  // the build's messages are not the subject
  if (ReadGrammarConfig() != 0 || RedirectCreatureScripts() != 0 || BuildRules() != 0) return 1;
  gOutput.console = 0;
  // BENCH_TRACE=1 lists every allocation of the creations (tracker's own trace level).
  if (getenv("BENCH_TRACE")) gOutput.console = gOutput.effective = 3;
  gRandom.benchmark = true;
  gRandom.isaacMode = true;
  gRandom.recordFlag = 0;
  gRandom.seededThisBatch = true;
  gProcess.threadCount = threads;
  if (const char* rules = getenv("BENCH_RULES")) gProcess.ruleSet = atoi(rules) == 701 ? kRulesSrd35 : kRulesOwn;
  CreateCharContext(threads);

  FILE* exportFile = nullptr;
  if (const char* path = getenv("BENCH_EXPORT")) {
    exportFile = fopen(path, "w");
    if (!exportFile || threads != 1) return 1;
  }

  gLeft = count;
  int32_t firstSerial = TrackerNextSerial();
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) workers.emplace_back(Build, t, nullptr);
  Build(0, exportFile);
  for (std::thread& w : workers) w.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%d creatures on %d thread%s: %.3f s, %.0f creatures/s, %.1f usec each\n", count, threads,
         threads == 1 ? "" : "s", seconds, count / seconds, seconds * 1e6 / count);
  // Every tracked allocation takes the tracker's lock, which the threads share.
  printf("%.1f tracked allocations per creature\n", (double)(TrackerNextSerial() - firstSerial) / count);
  if (exportFile) fclose(exportFile);
  FreeCharContexts();
  FreeSource();
  return 0;
}
