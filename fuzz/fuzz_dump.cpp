// The source dump loader: any bytes as `source.mrg`. A refused dump holds no region and
// leaves only the blocks it had read, which the next load frees; an accepted one is
// released again.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "source/dump.h"
#include "source/dump_loader.h"

namespace {

std::string gPath;

void Release() {
  ReleaseFixedRegion();
  if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
  gProcess.symbolNames = nullptr;
  gProcess.symbolNamesSize = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (fuzz::QuietInRepository(), gPath = fuzz::ScratchDir("dump") + "/source.mrg", true);
  (void)ready;
  if (!fuzz::WriteFile(gPath, data, size)) abort();
  int before = TrackerCount();
  bool refused = LoadInstalledDump(gPath.c_str()) != 0;
  if (refused && gProcess.regionHeld) abort();
  Release();
  // Nothing of a refused dump outlives the release of what it had read.
  if (refused && TrackerCount() != before) abort();
  return 0;
}
