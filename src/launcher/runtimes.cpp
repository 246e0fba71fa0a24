#include "launcher/runtimes.h"

#include "launcher/cpu.h"
#include "launcher/dump_loader.h"
#include "launcher/process.h"
#include "platform/keys.h"
#include "source/records.h"

const RuntimeInfo kRuntimes[5] = {
    {"Debugruntime", "\nRunning Debug Code\n", 0, false, debugspace::RuntimeMain, debugspace::FloatProbe},
    {"Intel Compiler SSE3 Optimized Runtime", "\nRunning Intel Compiler Prescott Optimized Code\n", 3,
     false, intelspace::RuntimeMain, intelspace::FloatProbe},
    {"VectorC Compiler (P4) Optimized Runtime", "\nRunning VectorC Compiler Optimized Code\n", 2, false,
     vectorcspace::RuntimeMain, vectorcspace::FloatProbe},
    {"GCC SSE3 Optimized Runtime", "\nRunning GCC Compiler SSE3 Optimized Code\n", 3, true,
     gccspace::RuntimeMain, gccspace::FloatProbe},
    {"Visual C++ .NET Generic Optimized Runtime", "Running Visual C++ .NET Compiler Optimized Code\n", 0,
     false, vcnetspace::RuntimeMain, vcnetspace::FloatProbe},
};

namespace {

// The runtime would have to build the rules itself: a rebuild is due (asked for, or no
// usable dump) and none has been made in this process.
bool RebuildDue() {
  bool ready = gSource.initialised && (gProcess.sourceRebuilt || !gProcess.sourceLoaded);
  return gProcess.rebuild && !ready;
}

// Runtimes 1 to 4 carry no rebuild code: runtime 0 rebuilds the dump first, and the
// runtime then starts on the new one. 0 ready, 1 the rebuild failed, 2 runtime 0 must run
// instead (the new dump could not be loaded).
int RebuildForRuntime(int n, int argc, char** argv) {
  ConsolePrint("The %s cannot rebuild the rules: the Debugruntime rebuilds source.mrg first\n", kRuntimes[n].name);
  gProcess.rebuildOnly = true;
  gProcess.dumpWritten = false;
  int built = RunRuntime(0, argc, argv);
  gProcess.rebuildOnly = false;
  if (built != 0) {
    ConsolePrint("The rules could not be rebuilt from Build/; source.mrg was not replaced\n");
    return 1;
  }
  ReleaseFixedRegion();
  if (!gProcess.dumpWritten || LoadInstalledDump("source.mrg") != 0) {
    ReleaseFixedRegion();
    ConsolePrint("The new source.mrg could not be used: the Debugruntime runs instead and builds the rules itself\n");
    return 2;
  }
  gProcess.rebuild = false;
  return 0;
}

}  // namespace

int RunRuntime(int n, int argc, char** argv) {
  if (n < 0 || n > 4) {
    ConsolePrint("Unknown Runtime\nExiting...\n");
    fflush(stdout);
    ReadChar();
    return 1;
  }
  if (n != 0 && !gProcess.silent && !gProcess.rebuildOnly && RebuildDue()) {
    int handed = RebuildForRuntime(n, argc, argv);
    if (handed == 1) return 1;
    if (handed == 2) {
      gProcess.rebuild = true;
      n = 0;
    }
  }
  const RuntimeInfo& rt = kRuntimes[n];
  if (!gProcess.silent) ConsolePrint("%s", rt.startLine);
  if (rt.needs == 3 && !HasSSE3()) ConsolePrint("WARNING, NO SSE3 Capable CPU Found\n");
  if (rt.needs == 2 && !HasSSE2()) ConsolePrint("WARNING, NO SSE2 Capable FOUND\n");
  // Runtime 3 never took arguments and always reports success.
  static char empty[1] = "";
  static char* none[2] = {empty, nullptr};
  int result = rt.noArguments ? rt.entry(0, none) : rt.entry(argc, argv);
  if (result != 0 && n != 0 && !gProcess.silent && RebuildDue())
    ConsolePrint("Only the Debugruntime rebuilds the rules: start \"%s 0\" and type 300\n", gProcess.programName);
  return rt.noArguments ? 0 : result;
}

void CheckFloatConsistency() {
  double v[5];
  v[0] = kRuntimes[0].probe(10.0);
  if (HasSSE3()) {
    v[1] = kRuntimes[1].probe(10.0);
    v[3] = kRuntimes[3].probe(10.0);
  } else {
    ConsolePrint("Skipping Intel Compiler and GCC as not SSE3 support was found\n");
    v[1] = v[3] = v[0];
  }
  if (HasSSE2()) {
    v[2] = kRuntimes[2].probe(10.0);
  } else {
    ConsolePrint("Skipping VectorC as no SSE2 Support was found\n");
    v[2] = v[0];
  }
  v[4] = kRuntimes[4].probe(10.0);
  for (int i = 1; i < 5; ++i) {
    if (v[i] != v[0]) {
      ConsolePrint("Float not consistent between Compilers !!!\n");
      ConsolePrint("Reproduce might not work correctly !!!\n");
      ConsolePrint("Press a key to continue\n");
      fflush(stdout);
      FlushConsoleInput();
      ReadKey('\r');
      return;
    }
  }
}
