// Long runs of the built program that the normal suite cannot afford: the creation loop
// on two threads and the consistency check across the five runtimes. Each stops itself
// once the program reports the wanted count, then looks for leaks, crashes, reported
// inconsistencies and a live block count that grows over the run.
// SOAK_LOOP and SOAK_CONSISTENCY override the counts (100000 and 10000).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/program.h"

namespace {

long CountFromEnv(const char* name, long fallback) {
  const char* v = getenv(name);
  return v && atol(v) > 0 ? atol(v) : fallback;
}

// Numbers that follow `marker`, or with `numberFirst` that start the lines holding it, in output order.
std::vector<long> NumbersAt(const std::string& output, const std::string& marker, bool numberFirst) {
  std::vector<long> values;
  for (size_t at = output.find(marker); at != std::string::npos; at = output.find(marker, at + 1)) {
    size_t line = output.rfind('\n', at);
    values.push_back(atol(output.c_str() + (!numberFirst                ? at + marker.size()
                                            : line == std::string::npos ? 0
                                                                        : line + 1)));
  }
  return values;
}

// Runs the program in runtime 0 until `react` says so (3 h at most) and checks it ended cleanly.
ProgramRun Soak(const char* what, long wanted, const std::string& start, const Reaction& react) {
  WorkDir dir;
  auto began = std::chrono::steady_clock::now();
  ProgramRun run = RunProgramReacting(dir, {"0"}, start, react, 3 * 3600);
  auto took = std::chrono::steady_clock::now() - began;
  printf("%ld creatures in the %s took %ld s\n", wanted, what,
         (long)std::chrono::duration_cast<std::chrono::seconds>(took).count());
  EXPECT_TRUE(EndedWith(run, 0)) << run.output.substr(run.output.size() > 4000 ? run.output.size() - 4000 : 0);
  for (const char* bad :
       {"Insonsistence Found", "Internal Error", "Quitting due to error", "Sanitizer", "runtime error:"})
    EXPECT_FALSE(Has(run, bad)) << bad;
  return run;
}

}  // namespace

TEST(Soak, TwoThreadLoopKeepsItsLiveBlockCount) {
  const long wanted = CountFromEnv("SOAK_LOOP", 100000), kRounds = 10;
  const std::string kLive = "Memmory Allocs after Init: ";
  // The loop is left with "n" and started again each tenth of the way: every batch start
  // prints the live block count, which must not grow from round to round.
  long round = 0;
  ProgramRun run = Soak("loop", wanted, "502\n403\n", [&](const std::string& out, bool* last) {
    if ((long)NumbersAt(out, kLive, false).size() != round + 1) return std::string();  // the restart has not begun
    std::vector<long> loops = NumbersAt(out.substr(out.rfind(kLive)), " Loop (", true);
    if (loops.empty() || loops.back() < wanted / kRounds) return std::string();
    *last = ++round == kRounds;
    return std::string(*last ? "q" : "n403\n");
  });
  // The first sample comes before any creature filled the caches.
  std::vector<long> live = NumbersAt(run.output, kLive, false);
  ASSERT_EQ(live.size(), (size_t)kRounds) << "too few samples of the live block count";
  EXPECT_LE(live.back(), live[1] + 50) << "live blocks grew from " << live[1] << " to " << live.back();
}

TEST(Soak, ConsistencyCheckFindsNoDifference) {
  const long wanted = CountFromEnv("SOAK_CONSISTENCY", 10000);
  ProgramRun run = Soak("consistency check", wanted, "406\n", [&](const std::string& out, bool* last) {
    std::vector<long> checked = NumbersAt(out, " Consistent Chars (", true);
    *last = Has(out, "Insonsistence Found") || (!checked.empty() && checked.back() >= wanted);
    return std::string(*last ? "q\n" : "");
  });
  std::vector<long> checked = NumbersAt(run.output, " Consistent Chars (", true);
  ASSERT_FALSE(checked.empty());
  EXPECT_GE(checked.back(), wanted);
}
