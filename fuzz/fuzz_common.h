// Shared set-up of the fuzz targets: quiet output, the repository as working
// directory, a scratch directory, and the sweep of what a rejected input left.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"

namespace fuzz {

// Output off (the targets print thousands of rejection lines otherwise; FUZZ_VERBOSE=1
// keeps it for looking at one input) and the
// shipped Build/ reachable by its relative paths.
inline void QuietInRepository() {
  if (!getenv("FUZZ_VERBOSE")) SetOutputLevels(-1, -1);
  if (chdir(SCHMIEDE_SOURCE_DIR) != 0) {
    perror("chdir " SCHMIEDE_SOURCE_DIR);
    abort();
  }
}

// A private directory for the files a target writes; removed at exit by the OS cleaner
// of /tmp, so several targets can run at once.
inline std::string ScratchDir(const char* target) {
  std::string dir = "/tmp/schmiede-fuzz-" + std::string(target) + "-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  return dir;
}

inline bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

// A rejected input ends in the error exception (QuitOnError raises it in this build)
// somewhere inside a row or a loader; the program would end there, so blocks it still
// held are no leak of the input. They are released here: every tracked block younger
// than `serial`. Caches that outlive one input (the matcher's) must be released by the
// caller first. The list is a static array: operator new is tracked too, so a growing
// container would sweep its own buffer.
inline void SweepTrackedSince(int32_t serial) {
  static void* young[kMaxTrackedBlocks];
  int n = 0;
  for (int i = 1; i <= TrackerCount(); ++i) {
    const TrackedBlock* b = TrackerEntry(i);
    if (b && b->serial >= serial) young[n++] = b->pointer;
  }
  for (int i = 0; i < n; ++i) freeloga(young[i]);
}

}  // namespace fuzz
