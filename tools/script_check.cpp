// Checks rule scripts against the shipped grammar: one script per line of standard
// input (run from the repository root). Prints "OK" or the matcher's message per line;
// exits 1 when any script fails.
#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "script/compile.h"
#include "script/grammar.h"

int main() {
  SetGrammarConfigPath("Build/bnf.cfg");
  if (ReadGrammarConfig() != 0 || gccspace::RedirectSymbols() != 0) return 2;
  int failed = 0, line = 0;
  std::string text;
  int c;
  while (true) {
    text.clear();
    while ((c = getchar()) != EOF && c != '\n') text += (char)c;
    if (c == EOF && text.empty()) break;
    ++line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    uint8_t* out = nullptr;
    if (gccspace::bnfparse(text.c_str(), &out) == 0) {
      printf("%d: OK\n", line);
      freeloga(out);
    } else {
      printf("%d: FAILED: %s\n", line, text.c_str());
      ++failed;
    }
  }
  return failed ? 1 : 0;
}
