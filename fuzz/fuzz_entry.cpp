// The input line: ten numbers and command codes. A line the prompt accepts for a batch
// must have every field in range, whatever the text was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "random/settings.h"
#include "shell/entry.h"

using namespace debugspace;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (fuzz::QuietInRepository(), true);
  (void)quiet;
  // The prompt reads at most 1023 characters into a terminated buffer.
  std::string line(reinterpret_cast<const char*>(data), size < 1023 ? size : 1023);
  int v[kFieldCount] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 2};
  if (!DecodeInputLine(line.c_str(), v)) return 0;
  InputFields in;
  in.CreatureType = v[0];
  in.CRMin = v[1];
  in.CRMax = v[2];
  in.AmountMin = v[3];
  in.AmountMax = v[4];
  gSettings.DrawType = v[5];
  gSettings.ChooseClass = v[6];
  gSettings.calctype = v[7];
  in.worktype = v[8];
  int argument = -1;
  gProcess.threadCount = 1;
  LineAction action = DecodeCommand(in, &argument);
  switch (action) {
    case LineAction::kRun:
      if (in.CRMin > in.CRMax || in.AmountMin > in.AmountMax || in.CRMin < 0 || in.CRMax > 50 || in.AmountMin < 0 ||
          in.AmountMax > 99 || in.worktype < 0 || in.worktype > 6)
        abort();
      break;
    case LineAction::kSwitchRuntime:
      if (argument < 0 || argument > 99) abort();
      break;
    case LineAction::kThreads:
      if (argument < 1 || argument > 99) abort();
      break;
    case LineAction::kLogging:
      if (argument != 0 && argument != 1) abort();
      break;
    case LineAction::kRules:
      if (argument < 0 || argument > 99) abort();
      break;
    case LineAction::kInvalid:
      break;
  }
  gProcess.rebuild = false;
  return 0;
}
