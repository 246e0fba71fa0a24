// Long runs of the built program that the normal suite cannot afford: the creation loop
// on two threads and the consistency check across the five runtimes. Each stops itself
// once the program reports the wanted count, then looks for leaks, crashes, reported
// inconsistencies and a live block count that grows over the run.
// SOAK_LOOP and SOAK_CONSISTENCY override the counts (100000 and 10000).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "e2e/program.h"

namespace {

int CountFromEnv(const char* name, int fallback) {
  const char* v = getenv(name);
  return v && atoi(v) > 0 ? atoi(v) : fallback;
}

// Starts the program in `dir` with `start` on standard input and reads its output; after
// each complete line `next(output, &last)` may return input to send, and once it set
// `last` the input is closed and the run waits for the end. A run that does not get
// there within the timeout is killed (exitCode -1, timedOut).
ProgramRun RunSteps(const WorkDir& dir, const std::string& start,
                    const std::function<std::string(const std::string&, bool*)>& next, int timeoutSeconds) {
  ProgramRun run;
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) return run;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(127);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    close(in[0]);
    close(in[1]);
    execl(SCHMIEDE_EXE, SCHMIEDE_EXE, "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(in[0]);
  signal(SIGPIPE, SIG_IGN);
  if (write(in[1], start.data(), start.size()) != (ssize_t)start.size()) ADD_FAILURE() << "input not written";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool stopped = false;
  size_t checked = 0;
  char buf[65536];
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    ssize_t got = read(out[0], buf, sizeof buf);
    if (got <= 0) break;
    run.output.append(buf, (size_t)got);
    // Only complete lines are judged, and each only once.
    size_t end = run.output.rfind('\n');
    if (!stopped && end != std::string::npos && end + 1 > checked) {
      checked = end + 1;
      std::string send = next(run.output.substr(0, checked), &stopped);
      if (!send.empty() && write(in[1], send.data(), send.size()) < 0) break;
      if (stopped) {
        close(in[1]);
        in[1] = -1;
      }
    }
  }
  if (in[1] >= 0) close(in[1]);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

// Numbers that follow `marker` at line starts, in output order.
std::vector<long> NumbersAfter(const std::string& output, const std::string& marker, bool numberFirst) {
  std::vector<long> values;
  for (size_t at = output.find(marker); at != std::string::npos; at = output.find(marker, at + 1)) {
    if (numberFirst) {
      size_t line = output.rfind('\n', at);
      values.push_back(atol(output.c_str() + (line == std::string::npos ? 0 : line + 1)));
    } else {
      values.push_back(atol(output.c_str() + at + marker.size()));
    }
  }
  return values;
}

void ExpectClean(const ProgramRun& run) {
  EXPECT_FALSE(run.timedOut) << run.output.substr(run.output.size() > 4000 ? run.output.size() - 4000 : 0);
  EXPECT_TRUE(EndedWith(run, 0));
  for (const char* bad : {"Memmory Leak Found", "Insonsistence Found", "Internal Error", "Quitting due to error",
                          "Sanitizer", "runtime error:"})
    EXPECT_EQ(run.output.find(bad), std::string::npos) << bad;
}

}  // namespace

TEST(Soak, TwoThreadLoopKeepsItsLiveBlockCount) {
  const long wanted = CountFromEnv("SOAK_LOOP", 100000);
  constexpr int kRounds = 10;
  WorkDir dir;
  auto start = std::chrono::steady_clock::now();
  // The loop is left with "n" and started again each tenth of the way: every batch start
  // prints the live block count, which must not grow from round to round.
  int round = 0;
  ProgramRun run = RunSteps(
      dir, "502\n403\n",
      [&](const std::string& out, bool* last) {
        if (NumbersAfter(out, "Memmory Allocs after Init: ", false).size() != (size_t)round + 1)
          return std::string();  // the restart asked for has not begun yet
        size_t since = out.rfind("Memmory Allocs after Init: ");
        std::vector<long> loops = NumbersAfter(since == std::string::npos ? out : out.substr(since), " Loop (", true);
        if (loops.empty() || loops.back() < wanted / kRounds) return std::string();
        *last = ++round == kRounds;
        return std::string(*last ? "q" : "n403\n");
      },
      3 * 3600);
  long seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  printf("%ld creatures in the loop took %ld s\n", wanted, seconds);
  ExpectClean(run);
  // The first sample comes before any creature filled the caches.
  std::vector<long> live = NumbersAfter(run.output, "Memmory Allocs after Init: ", false);
  ASSERT_EQ(live.size(), (size_t)kRounds) << "too few samples of the live block count";
  EXPECT_LE(live.back(), live[1] + 50) << "live blocks grew from " << live[1] << " to " << live.back();
}

TEST(Soak, ConsistencyCheckFindsNoDifference) {
  const long wanted = CountFromEnv("SOAK_CONSISTENCY", 10000);
  WorkDir dir;
  auto start = std::chrono::steady_clock::now();
  ProgramRun run = RunSteps(
      dir, "406\n",
      [&](const std::string& out, bool* last) {
        std::vector<long> checked = NumbersAfter(out, " Consistent Chars (", true);
        *last = out.find("Insonsistence Found") != std::string::npos || (!checked.empty() && checked.back() >= wanted);
        return std::string(*last ? "q\n" : "");
      },
      3 * 3600);
  long seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  printf("%ld creatures in the consistency check took %ld s\n", wanted, seconds);
  ExpectClean(run);
  std::vector<long> checked = NumbersAfter(run.output, " Consistent Chars (", true);
  ASSERT_FALSE(checked.empty());
  EXPECT_GE(checked.back(), wanted);
}
