// Files the program reads back: reproduction files in save/ and the source dump.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

constexpr size_t kRecordWords = 8216;
constexpr int kSeedMode = 49, kStreamMode = 48;
constexpr size_t kSeedNextWord = 23 + 516, kStreamPosWord = 8215;

std::string Record(int mode, int32_t seedNext = 0, int32_t streamPos = 0, size_t word = 0, int32_t value = 0) {
  std::vector<int32_t> words(kRecordWords, 0);
  words[0] = mode;
  words[1] = 1;
  words[8] = -1;
  words[17] = -100;
  for (size_t i = 23; i < kSeedNextWord; ++i) words[i] = int32_t(i * 2654435761u);
  words[kSeedNextWord] = seedNext;
  words[kStreamPosWord] = streamPos;
  if (word) words[word] = value;
  std::string bytes;
  for (int32_t w : words) bytes += Le32(uint32_t(w));
  return bytes;
}

std::string RepFile(int32_t count, const std::vector<std::string>& records, const char* magic = "MRGR",
                    int32_t cr = 3) {
  std::string bytes = std::string(magic, 4) + Le32(uint32_t(count)) + Le32(uint32_t(cr));
  for (const std::string& r : records) bytes += r;
  return bytes;
}

class ReproductionFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(mkdir(dir_.File("save").c_str(), 0755), 0); }
  void Put(const std::string& name, const std::string& bytes) { dir_.Write("save/" + name, bytes); }
  ProgramRun Reproduce(const std::string& typed) {
    return RunProgram(dir_, {"0"}, ("404\n" + typed + "\nq\n").c_str());
  }
  WorkDir dir_;
};

TEST_F(ReproductionFiles, GoodFileLoadsWithOrWithoutExtension) {
  std::string file = RepFile(2, {Record(kSeedMode, 256), Record(kSeedMode, 0)});
  Put("gut.rep", file);
  Put(".hidden", "");

  ProgramRun bare = Reproduce("gut");
  ASSERT_TRUE(EndedWith(bare, 0));
  EXPECT_NE(bare.output.find("Gespeicherte Dateien:\n"), std::string::npos) << bare.output;
  EXPECT_NE(bare.output.find("\tgut.rep\n"), std::string::npos);
  EXPECT_EQ(bare.output.find(".hidden"), std::string::npos);
  EXPECT_NE(bare.output.find("Dateinamen zum reproduzieren eingeben! "), std::string::npos);
  EXPECT_NE(bare.output.find("Error: File not found: gut\n\tTrying gut.rep\n"), std::string::npos);
  // Both creatures are rebuilt and shown.
  EXPECT_NE(bare.output.find("Generating Char 1 (Thread: 0)\n"), std::string::npos);
  EXPECT_NE(bare.output.find("[Q]  : Beenden"), std::string::npos);

  ProgramRun full = Reproduce("gut.rep");
  ASSERT_TRUE(EndedWith(full, 0));
  EXPECT_EQ(full.output.find("File not found"), std::string::npos) << full.output;
  EXPECT_NE(full.output.find("Generating Char 1 (Thread: 0)\n"), std::string::npos);
  EXPECT_EQ(dir_.Read("save/gut.rep"), file);
}

// Only the first word counts, and a backslash must never reach the file system as a separator.
TEST_F(ReproductionFiles, NameIsFirstWordWithBackslashAsDash) {
  Put("a-b.rep", RepFile(1, {Record(kSeedMode)}));
  ProgramRun run = Reproduce("a\\b.rep and more");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(run.output.find("File not found"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Generating Char 0 (Thread: 0)\n"), std::string::npos);
}

TEST_F(ReproductionFiles, MissingFileIsReported) {
  // An empty name is no exception: it is looked for as typed and with ".rep".
  for (const char* name : {"nothing", ""}) {
    ProgramRun run = Reproduce(name);
    ASSERT_TRUE(EndedWith(run, 0));
    std::string n = name;
    EXPECT_NE(
        run.output.find("Error: File not found: " + n + "\n\tTrying " + n + ".rep\nFatal Error: Could not open File\n"),
        std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\nRestarting\n"), std::string::npos);
  }
}

TEST_F(ReproductionFiles, DamagedFilesAreRefused) {
  std::string good = RepFile(2, {Record(kSeedMode), Record(kStreamMode)});
  struct Case {
    const char* name;
    std::string bytes;
    const char* says = "eingeben! Reproduce File is damaged: ";
  };
  const Case cases[] = {
      {"wrong_magic", RepFile(1, {Record(kSeedMode)}, "MRGS"), "File is not a MRG Reproduce File\nExiting\n"},
      {"short_by_one", good.substr(0, good.size() - 1)},
      {"one_extra", good + "x"},
      {"header_only", RepFile(2, {})},
      {"header_cut", good.substr(0, 6)},
      {"count_zero", RepFile(0, {})},
      {"count_huge", RepFile(1000000, {Record(kSeedMode)})},
      {"count_negative", RepFile(-1, {Record(kSeedMode)})},
      {"mode_garbage", RepFile(1, {Record(7)})},
      {"stream_pos_high", RepFile(1, {Record(kStreamMode, 0, 8192)})},
      {"stream_pos_negative", RepFile(1, {Record(kStreamMode, 0, -1)})},
      {"seed_next_high", RepFile(1, {Record(kSeedMode, 257)})},
      {"seed_next_negative", RepFile(1, {Record(kSeedMode, -1)})},
      // The header CR and the creation parameters the creation indexes tables with.
      {"batch_cr_minus_one", RepFile(2, {Record(kSeedMode), Record(kSeedMode, 0, 0, 3, 2)}, "MRGR", -1)},
      {"batch_cr_huge", RepFile(1, {Record(kSeedMode)}, "MRGR", 0x40000000)},
      {"cr_range_reversed", RepFile(1, {Record(kSeedMode, 0, 0, 2, 9)})},
      {"cr_above_50", RepFile(1, {Record(kSeedMode, 0, 0, 3, 51)})},
      {"kind_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 7, 5)})},
      {"race_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 14, 100000)})},
      {"monster_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 8, 1 << 30)})},
      {"weighting_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 19, 7)})},
      {"fixed_abilities", RepFile(1, {Record(kSeedMode, 0, 0, 6, 3)})},
      {"treasure_negative", RepFile(1, {Record(kSeedMode, 0, 0, 15, -4)})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(std::string(c.name) + ".rep", c.bytes);
    ProgramRun run = Reproduce(std::string(c.name) + ".rep");
    ASSERT_TRUE(EndedWith(run, 0));
    // With piped input the typed name is not echoed, so the message follows the prompt text.
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Generating Char"), std::string::npos);
    EXPECT_NE(run.output.find("\nRestarting\n"), std::string::npos);
    EXPECT_EQ(dir_.Read("save/" + std::string(c.name) + ".rep"), c.bytes);
  }
}

// A recorded answer is checked as a typed one: a damaged one ends the replay with the
// message for an inconsistent reproduction (and says that it waits), never used as an index.
TEST_F(ReproductionFiles, DamagedRecordedAnswerEndsAsInconsistent) {
  ProgramRun made = RunProgram(dir_, {"0"}, "0 5 5 1 1 0 1 0 0 0\n-2\nvmanuell\nq\n");
  ASSERT_TRUE(EndedWith(made, 0));
  std::string file = dir_.Read("save/manuell.rep");
  ASSERT_EQ(file.size(), 12 + kRecordWords * 4);
  // The first answer is the region, a weighted pick: now far outside its table.
  file.replace(12 + 4 * 24, 4, Le32(1u << 30));
  Put("kaputt.rep", file);
  ProgramRun run = Reproduce("kaputt.rep");
  ASSERT_TRUE(EndedWith(run, 1));
  EXPECT_NE(run.output.find("Inconsistent Reproduction, maybe the Saved file corresponds to an old version?...\n"
                            "Quitting due to error\nTaste drücken zum Beenden\n"),
            std::string::npos)
      << run.output;
}

// Typed names become names the reproduce prompt (one word, hidden files not listed) can
// read back, and say so; none is fatal. Exports share the rule.
TEST_F(ReproductionFiles, TypedNamesRoundTrip) {
  const std::string longName(300, 'n');
  ProgramRun run = RunProgram(dir_, {"0"},
                              ("0 5 5 1 1 0 0 0 0 0\nvmein treffen\nv..\nv" + longName +
                               "\nxmein export\nn404\n"
                               "mein_treffen.rep\nq\nq\n")
                                  .c_str());
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(run.output.find("Fatal Error"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("File name changed to \"mein_treffen.rep\""), std::string::npos) << run.output;
  EXPECT_TRUE(dir_.Exists("save/__.rep"));
  EXPECT_TRUE(dir_.Exists("save/" + longName.substr(0, 200) + ".rep"));
  EXPECT_TRUE(dir_.Exists("export/mein_export.exp"));
  EXPECT_NE(run.output.find("\t__.rep\n"), std::string::npos);
  EXPECT_EQ(run.output.find("File not found"), std::string::npos);
  EXPECT_NE(run.output.find("Generating Char 0 (Thread: 0)", run.output.find("Gespeicherte Dateien")),
            std::string::npos);
}

// A save or export cut off by a signal leaves its temporary; the next start removes it.
TEST_F(ReproductionFiles, LeftoverTemporariesAreRemovedAtStart) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  Put("halb.rep.tmp", "MRGR");
  dir_.Write("export/halb.exp.tmp", "x");
  ProgramRun run = RunProgram(dir_, {"0"}, "404\nnichts\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(run.output.find("halb"), std::string::npos) << run.output;
  EXPECT_FALSE(dir_.Exists("save/halb.rep.tmp"));
  EXPECT_FALSE(dir_.Exists("export/halb.exp.tmp"));
}

// A stalled host makes many creations of a loop "unexpectedly long": each thread keeps its
// slowest one in a file of its own instead of one file per event.
TEST_F(ReproductionFiles, LongCreationsOfALoopAreBounded) {
  const char* stall =
      "(printf '502\\n403\\n'; sleep 3.5; printf q) | \"$@\" & p=$!; sleep 1; i=0; "
      "while [ $i -lt 8 ]; do kill -STOP $p; sleep 0.2; kill -CONT $p; sleep 0.1; i=$((i+1)); done; wait $p";
  Put("long.rep", "alt");
  dir_.Write("source.mrg", ShippedDump());
  ProgramRun run = RunProgramUnder({"sh", "-c", stall, "sh"}, dir_, {"3"}, nullptr, 60);
  ASSERT_TRUE(EndedWith(run, 0));
  // A creation slower than a stall (a sanitizer build) never looks long.
  if (run.output.find("Creation took unecspected long") == std::string::npos) GTEST_SKIP() << run.output;
  EXPECT_EQ(dir_.Read("save/long.rep"), "alt");
  int files = 0;
  for (const char* name : {"long0.rep", "long1.rep", "long2.rep", "long3.rep"})
    files += dir_.Exists(std::string("save/") + name);
  EXPECT_GE(files, 1);
  EXPECT_FALSE(dir_.Exists("save/long2.rep"));
}

// Covers the fixed-address mapping too: kept after a good dump, released after a refused one.
TEST(Valgrind, RunsWithoutMemoryErrors) {
  if (system("command -v valgrind >/dev/null 2>&1") != 0) GTEST_SKIP() << "valgrind not installed";
#ifdef SCHMIEDE_SANITIZED
  GTEST_SKIP() << "valgrind cannot run a program built with a sanitizer";
#endif
  for (const char* dump : {"none", "good", "refused"}) {
    SCOPED_TRACE(dump);
    WorkDir dir;
    if (std::string(dump) == "good") dir.Write("source.mrg", ShippedDump());
    if (std::string(dump) == "refused") dir.Write("source.mrg", ShippedDump() + "x");
    ProgramRun run = RunProgramUnder({"valgrind", "--error-exitcode=99", "-q"}, dir, {"0"},
                                     "501\n0 0 0 0 0\nn404\nnothing\nq\n", 300);
    ASSERT_TRUE(EndedWith(run, 0));
    bool loaded = run.output.find("Loading Source Dump...Done\n") != std::string::npos;
    EXPECT_EQ(loaded, std::string(dump) == "good") << run.output;
    EXPECT_EQ(run.output.find("Init took ") == std::string::npos, loaded);
    EXPECT_NE(run.output.find("Fatal Error: Could not open File"), std::string::npos);
  }
}

}  // namespace

// A creature keeps the rule set it was made by: saved under SRD 3.5, replayed after the
// switch back to the system's own rules, it comes back the same and says so.
TEST_F(ReproductionFiles, ReplayKeepsTheRuleSetOfTheSavedCreatures) {
  ProgramRun run = RunProgram(dir_, {"0"},
                              "705\n701\n0 8 8 3 3 0 0 0 0 0\nvsrd\nxvorher\nn700\n0 8 8 1 1 0 0 0 0 0\nxeigen\n"
                              "n404\nsrd.rep\nxnachher\n1rq");
  ASSERT_TRUE(EndedWith(run, 0));
  std::string before = dir_.Read("export/vorher.exp"), after = dir_.Read("export/nachher.exp");
  std::vector<std::string> creatures = ExportedCreatures(before);
  ASSERT_EQ(creatures.size(), 3u) << before;
  for (const std::string& c : creatures) EXPECT_EQ(c.rfind("STARTCHARACTER\nRULES=SRD35\n", 0), 0u) << c;
  EXPECT_EQ(after, before);
  EXPECT_EQ(dir_.Read("export/eigen.exp").find("RULES="), std::string::npos);
  EXPECT_NE(run.output.find("Regelwerk: Eigene Regeln (gilt für alle neuen Kreaturen)"), std::string::npos);
  EXPECT_NE(run.output.find("Regelwerk 705 gibt es nicht"), std::string::npos);
  // Re-rolled after the load (R), the first creature is still built by SRD 3.5.
  size_t last = run.output.rfind("Regeln: ");
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(run.output.compare(last, 15, "Regeln: SRD 3.5"), 0) << run.output.substr(last, 40);
}
