// The source dump loader: any bytes as `source.mrg`. A refused dump leaves nothing
// behind (no region, no block); an accepted one is released again.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "launcher/dump_loader.h"
#include "source/dump.h"

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
  if (LoadInstalledDump(gPath.c_str()) != 0) {
    // A refused dump must leave nothing behind.
    if (gProcess.regionHeld || gProcess.symbolNames || TrackerCount() != before) abort();
  }
  Release();
  return 0;
}
