// What happens before and after a runtime runs: choosing it, keeping the dump in step
// with edited tables, cleaning up what an interrupted run left, and the leak report.
#include "start/launcher.h"

#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "launcher/cpu.h"
#include "launcher/process.h"
#include "launcher/runtimes.h"
#include "memory/tracker.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "platform/timer.h"
#include "source/dump.h"
#include "source/dump_loader.h"

int EnsureDirectory(const char* path) {
  if (IsDirectory(path)) return 0;
  return MakeDirectory(path) ? 0 : 1;
}

namespace {

int ChooseRuntime(int argc, char** argv) {
  if (argc == 2) {
    ConsolePrint("Runtime choosen by Argument\n");
    return atoi(argv[1]);
  }
  if (HasSSE3()) {
    ConsolePrint("SSE3 capable CPU found, using Intel Compiler Runtime\n\n");
    return 1;
  }
  if (IsAthlonClass()) {
    ConsolePrint("Athlon CPU found, using VectorC Optimized Runtime\n\n");
    return 2;
  }
  ConsolePrint("No SSE or 3DNow capable CPU found, using Microsoft Compiler Generic Runtime\n\n");
  return 4;
}

// A table edited after the dump was written must not leave the old rules in use unnoticed.
void NoticeChangedTables() {
  DumpAge age = CompareDumpAge("source.mrg");
  if (!age.older) return;
  if (!age.failedSince) {
    ConsolePrint("%s changed after source.mrg was written: the first batch rebuilds the rules from Build/\n\n",
                 age.newest);
    gProcess.rebuild = true;
    return;
  }
  // The tables as they are now failed to build: the old rules stay usable until they are fixed.
  ConsolePrint(
      "The tables are newer than source.mrg (%s changed), but the last rebuild from them failed: "
      "the old rules of source.mrg are used.\n",
      age.newest);
  ConsolePrint("Correct the table and start again to rebuild, or start \"%s 0\" and type 300 to see the error.\n\n",
               gProcess.programName);
}

}  // namespace

int LauncherMain(int argc, char** argv) {
  // Creatures allocate and free the same large blocks over and over; keeping them in the
  // heap instead of mapping and unmapping each saves a page fault per page per creature.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  gProcess.pageSize = SystemPageSize();
  ConsolePrint("Kreaturenschmiede V. 1.2 (Build %d)\n\n", kBuildNumber);
  CheckFloatConsistency();

  int result = 0;
  if (EnsureDirectory("save") != 0 || EnsureDirectory("export") != 0) {
    const char* reason = strerror(errno);
    ConsolePrint("Cannot Create Save Directory\n");
    char here[4096];
    if (!getcwd(here, sizeof here)) snprintf(here, sizeof here, ".");
    ConsolePrint("%s/ is needed in the working directory %s: %s\n", IsDirectory("save") ? "export" : "save", here,
                 reason);
    result = 1;
  } else {
    // What a save or an export interrupted by a signal left behind.
    RemoveTemporaryFiles("save");
    RemoveTemporaryFiles("export");
    gProcess.perfFrequency = PerfFrequency();
    if (argc > 0 && argv[0] && argv[0][0]) gProcess.programName = argv[0];
    if (LoadInstalledDump("source.mrg") != 0) {
      gProcess.rebuild = true;
      ConsolePrint("will rebuild later...\n\n");
    } else {
      NoticeChangedTables();
    }
    result = RunRuntime(ChooseRuntime(argc, argv), argc, argv);
    // Runtime 3 reports success whatever happened; a failed rebuild is a failed run.
    if (gProcess.rebuildFailed) result = 1;

    if (!ReleaseFixedRegion()) {
      ConsolePrint("Failed freeing Memory for some reason, Shouldn't make a difference yet though :|\n\n");
      result = 1;
    }
    memset(gProcess.sourceRoot, 0, sizeof gProcess.sourceRoot);
    try {
      ListAlloc(1);
    } catch (const Error&) {
      result = 1;
    }
  }

  DiscardPendingKeys();
  FlushConsoleInput();
  if (result != 0) {
    ConsolePrint("Aborting...\n");
    WaitForKey(kEndNote);
  } else {
    ConsolePrint("\nExiting...\n");
  }
  SetLogging(false);
  fflush(stdout);
  RestoreTerminal();
  return result;
}
