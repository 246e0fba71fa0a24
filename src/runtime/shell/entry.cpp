// Where each runtime begins: the prompt or the command line read into the input fields,
// the command codes acted on, and the per-thread random states set up for a batch.
#include "shell/entry.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "generator/creation.h"
#include "launcher/process.h"
#include "launcher/runtimes.h"
#include "memory/tracker.h"
#include "platform/console.h"
#include "platform/keys.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/settings.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "shell/batch.h"
#include "source/dump_loader.h"
#include "source/source_init.h"

namespace RUNTIME_NS {

InputFields gInput;

namespace {

constexpr const char* kHelpFields =
    "\nDurch Leerzeichen getrennt eingeben:\n"
    "\tArt (0: Standartkklassen, 1: Monster, 2: Gemischt, 3: Treasure, 4 = NPC-Klasse, -1: Zufällig (0-2))\n"
    "\tMinimum HG, Maximum HG\n"
    "\tMinimale Anzahl, Maximale Anzahl\n"
    "\tWürfelart (0 Standart, -1 Schlecht, 1 Gut)\n"
    "\tKlasse/Monster wählen (0 = Nein, 1 = Ja, 2 = Alles wählen)\n"
    "\tBerechnungsart (-1 = Wurzel, 0 = Linear, 1 = Quadratisch, 2 = Maximal\n"
    "\tSpezieller Parameter: 0 = Normal, 1 = CR-List, 2 = Spell-List, 3 = Loop , 4 = Reproduce, 5 = Benchmark, "
    "6 = Consistence)\n"
    "\tDebug Output: 1 = Ja, 0 = Nein, 2 = Erweitert\n";
constexpr const char* kHelpRuntimes =
    "\n\t\tAndere Runtimes:\t100 = Debugruntime\n"
    "\t\t\t\t\t101 = Intel Compiler SSE3 Optimized Runtime\n"
    "\t\t\t\t\t102 = VectorC Compiler (P4) Optimized Runtime\n"
    "\t\t\t\t\t103 = GCC SSE3 Optimized Runtime\n"
    "\t\t\t\t\t104 = Visual C++ .NET Generic Optimized Runtime\n";
constexpr const char* kHelpCodes =
    "\n\t300 = Force Rebuild\n\t40X = Spezieller Parameter X\n\t50X = Use X Threads\n\t60x = Log to file\n"
    "\tq   = Quit\n\n";

// Each thread draws from its own state and writes its position at every draw: the states
// lie a whole cache line apart, so that one thread's draws do not evict the other's lines.
constexpr size_t kSeedStride = (sizeof(IsaacState) + 2 * kCacheLine - 1) / kCacheLine * kCacheLine;

void AllocateSeeds() {
  int threads = gProcess.threadCount < 1 ? 1 : gProcess.threadCount;
  size_t tableBytes = sizeof(IsaacState*) * (size_t)threads;
  size_t dataBytes = kSeedStride * (size_t)threads + kCacheLine;
  if (gRandom.seeds) {
    gRandom.seeds = static_cast<IsaacState**>(reallocloga(gRandom.seeds, tableBytes));
    gRandom.seedData = static_cast<uint8_t*>(reallocloga(gRandom.seedData, dataBytes));
  } else {
    gRandom.seeds = static_cast<IsaacState**>(mallocloga(tableBytes, "mrgmain-isaacseds"));
    gRandom.seedData = static_cast<uint8_t*>(mallocloga(dataBytes, "mrgmain-isaacseeddata"));
  }
  memset(gRandom.seedData, 0, dataBytes);
  uintptr_t base = reinterpret_cast<uintptr_t>(gRandom.seedData);
  size_t skip = (kCacheLine - base % kCacheLine) % kCacheLine;
  for (int i = 0; i < threads; ++i)
    gRandom.seeds[i] = reinterpret_cast<IsaacState*>(gRandom.seedData + skip + (size_t)i * kSeedStride);
  gRandom.seedThreads = threads;
}

void Swap(int& a, int& b) {
  if (a > b) {
    int t = a;
    a = b;
    b = t;
  }
}

bool FieldsValid(const InputFields& f) {
  return f.CreatureType >= -1 && f.CreatureType <= 4 && f.CRMin >= 0 && f.CRMax <= 50 && f.AmountMin >= 0 &&
         f.AmountMax <= 99 && gSettings.DrawType >= -1 && gSettings.DrawType <= 1 && gSettings.ChooseClass >= 0 &&
         gSettings.ChooseClass <= 2 && gSettings.calctype >= -1 && gSettings.calctype <= 2 && f.worktype >= 0 &&
         f.worktype <= 6;
}

// Fields 1 to 6, 8 and 9 start each prompt at 0; ChooseClass and DebugOutput carry over.
void ResetForPrompt() {
  gInput.testScript = false;
  gRandom.benchmark = false;
  gSettings.monsterSelHigh = 0;
  ClearStickyAnswers();
  gRandom.recordFlag = 1;
  gInput.CreatureType = gInput.CRMin = gInput.CRMax = gInput.AmountMin = gInput.AmountMax = 0;
  gSettings.DrawType = gSettings.calctype = gInput.worktype = 0;
}

enum class Step { kPrompt, kProcess, kLeave };

// One pass of the prompt: read the line. kLeave ends the runtime with result 0.
Step Prompt() {
  ResetForPrompt();
  ConsolePrint("%s", kHelpFields);
  ConsolePrint("%s", kHelpRuntimes);
  ConsolePrint("%s", kHelpCodes);
  ConsolePrint("\t70X = Regelwerk (700 = %s, 701 = %s), gewählt: %s\n\n", RuleSetName(kRulesOwn),
               RuleSetName(kRulesSrd35), RuleSetName(gProcess.ruleSet));
  char line[1024];
  // End of input counts as "q": a piped run ends instead of starting empty batches forever.
  if (!ReadLine(line, sizeof line)) return Step::kLeave;
  int v[kFieldCount] = {0, 0, 0, 0, 0, 0, gSettings.ChooseClass, 0, 0, gProcess.debugOutput};
  if (!DecodeInputLine(line, v)) return Step::kLeave;
  gInput.CreatureType = v[0];
  gInput.CRMin = v[1];
  gInput.CRMax = v[2];
  gInput.AmountMin = v[3];
  gInput.AmountMax = v[4];
  gSettings.DrawType = v[5];
  gSettings.ChooseClass = v[6];
  gSettings.calctype = v[7];
  gInput.worktype = v[8];
  gProcess.debugOutput = v[9];
  if (gProcess.debugOutput == 0) gProcess.extendedDebug = false;
  return Step::kProcess;
}

}  // namespace

void FreeSeeds() {
  if (gRandom.seeds) freeloga(gRandom.seeds);
  if (gRandom.seedData) freeloga(gRandom.seedData);
  gRandom.seeds = nullptr;
  gRandom.seedData = nullptr;
  gRandom.seedThreads = 0;
}

bool DecodeInputLine(const char* line, int* values) {
  if (line[0] == 'q' || line[0] == 'Q') return false;
  const char* rest = line;
  int read = ParseIntegers(line, values, kFieldCount, &rest);
  // Reading stops at the first word that is no number; the user learns where.
  while (*rest == ' ' || *rest == '\t' || *rest == '\r' || *rest == '\n') ++rest;
  if (*rest && read < kFieldCount) {
    std::string word(rest, strcspn(rest, " \t\r\n"));
    char note[160];
    snprintf(note, sizeof note, "Nur %d Zahl%s gelesen (bis vor \"%.40s\"), die übrigen gelten als nicht eingegeben",
             read, read == 1 ? "" : "en", word.c_str());
    ConsolePrint("%s\n", note);
    ConsoleSetStatus(note);  // a terminal shows the batch in the alternate screen: the note goes along
  }
  return true;
}

LineAction DecodeCommand(InputFields& in, int* argument) {
  int code = in.CreatureType;
  if (code >= 100 && code <= 199) {
    *argument = code - 100;
    return LineAction::kSwitchRuntime;
  }
  if (code == 200) {
    in.CreatureType = 0;
    in.testScript = true;
  } else if (code == 300) {
    gProcess.rebuild = true;
    in.CreatureType = 0;
  } else if (code >= 400 && code <= 499) {
    in.worktype = code - 400;
    if (in.worktype != 3 || in.AmountMax != 0) {
      in.CreatureType = 0;
      in.AmountMin = in.AmountMax = 1;
    } else {
      in.CreatureType = -1;
      in.CRMin = 0;
      in.CRMax = 50;
      in.AmountMin = in.AmountMax = 1;
      gSettings.DrawType = gSettings.ChooseClass = gSettings.calctype = 0;
    }
  } else if (code >= 501 && code <= 599) {
    *argument = code - 500;
    return LineAction::kThreads;
  } else if (code >= 600 && code <= 699) {
    *argument = code != 600;
    return LineAction::kLogging;
  } else if (code >= 700 && code <= 799) {
    *argument = code - 700;
    return LineAction::kRules;
  }
  if (gProcess.threadCount < 1) gProcess.threadCount = 1;
  Swap(in.AmountMin, in.AmountMax);
  Swap(in.CRMin, in.CRMax);
  if (in.CreatureType == 3) {
    in.treasureLow = in.AmountMin;
    in.treasureHigh = in.AmountMax;
    in.AmountMin = in.AmountMax = 1;
  }
  return FieldsValid(in) ? LineAction::kRun : LineAction::kInvalid;
}

const char* RuleSetName(int32_t rules) { return rules == kRulesSrd35 ? "SRD 3.5" : "Eigene Regeln"; }

int WordToInt(const char* word) {
  int v = 0;
  ParseIntegers(word ? word : "", &v, 1);
  return v;
}

namespace {

int RunEntry(int argc, char** argv) {
  // Another runtime, which cannot rebuild, asked for the dump only.
  if (gProcess.rebuildOnly) return InitSource() == 0 ? 0 : 1;
  Step step = Step::kPrompt;
  if (gRandom.reproduceInRuntime0) {
    gInput.CreatureType = 404;
    gInput.CRMin = gInput.CRMax = gInput.AmountMin = gInput.AmountMax = gSettings.DrawType = 0;
    gSettings.calctype = gInput.worktype = 0;
    step = Step::kProcess;
  } else if (argc == 10) {
    int* fields[9] = {&gInput.CreatureType,   &gInput.CRMin,       &gInput.CRMax,
                      &gInput.AmountMin,      &gInput.AmountMax,   &gSettings.DrawType,
                      &gSettings.ChooseClass, &gSettings.calctype, &gInput.worktype};
    for (int i = 0; i < 9; ++i) *fields[i] = WordToInt(argv[i + 1]);
    ConsolePrint(
        "Took Arguments from Command Line:\nCreatureType: %d\tCR: %d - %d\tAmount: %d-%d\nDrawType: %d\t"
        "ChooseClass: %d\tcalctype: %d\tworktype: %d\n",
        gInput.CreatureType, gInput.CRMin, gInput.CRMax, gInput.AmountMin, gInput.AmountMax, gSettings.DrawType,
        gSettings.ChooseClass, gSettings.calctype, gInput.worktype);
    step = Step::kProcess;
  }

  int result = 0;
  for (;;) {
    if (step == Step::kPrompt) {
      step = Prompt();
      if (step == Step::kLeave) return 0;
    }
    step = Step::kPrompt;

    InputFields& in = gInput;
    int argument = 0;
    LineAction action = DecodeCommand(in, &argument);
    if (action == LineAction::kSwitchRuntime) {
      ConsolePrint("Switching Runtime\n");
      ConsolePrint("%s\n", std::string(120, '-').c_str());
      return RunRuntime(argument, 1, argv);
    }
    if (action == LineAction::kThreads) {
      gProcess.threadCount = argument;
      ConsolePrint("Using %d Threads\n", gProcess.threadCount);
      continue;
    }
    if (action == LineAction::kLogging) {
      SetLogging(argument != 0);
      RecomputeOutputLevels();
      if (gOutput.log >= 0)
        ConsolePrint("Logging to debug.out (600 turns it off)\n");
      else if (argument == 0)
        ConsolePrint("Logging off\n");
      continue;
    }
    if (action == LineAction::kRules) {
      if (argument < kRuleSetCount) {
        gProcess.ruleSet = argument;
        ConsolePrint("Regelwerk: %s (gilt für alle neuen Kreaturen)\n", RuleSetName(argument));
      } else {
        ConsolePrint("Regelwerk %d gibt es nicht: 700 = %s, 701 = %s (gewählt bleibt %s)\n", 700 + argument,
                     RuleSetName(kRulesOwn), RuleSetName(kRulesSrd35), RuleSetName(gProcess.ruleSet));
      }
      continue;
    }
    if (action == LineAction::kInvalid) {
      ConsolePrint("Fehlerhafte eingabe\n");
      continue;
    }
    if (gProcess.debugOutput > 1) {
      gProcess.debugOutput = 1;
      gProcess.extendedDebug = true;
    }
    if (in.worktype == 5) {
      in.CreatureType = -1;
      in.CRMin = 0;
      in.CRMax = 50;
      in.AmountMin = in.AmountMax = 1;
      gSettings.DrawType = gSettings.ChooseClass = gSettings.calctype = 0;
      in.worktype = 3;
      gProcess.debugOutput = 0;
      gRandom.benchmark = true;
    }
    if (!gProcess.silent) AllocateSeeds();
    gRandom.seededThisBatch = false;

    if (in.worktype == 6) {
      result = ConsistencyCheck();
      if (result != 0) return result;
    } else {
      if (in.worktype == 4) {
        gRandom.recordFlag = 2;
        gSettings.ChooseClass = 0;
        gDecide.chooseEverything = false;
        gProcess.threadCount = 1;
      }
      if (in.worktype == 3) {
        gProcess.loopRunning = true;
        gProcess.firstLoop = true;
      }
      if (gSettings.ChooseClass == 2) {
        gSettings.ChooseClass = 1;
        gDecide.chooseEverything = true;
      }
      if (gSettings.ChooseClass != 0) {
        gProcess.threadCount = 1;
      } else {
        gRandom.isaacMode = true;
        gRandom.recordFlagWasOne = gRandom.recordFlag == 1;
        if (gRandom.recordFlag == 1) gRandom.recordFlag = 0;
        if (!gProcess.silent) SeedThreads();
      }
      RecomputeOutputLevels();
      gRandom.labelFlag = gSettings.ChooseClass || gDecide.chooseEverything || gProcess.debugOutput || gOutput.log >= 0;
      result = RunBatch();
    }

    if (!gProcess.silent) FreeSeeds();
    if (!in.restart) return result;
    ConsolePrint("\nRestarting\n");
    in.restart = false;
    DiscardPendingKeys();
    FlushConsoleInput();
  }
}

}  // namespace

int RuntimeMain(int argc, char** argv) {
  if (gProcess.consistencyCleanup) {
    TextDestroy(gProcess.consistencyText);
    gProcess.consistencyText = nullptr;
    return 0;
  }
  if (gProcess.silent) gProcess.consistencyText = TextCreate("strConsistenceCheck");
  int result;
  [[maybe_unused]] bool hadSource = gSource.initialised;
  [[maybe_unused]] bool rebuiltBefore = gProcess.sourceRebuilt;
  try {
    result = RunEntry(argc, argv);
  } catch (const Error& e) {
    // An internal failure ends this runtime; what it held is given back so the
    // leak report shows only real leaks.
    ConsolePrint("Internal Error: %s\n", e.what());
    ReleaseBatch();
    if (!gProcess.silent) FreeSeeds();
    result = 1;
  }
  FreeCharContexts();
  ReleaseRedirection();
  UnloadGrammar();
#if RUNTIME_HAS_REBUILD
  // Only the runtime call that built the rule database releases it: a runtime
  // entered again inside a run (a switch, the consistency check) leaves it alone, and
  // a loaded image is the launcher's to release.
  if ((!hadSource || (!rebuiltBefore && gProcess.sourceRebuilt)) && !gProcess.sourceLoaded) {
    FreeSource();
    if (!rebuiltBefore && gProcess.sourceRebuilt) {
      gProcess.sourceRebuilt = false;
      ReleaseFixedRegion();
    }
  }
#endif
  return result;
}

}  // namespace RUNTIME_NS
