#include "shell/batch.h"

#include <cstring>
#include <new>

#include "platform/console.h"
#include "platform/keys.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/interp.h"
#include "generator/char.h"
#include "source/reader.h"
#include "source/source_init.h"

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/timer.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/types.h"
#include "shell/entry.h"

namespace RUNTIME_NS {

Batch gBatch;

void AllocateBatch(int size) {
  ReleaseBatch();
  try {
    gBatch.records =
        static_cast<int32_t*>(mallocloga((size_t)(size > 0 ? size : 1) * kRecordBytes, "run_alloc-CT"));
  } catch (const Error&) {
    QuitOnError(true);
  }
  memset(gBatch.records, 0, (size_t)(size > 0 ? size : 1) * kRecordBytes);
  gBatch.size = size;
  gBatch.cr = -1;
  gBatch.firstCR = 0;
}

void ReleaseBatch() {
  if (gBatch.records) freeloga(gBatch.records);
  gBatch = Batch{};
}

namespace {

// Until the creation stages exist, a batch ends here and the prompt returns.
void NotBuiltYet() {
  ConsolePrint("Creature generation is not built yet: no creature was made.\n");
  gProcess.loopRunning = false;
  gProcess.firstLoop = false;
  gInput.restart = true;
}

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
  int focus = gSource.initialised ? FindByName(gSource.feats, gSource.featCount, "Zauberfokus", false, false) : -1;
  if (focus >= 0) {
    creature->featCount = 1;
    creature->feats[0] = focus;
    creature->featParameters[0] = 4;
  }
  int savedDebug = gProcess.debugOutput;
  gProcess.debugOutput = 1;
  gProcess.scriptTrace = true;
  RecomputeOutputLevels();
  SetScriptRandomState(gProcess.seeds ? gProcess.seeds[0] : nullptr);
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

// Builds the rule database from Build/ (only the debug runtime carries this code).
int RebuildSource() {
  ConsolePrint("Initializing Source\n");
  ConsolePrint("Rebuilding as Dump could not be loaded correctly\n");
#if RUNTIME_HAS_REBUILD
  int64_t start = PerfCounter();
  if (SourceInit() != 0) {
    ConsolePrint("The rule database could not be built from Build/\n");
    return 1;
  }
  int64_t elapsed = PerfCounter() - start;
  ConsolePrint("Init took %d usec\n\n", (int)(elapsed * 1000000 / gProcess.perfFrequency));
  ConsolePrint("Memmory Allocs after Init: %d\n", TrackerCount());
  DebugPrint(1, "%d rows and %d scripts read\n", gSourceStats.rows, gSourceStats.scripts);
  return 0;
#else
  ConsolePrint("Cannot Rebuild AS Rebuild Code is not included!\n");
  return 1;
#endif
}

}  // namespace

// 0 ready, 1 failed, -1 the test script ran.
int InitSource() {
  if (!gProcess.silent) ConsolePrint("Initializing Data...\n");
  if (gProcess.rebuild || gInput.testScript) {
    ConsolePrint("Initializing Script Grammar\n");
    if (ReadGrammarConfig() != 0) {
      ConsolePrint("Error initialising Script Grammer\n");
      return 1;
    }
  }
  gSource.symbolNames = static_cast<const char*>(gProcess.symbolNames);
  if (RedirectSymbols() != 0) return 1;
  if (gInput.testScript) {
    // The test script calls the rule functions, which need the rule database.
    if (!gSource.initialised && gProcess.rebuild && RebuildSource() != 0) return 1;
    RunTestScript();
    return -1;
  }
  if (!gProcess.rebuild || gSource.initialised) {
    if (!gProcess.silent) {
      ConsolePrint("No Source Rebuild required\n");
      ConsolePrint("Memmory Allocs after Init: %d\n", TrackerCount());
    }
    return 0;
  }
  return RebuildSource();
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

int RunBatch() {
  UseScratchStream();
  LcgSeed((uint32_t)PerfCounter());
  gProcess.savedChooseEverything = gProcess.chooseEverything;

  int init = InitSource();
  if (init == 1) return 1;
  if (init == -1) return EndMenu();
  if (!gSource.initialised) {
    // A loaded image of the rule database comes with its own issue; until then only
    // a rebuilt one exists.
    ConsolePrint("The rule database is not available in this runtime\n");
    return 1;
  }

  if (gProcess.recordFlag == 2) {
    if (LoadReproduction()) {
      ReleaseBatch();
      gInput.restart = true;
      return 0;
    }
    ConsolePrint("Loaded %d reproduction record(s).\n", gBatch.size);
    gProcess.reproFileOpen = false;
  }
  NotBuiltYet();
  ReleaseBatch();
  return 0;
}

int ConsistencyCheck() {
  NotBuiltYet();
  return 0;
}

}  // namespace RUNTIME_NS
