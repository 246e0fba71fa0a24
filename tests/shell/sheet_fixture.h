// A creature and its sheet's text as the consistency check collects it, for the tests
// of what a person reads.
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "generator/source_fixture.h"
#include "shell/sheet.h"

namespace shell_test {

using namespace debugspace;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A creature's own part of its sheet or export: a companion's begins at its title or START line.
inline std::vector<std::string> Own(const std::vector<std::string>& lines) {
  std::vector<std::string> own;
  for (const std::string& line : lines) {
    for (const char* start : {"│ Vertrauter:", "│ Paladin Mount:", "│ Fiendish Servant:", "│ Tiergefährte (",
                              "STARTFAMILIAR", "STARTMOUNT", "STARTSERVANT", "STARTCOMPANION="})
      if (line.rfind(start, 0) == 0) return own;
    own.push_back(line);
  }
  return own;
}

// The creature and its companions, the master first.
inline std::vector<Char*> WithCompanions(Char* c) {
  std::vector<Char*> all = {c};
  for (Char* k : {c->familiarChar, c->mountChar, c->servantChar})
    if (k) all.push_back(k);
  for (int i = 0; i < c->companionCount; ++i) all.push_back(c->companionChars[i]);
  return all;
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
    CreationFixture::TearDown();
  }
  // Sheets go to `text` rather than a screen (none: to the screen again).
  void Collecting(TextBuffer* text) {
    Silent(text != nullptr);
    Keep(gProcess.consistencyText, text);
  }
  // Sheets are checked line by line against `text`, the first difference shown once.
  void Reference(TextBuffer* text) {
    Keep(gProcess.consistencyReference, text);
    Keep(gProcess.lineInconsistencyShown, false);
  }
  // Debug output labels each random choice.
  void Labels(bool on = true) { Keep(gRandom.labelFlag, on); }
  std::string SheetText(Char* c) {
    TextBuffer* collected = TextCreate("sheet-fixture");
    Collecting(collected);
    PrintChar(c, 1, 1, nullptr);
    std::string text(collected->data, collected->length);
    Collecting(nullptr);
    TextDestroy(collected);
    return text;
  }
  // The creature's own part of its sheet: its companions' sheets follow nested in its frame.
  std::string OwnSheet(Char* c) {
    std::string text = SheetText(c);
    for (const char* start : {"\n│ Vertrauter:", "\n│ Paladin Mount:", "\n│ Fiendish Servant:", "\n│ Tiergefährte ("})
      text = text.substr(0, text.find(start));
    return text;
  }
  Char* c_ = nullptr;
};

}  // namespace shell_test
