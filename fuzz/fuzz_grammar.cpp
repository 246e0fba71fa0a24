// The grammar loader: any bytes as the grammar file named by a fixed configuration. A
// grammar that loads is then used to match and compile a few shipped scripts, so a
// tree the loader let through must also be safe to walk.
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "generator/script_binding.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/matcher.h"

using namespace debugspace;

namespace {

const char* const kScripts[] = {
    "if (a > 1) { Text('x'); }",
    "a = 2; while (a < 5) { a = (a + 1); }",
    "AddFeat(\"Waffenfokus\", \"Langschwert\");",
    "/* note */ b = ((3 * 4) - 1);",
};

std::string gGrammarPath;

void Configure() {
  fuzz::QuietInRepository();
  std::string dir = fuzz::ScratchDir("grammar");
  gGrammarPath = dir + "/g.bnf";
  std::string cfg = "[Config]\nCaseSensitive=1\nSeperatorBytes=32,9,10,13\nComment=/*,*/\nGrammarFile=" + gGrammarPath +
                    "\nInitSymbol=order_block\nCompressedSymbol=identifier, val, string\n";
  std::string cfgPath = dir + "/bnf.cfg";
  if (!fuzz::WriteFile(cfgPath, reinterpret_cast<const uint8_t*>(cfg.data()), cfg.size())) abort();
  static std::string keep = cfgPath;
  SetGrammarConfigPath(keep.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool configured = (Configure(), true);
  (void)configured;
  if (!fuzz::WriteFile(gGrammarPath, data, size)) abort();
  int32_t serial = TrackerNextSerial();
  try {
    if (ReadGrammarConfig() == 0 && RedirectCreatureScripts() == 0) {
      for (const char* script : kScripts) {
        uint8_t* out = nullptr;
        if (bnfparse(script, &out) == 0) freeloga(out);
      }
    }
  } catch (const Error&) {
    ReleaseMatcher();
    fuzz::SweepTrackedSince(serial);
  }
  ReleaseRedirection();
  ReleaseMatcher();
  UnloadGrammar();
  return 0;
}
