// The random draw is the hot path of every creation; these measure it in the
// fastest runtime.
#include <benchmark/benchmark.h>

#include <vector>

#include "launcher/process.h"
#include "random/decisions.h"
#include "random/isaac.h"

using namespace gccspace;

namespace {

IsaacState Seeded() {
  IsaacState s{};
  std::vector<uint32_t> seed(512);
  for (uint32_t i = 0; i < 512; ++i) seed[i] = 3 * i;
  IsaacRange(&s, 0, 0, true, seed.data());
  return s;
}

void BM_IsaacRange(benchmark::State& st) {
  IsaacState s = Seeded();
  for (auto _ : st) benchmark::DoNotOptimize(IsaacRange(&s, 1, 20));
}
BENCHMARK(BM_IsaacRange);

void BM_RandomIsaacMode(benchmark::State& st) {
  IsaacState s = Seeded();
  gRandom.isaacMode = true;
  for (auto _ : st) benchmark::DoNotOptimize(random(&s, 1, 20, "W20"));
}
BENCHMARK(BM_RandomIsaacMode);

void BM_AdvancedRandIsaacMode(benchmark::State& st) {
  IsaacState s = Seeded();
  gRandom.isaacMode = true;
  std::vector<int32_t> weights(st.range(0));
  for (size_t i = 0; i < weights.size(); ++i) weights[i] = (int32_t)(i % 7);
  for (auto _ : st)
    benchmark::DoNotOptimize(AdvancedRand(&s, (int)weights.size(), weights.data(), 4, nullptr, 0, "", 0, false));
}
BENCHMARK(BM_AdvancedRandIsaacMode)->Arg(8)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
