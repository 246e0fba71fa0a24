// A creature and its sheet's text as the consistency check collects it, for the tests
// of what a person reads.
#pragma once
#include <cstdio>
#include <string>

#include "generator/source_fixture.h"
#include "shell/sheet.h"

namespace shell_test {

using namespace debugspace;

// The creature's export records as the export file holds them (its companions' follow
// nested after its own).
inline std::string ExportText(Char* c) {
  FILE* f = tmpfile();
  PrintChar(c, 1, 1, f);
  std::string text(static_cast<size_t>(ftell(f)), '\0');
  rewind(f);
  text.resize(fread(text.data(), 1, text.size(), f));
  fclose(f);
  return text;
}

class SheetFixture : public generator_test::CreationFixture {
 protected:
  void SetUp() override {
    CreationFixture::SetUp();
    c_ = new Char();
    Wire(c_);
  }
  void TearDown() override {
    FreeCharBonuses(c_);
    delete c_;
    gProcess.silent = false;
    CreationFixture::TearDown();
  }
  std::string SheetText(Char* c) {
    gProcess.silent = true;
    gProcess.consistencyText = TextCreate("sheet-fixture");
    PrintChar(c, 1, 1, nullptr);
    std::string text(gProcess.consistencyText->data, gProcess.consistencyText->length);
    TextDestroy(gProcess.consistencyText);
    gProcess.consistencyText = nullptr;
    gProcess.silent = false;
    return text;
  }
  Char* c_ = nullptr;
};

}  // namespace shell_test
