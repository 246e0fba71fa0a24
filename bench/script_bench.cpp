// Matching and compiling the script corpus (what every rebuild does for every script
// of every table) and interpreting a compiled loop, in the fastest runtime.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/isaac.h"
#include "script/compile.h"
#include "script/corpus_data.h"
#include "script/grammar.h"
#include "script/interp.h"

using namespace gccspace;

namespace {

// Loads the shipped grammar once; the benchmarks share it.
bool LoadGrammar() {
  static bool loaded = [] {
    if (chdir(SCHMIEDE_SOURCE_DIR) != 0) return false;
    SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
    return ReadGrammarConfig() == 0 && RedirectCreatureScripts() == 0;
  }();
  return loaded;
}

void BM_MatchAndCompileCorpus(benchmark::State& state) {
  if (!LoadGrammar()) {
    state.SkipWithError("grammar does not load");
    return;
  }
  std::vector<const corpus::CorpusScript*> scripts = corpus::All();
  size_t bytes = 0;
  for (const auto* s : scripts) bytes += strlen(s->script);
  for (auto _ : state) {
    for (const auto* s : scripts) {
      uint8_t* out = nullptr;
      if (bnfparse(s->script, &out) != 0) {
        state.SkipWithError(s->name);
        return;
      }
      freeloga(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)scripts.size());
  state.SetBytesProcessed(state.iterations() * (int64_t)bytes);
  state.counters["scripts"] = (double)scripts.size();
}
BENCHMARK(BM_MatchAndCompileCorpus)->Unit(benchmark::kMillisecond);

void BM_InterpretLoop(benchmark::State& state) {
  if (!LoadGrammar()) {
    state.SkipWithError("grammar does not load");
    return;
  }
  uint8_t* script = nullptr;
  const char* text =
      "s = 0; for (i = 0; i < 100; i++) { if ((i % 3) == 0) { s += i; } else if (i > 50) { s -= 1; } "
      "else { s = Max(s, i); } }";
  if (bnfparse(text, &script) != 0) {
    state.SkipWithError("loop script does not compile");
    return;
  }
  IsaacState rng{};
  std::vector<uint32_t> seed(512, 1);
  IsaacRange(&rng, 0, 0, true, seed.data());
  SetScriptRandomState(&rng);
  for (auto _ : state) benchmark::DoNotOptimize(RunScript(nullptr, nullptr, nullptr, script, "Bench", -1, nullptr));
  state.SetItemsProcessed(state.iterations() * 100);  // loop passes
  freeloga(script);
}
BENCHMARK(BM_InterpretLoop);

}  // namespace

BENCHMARK_MAIN();
