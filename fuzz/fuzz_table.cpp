// The rule tables: any bytes as one table file (the first byte picks which), the
// others as shipped, then the reading part of the rule database build: reader, row
// handlers and the scripts they compile. A bad table ends in its message
// (the error exception in this build), never in a crash, hang or leak.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_common.h"
#include "generator/script_binding.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/matcher.h"
#include "source/reader.h"
#include "source/records.h"
#include "source/source_init.h"
#include "source/tables.h"

using namespace debugspace;

namespace {

const char* const kTables[] = {
    "Domains.txt",   "MonsterTypes.txt", "Regions.txt",  "Schools.txt",    "Size.txt",     "Abbilities.txt",
    "Templates.txt", "Specials.txt",     "Boni.txt",     "Characters.txt", "Races.txt",    "Feats.txt",
    "Skills.txt",    "Spells.txt",       "Spells2.txt",  "Powers.txt",     "Effects.txt",  "Monsters.txt",
    "Equipment.txt", "Weapons.txt",      "Specific.txt", "StartMoney.txt", "Treasure.txt",
};
constexpr size_t kTableCount = sizeof kTables / sizeof kTables[0];
constexpr int kMonsterLines = 40;

constexpr size_t kFirstClassTable = 9, kFirstItemTable = 18, kFirstNumberTable = 21;

std::string gData;  // Build/Data of the scratch tree

// The reading part of the rule database build, as far as the fuzzed table's stage: the
// minor tables, the class tables (which look up minor rows), the item tables, the two
// number tables. The later steps (profiles, cross references, compacting scripts) cost
// most of a build and see tables only through what the row handlers stored.
void ReadStages(int last) {
  int failed = ReadMinorTables();
  if (!failed && last >= 1) {
    gSource.attributeNames = NewRecords<NamedSource>(kAttributes, "SourceInit-Attributes");
    for (int i = 0; i < kAttributes; ++i) gSource.attributeNames[i].name.Assign("Stärke");
    failed = ReadClassTables();
  }
  if (!failed && last >= 2) failed = ReadItemTables();
  if (!failed && last >= 3) {
    int32_t values[51];
    ReadIntArray("Build/Data/StartMoney.txt", values, 51);
    ReadIntArray("Build/Data/Treasure.txt", values, 51);
  }
  FreeReadingState();
  gSource.initialised = true;
  FreeSource();
}

void Link(const std::string& from, const std::string& to) {
  unlink(to.c_str());
  if (symlink(from.c_str(), to.c_str()) != 0) abort();
}

// What stands in a table file of the scratch tree: the shipped table (the monster
// table cut to its first rows, the full one would cost most of every run), only its
// two header lines (a table read after the fuzzed one: no rows to cost time), or the
// fuzz input.
enum class Content { kNone, kShipped, kHeader, kInput };
Content gContent[kTableCount];

void Put(size_t table, Content content) {
  const char* name = kTables[table];
  std::string shipped = std::string(SCHMIEDE_SOURCE_DIR "/Build/Data/") + name;
  std::string path = gData + "/" + name;
  gContent[table] = content;
  if (content == Content::kShipped && std::string(name) != "Monsters.txt") return Link(shipped, path);
  unlink(path.c_str());
  std::ifstream in(shipped);
  std::ofstream out(path, std::ios::trunc);
  int lines = content == Content::kHeader ? 2 : kMonsterLines;
  std::string line;
  for (int i = 0; i < lines && std::getline(in, line); ++i) out << line << '\n';
}

// A copy of Build/ (links, one cut table) as working directory, and the shipped grammar.
void Prepare() {
  fuzz::QuietInRepository();
  std::string root = fuzz::ScratchDir("table");
  std::string build = root + "/Build";
  mkdir(build.c_str(), 0700);
  gData = build + "/Data";
  mkdir(gData.c_str(), 0700);
  for (const char* entry : {"Script.bnf", "bnf.cfg", "Profiles.txt", "MonsterText"})
    Link(std::string(SCHMIEDE_SOURCE_DIR "/Build/") + entry, build + "/" + entry);
  if (chdir(root.c_str()) != 0) abort();
  SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
  if (ReadGrammarConfig() != 0 || RedirectCreatureScripts() != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool prepared = (Prepare(), true);
  (void)prepared;
  if (size == 0) return 0;
  size_t index = data[0] % kTableCount;
  for (size_t t = 0; t < kTableCount; ++t) {
    Content wanted = t < index ? Content::kShipped : Content::kHeader;
    if (t != index && gContent[t] != wanted) Put(t, wanted);
  }
  std::string path = gData + "/" + kTables[index];
  unlink(path.c_str());
  if (!fuzz::WriteFile(path, data + 1, size - 1)) abort();
  gContent[index] = Content::kInput;
  int32_t serial = TrackerNextSerial();
  try {
    ReadStages(index < kFirstClassTable ? 0 : index < kFirstItemTable ? 1 : index < kFirstNumberTable ? 2 : 3);
  } catch (const Error&) {
    ReleaseMatcher();
    FreeReadingState();
    gSource.initialised = true;
    FreeSource();
    fuzz::SweepTrackedSince(serial);
  }
  return 0;
}
