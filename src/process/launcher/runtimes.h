// The five builds of the generator core and how the launcher starts them.
#pragma once

#define SCHMIEDE_DECLARE_RUNTIME(ns)      \
  namespace ns {                          \
  int RuntimeMain(int argc, char** argv); \
  double FloatProbe(double x);            \
  }
SCHMIEDE_DECLARE_RUNTIME(debugspace)
SCHMIEDE_DECLARE_RUNTIME(intelspace)
SCHMIEDE_DECLARE_RUNTIME(vectorcspace)
SCHMIEDE_DECLARE_RUNTIME(gccspace)
SCHMIEDE_DECLARE_RUNTIME(vcnetspace)
#undef SCHMIEDE_DECLARE_RUNTIME

struct RuntimeInfo {
  const char* name;       // as the input prompt lists it
  const char* startLine;  // printed when the runtime starts
  int needs;              // 0 nothing, 2 SSE2, 3 SSE3
  bool noArguments;       // started with argument count 0 and {""}
  int (*entry)(int, char**);
  double (*probe)(double);
};

extern const RuntimeInfo kRuntimes[5];

// Starts runtime n; 1 for an unknown number.
int RunRuntime(int n, int argc, char** argv);
void CheckFloatConsistency();
