// How much the source dump buys: time from start until the rule database is ready,
// loaded from source.mrg versus rebuilt from Build/, and the benchmark mode's creation
// rate with the compacted layout versus the blocks in allocation order.
//
//   out/bench/dump_bench [seconds per rate run, default 10] [runtime, default 3]
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double untilMarker = -1;  // milliseconds from start until the marker text appeared
  std::string output;
};

// Starts the program in `dir`, writes `input` at once and `later` after `laterMs`,
// and notes when `marker` first shows in the output.
Run Start(const std::string& dir, const std::string& runtime, const std::string& input, const char* marker,
          const std::string& later = "", int laterMs = 0, const char* program = SCHMIEDE_EXE) {
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) abort();
  Clock::time_point start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[1]);
    close(out[0]);
    execl(program, program, runtime.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) abort();
  bool laterSent = later.empty();
  if (laterSent) close(in[1]);
  Run run;
  char buffer[65536];
  for (;;) {
    int waitMs = -1;
    if (!laterSent) {
      auto due = start + std::chrono::milliseconds(laterMs);
      waitMs =
          (int)std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count());
    }
    pollfd p{out[0], POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready == 0 && !laterSent) {
      if (write(in[1], later.data(), later.size()) < 0) abort();
      close(in[1]);
      laterSent = true;
      continue;
    }
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    run.output.append(buffer, (size_t)got);
    if (run.untilMarker < 0 && run.output.find(marker) != std::string::npos)
      run.untilMarker = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  if (!laterSent) close(in[1]);
  close(out[0]);
  int status;
  waitpid(pid, &status, 0);
  return run;
}

std::string NewDir() {
  char pattern[] = "/tmp/schmiede-bench-XXXXXX";
  if (!mkdtemp(pattern)) abort();
  std::string dir = pattern;
  if (symlink(SCHMIEDE_SOURCE_DIR "/Build", (dir + "/Build").c_str()) != 0) abort();
  return dir;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

const char* kReady = "Memmory Allocs after Init";
const char* kPrompt = "q   = Quit";
const std::string kOneCreature = "0 1 1 1 1 0 0 0 0 0\nq\n";

// From the last benchmark line: the batch rate ("... / sec (N))") and the average
// creation time in microseconds ("AVG: T/").
struct Rate {
  int perSecond = 0, averageMicros = 0;
};
Rate LastRate(const std::string& output) {
  Rate rate;
  size_t at = output.rfind(" Loop (");
  if (at == std::string::npos) return rate;
  size_t average = output.find("AVG:", at);
  if (average == std::string::npos) return rate;
  rate.averageMicros = atoi(output.c_str() + average + 4);
  size_t open = output.find(" / sec (", average);
  if (open != std::string::npos) rate.perSecond = atoi(output.c_str() + open + 8);
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? atoi(argv[1]) : 10;
  std::string runtime = argc > 2 ? argv[2] : "3";
  if (seconds < 1) seconds = 1;

  std::string compact = NewDir(), plain = NewDir();
  std::vector<double> rebuild;
  for (int i = 0; i < 3; ++i) {
    unlink((compact + "/source.mrg").c_str());
    Run r = Start(compact, "0", kOneCreature, kReady);
    if (r.output.find("Dumping Source...Done") == std::string::npos) {
      fprintf(stderr, "the rebuild wrote no dump:\n%s\n", r.output.c_str());
      return 1;
    }
    rebuild.push_back(r.untilMarker);
  }
  Run p = Start(plain, "0", kOneCreature, kReady, "", 0, SCHMIEDE_PLAIN_EXE);
  if (p.output.find("Dumping Source...Done") == std::string::npos) return 1;

  std::vector<double> loadReady, loadPrompt;
  for (int i = 0; i < 20; ++i) {
    Run r = Start(compact, runtime, kOneCreature, kReady);
    if (r.output.find("No Source Rebuild required") == std::string::npos) return 1;
    loadReady.push_back(r.untilMarker);
    size_t prompt = r.output.find(kPrompt);
    (void)prompt;
    Run q = Start(compact, runtime, "q\n", kPrompt);
    loadPrompt.push_back(q.untilMarker);
  }

  printf("Start until the rule database is ready (runtime 0 builds, runtime %s loads):\n", runtime.c_str());
  printf("  rebuild from Build/ (runtime 0, median of 3): %9.1f ms\n", Median(rebuild));
  printf("  load source.mrg    (median of 20):            %9.1f ms  (prompt after %.1f ms)\n", Median(loadReady),
         Median(loadPrompt));
  printf("  the load is %.0f times faster\n", Median(rebuild) / std::max(0.001, Median(loadReady)));

  printf("Benchmark mode (405) in runtime %s, %d s per run, rounds alternate:\n", runtime.c_str(), seconds);
  std::vector<double> rates[2], averages[2];
  const std::string dirs[2] = {compact, plain};
  const char* names[2] = {"compacted layout", "allocation order"};
  for (int round = 0; round < 3; ++round)
    for (int k = 0; k < 2; ++k) {
      Rate rate = LastRate(Start(dirs[k], runtime, "405\n", kReady, "q", seconds * 1000).output);
      rates[k].push_back(rate.perSecond);
      averages[k].push_back(rate.averageMicros);
      printf("  %-17s %7d creatures/s, %4d usec per creation\n", names[k], rate.perSecond, rate.averageMicros);
    }
  for (int k = 0; k < 2; ++k)
    printf("  median %-10s %7.0f creatures/s, %4.0f usec per creation\n", names[k] + 0, Median(rates[k]),
           Median(averages[k]));
  std::string cleanup = "rm -rf '" + compact + "' '" + plain + "'";
  return system(cleanup.c_str()) == 0 ? 0 : 1;
}
