// The table of the five runtimes and the one place that starts them: which build runs,
// and the float check across builds.
#include "launcher/runtimes.h"

#include "launcher/cpu.h"
#include "launcher/process.h"
#include "platform/keys.h"

const RuntimeInfo kRuntimes[5] = {
    {"Debugruntime", "\nRunning Debug Code\n", 0, false, debugspace::RuntimeMain, debugspace::FloatProbe},
    {"Intel Compiler SSE3 Optimized Runtime", "\nRunning Intel Compiler Prescott Optimized Code\n", 3, false,
     intelspace::RuntimeMain, intelspace::FloatProbe},
    {"VectorC Compiler (P4) Optimized Runtime", "\nRunning VectorC Compiler Optimized Code\n", 2, false,
     vectorcspace::RuntimeMain, vectorcspace::FloatProbe},
    {"GCC SSE3 Optimized Runtime", "\nRunning GCC Compiler SSE3 Optimized Code\n", 3, true, gccspace::RuntimeMain,
     gccspace::FloatProbe},
    {"Visual C++ .NET Generic Optimized Runtime", "Running Visual C++ .NET Compiler Optimized Code\n", 0, false,
     vcnetspace::RuntimeMain, vcnetspace::FloatProbe},
};

int RunRuntime(int n, int argc, char** argv) {
  if (n < 0 || n > 4) {
    ConsolePrint("Unknown Runtime\nExiting...\n");
    ConsolePrint(
        "There are runtimes 0 to 4: start the program with one of them, or type 100 to 104 at the "
        "prompt.\n");
    WaitForKey(kEndNote);
    return 1;
  }
  const RuntimeInfo& rt = kRuntimes[n];
  if (!gProcess.silent) ConsolePrint("%s", rt.startLine);
  if (rt.needs == 3 && !HasSSE3()) ConsolePrint("WARNING, NO SSE3 Capable CPU Found\n");
  if (rt.needs == 2 && !HasSSE2()) ConsolePrint("WARNING, NO SSE2 Capable FOUND\n");
  if (rt.noArguments) {
    // This build never took arguments; it always reports success.
    static char empty[1] = "";
    static char* none[2] = {empty, nullptr};
    rt.entry(0, none);
    return 0;
  }
  return rt.entry(argc, argv);
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
