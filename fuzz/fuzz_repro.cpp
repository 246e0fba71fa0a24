// Reproduction files replayed through creation: a file the check lets through builds its
// first creature from its seed or its recorded answers, or ends in the program's error
// path ("Inconsistent Reproduction"); it never reads or writes outside memory. One
// creature per input keeps the run fast (a file of one creature is what users share).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "fuzz_common.h"
#include "generator/char.h"
#include "generator/creation.h"
#include "generator/monster_cr.h"
#include "generator/script_binding.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "random/settings.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "shell/entry.h"
#include "shell/sheet.h"
#include "source/source_init.h"

using namespace debugspace;

namespace {

IsaacState gState;
int32_t gRecord[kRecordWords];
FILE* gSheet = nullptr;

bool LoadShippedRules() {
  fuzz::QuietInRepository();
  // A replay that asks (its flag words can switch asking on) finds no answer: the rest
  // of the creature falls to chance, as in a piped run. Sheets and messages go nowhere.
  if (!freopen("/dev/null", "r", stdin)) abort();
  if (!getenv("FUZZ_VERBOSE") && !freopen("/dev/null", "w", stdout)) abort();
  gSheet = fopen("/dev/null", "w");
  SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
  if (ReadGrammarConfig() != 0 || RedirectCreatureScripts() != 0 || BuildRules() != 0) {
    fprintf(stderr, "shipped rule tables did not load\n");
    abort();
  }
  gProcess.threadCount = 1;
  CreateCharContext(1);
  return true;
}

// The state a reproduce run starts every creature from (worktype 4).
void ReproduceSettings() {
  if (!getenv("FUZZ_VERBOSE")) SetOutputLevels(-1, -1);
  gInput = InputFields{};
  gSettings = CreationSettings{};
  gRandom.recordFlag = 0;
  gRandom.stickyCount = 0;
  gRandom.isaacMode = false;
  gRandom.seededThisBatch = false;
  gRandom.savedChooseEverything = false;
  gRandom.savingAllowed = false;
  gProcess.loopRunning = false;
  gDecide.chooseEverything = false;
  gDecide.replayActive = false;
}

}  // namespace

// The rules are built before the first input, so that their build (seconds under the
// sanitizers on a busy machine) does not count against the first input's time-out.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return LoadShippedRules() ? 0 : 1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The check judges the bytes as they are; the replay takes them as the file of one
  // creature, cut or padded with zeros, so mutations that change the length still
  // reach the creation.
  CheckReproductionImage(data, size);
  static uint8_t image[kRepHeaderBytes + kRecordBytes];
  memset(image, 0, sizeof image);
  memcpy(image, data, size < sizeof image ? size : sizeof image);
  memcpy(image, "MRGR\1\0\0\0", 8);
  if (CheckReproductionImage(image, sizeof image)) return 0;
  memcpy(gRecord, image + kRepHeaderBytes, kRecordBytes);
  gRecord[rec::kReplayMark] = 1;
  ReproduceSettings();

  int32_t serial = TrackerNextSerial();
  Char* c = new Char();
  c->record = gRecord;
  c->context = *ThreadContext(0);
  c->context.random = &gState;
  c->specialText = TextCreate("fuzz-text");
  try {
    CreateCreature(c, 0);
    PrintChar(c, 0, 1, gSheet);
  } catch (const Error&) {
    // The error path of a rejected file: what the creation still held is given back,
    // the thread's scratch creatures with it.
    FreeCharBonuses(c);
    TextDestroy(c->specialText);
    delete c;
    FreeCharContexts();
    fuzz::SweepTrackedSince(serial);
    CreateCharContext(1);
    UseScratchStream();
    return 0;
  }
  FreeCharBonuses(c);
  TextDestroy(c->specialText);
  delete c;
  UseScratchStream();
  return 0;
}
