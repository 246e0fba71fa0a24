// Rule scripts: matching against the shipped grammar and both compilation passes. A
// script that does not fit is refused with its message; nothing may crash or leak.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_common.h"
#include "generator/script_binding.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/matcher.h"

using namespace debugspace;

namespace {

// Names resolve to a code or fail by a stable rule, so both branches of the second pass run.
int32_t Resolve(NameTable table, const char* name) {
  size_t n = 0;
  while (name[n]) ++n;
  return n % 3 == 0 ? -1 : (int32_t)(n + (size_t)table);
}

bool LoadShippedGrammar() {
  fuzz::QuietInRepository();
  SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
  if (ReadGrammarConfig() != 0 || RedirectCreatureScripts() != 0) {
    fprintf(stderr, "shipped grammar did not load\n");
    abort();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool loaded = LoadShippedGrammar();
  (void)loaded;
  // Scripts reach the compiler as terminated strings.
  std::string text(reinterpret_cast<const char*>(data), size);
  uint8_t* out = nullptr;
  size_t length = 0;
  int32_t serial = TrackerNextSerial();
  try {
    if (bnfparse(text.c_str(), &out, &length) == 0) {
      OptimizeScript2(&out, Resolve);
      freeloga(out);
    }
  } catch (const Error&) {
    ReleaseMatcher();
    fuzz::SweepTrackedSince(serial);
  }
  ReleaseMatcher();
  return 0;
}
