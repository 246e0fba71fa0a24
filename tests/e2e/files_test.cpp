// Files the program reads back: reproduction files in save/ and the source dump.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
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

// The name is found with or without its extension; only the first word counts, and a
// backslash must never reach the file system as a separator. A missing name, the empty
// one too, is looked for as typed and with ".rep" and reported.
TEST_F(ReproductionFiles, GoodFileLoadsWithOrWithoutExtension) {
  std::string file = RepFile(2, {Record(kSeedMode, 256), Record(kSeedMode, 0)});
  Put("gut.rep", file);
  Put("a-b.rep", file);
  Put(".hidden", "");
  ProgramRun bare = Reproduce("gut");
  ASSERT_TRUE(EndedWith(bare, 0));
  EXPECT_TRUE(Has(bare, "Gespeicherte Dateien:\n") && Has(bare, "\tgut.rep\n") && !Has(bare, ".hidden")) << bare.output;
  EXPECT_TRUE(Has(bare, "Dateinamen zum reproduzieren eingeben! Error: File not found: gut\n\tTrying gut.rep\n"));
  // Both creatures are rebuilt and shown.
  EXPECT_TRUE(Has(bare, "Generating Char 1 (Thread: 0)\n") && Has(bare, "[Q]  : Beenden"));
  for (const char* typed : {"gut.rep", "a\\b.rep and more"}) {
    ProgramRun full = Reproduce(typed);
    ASSERT_TRUE(EndedWith(full, 0));
    EXPECT_TRUE(!Has(full, "File not found") && Has(full, "Generating Char 1 (Thread: 0)\n")) << full.output;
  }
  EXPECT_EQ(dir_.Read("save/gut.rep"), file);
  for (std::string name : {"nothing", ""}) {
    ProgramRun run = Reproduce(name);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(Has(run, "Error: File not found: " + name + "\n\tTrying " + name +
                             ".rep\nFatal Error: Could not open File\n\nRestarting\n"))
        << run.output;
  }
}

// The header's count, the random state's positions, the header CR and the creation
// parameters the creation indexes tables with (the record's own checks are unit tested).
TEST_F(ReproductionFiles, DamagedFilesAreRefused) {
  const char* damaged = "eingeben! Reproduce File is damaged: ";
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  } cases[] = {
      {"wrong_magic", RepFile(1, {Record(kSeedMode)}, "MRGS"), "File is not a MRG Reproduce File\nExiting\n"},
      {"count_huge", RepFile(1000000, {Record(kSeedMode)}), damaged},
      {"count_negative", RepFile(-1, {Record(kSeedMode)}), damaged},
      {"stream_pos_negative", RepFile(1, {Record(kStreamMode, 0, -1)}), damaged},
      {"seed_next_high", RepFile(1, {Record(kSeedMode, 257)}), damaged},
      {"batch_cr_minus_one", RepFile(2, {Record(kSeedMode), Record(kSeedMode, 0, 0, 3, 2)}, "MRGR", -1), damaged},
      {"batch_cr_huge", RepFile(1, {Record(kSeedMode)}, "MRGR", 0x40000000), damaged},
      {"cr_range_reversed", RepFile(1, {Record(kSeedMode, 0, 0, 2, 9)}), damaged},
      {"cr_beyond_any_spread", RepFile(1, {Record(kSeedMode, 0, 0, 3, 70)}), damaged},
      {"kind_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 7, 5)}), damaged},
      {"race_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 14, 100000)}), damaged},
      {"monster_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 8, 1 << 30)}), damaged},
      {"weighting_unknown", RepFile(1, {Record(kSeedMode, 0, 0, 19, 7)}), damaged},
      {"fixed_abilities", RepFile(1, {Record(kSeedMode, 0, 0, 6, 3)}), damaged},
      {"treasure_negative", RepFile(1, {Record(kSeedMode, 0, 0, 15, -4)}), damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(std::string(c.name) + ".rep", c.bytes);
    ProgramRun run = Reproduce(std::string(c.name) + ".rep");
    ASSERT_TRUE(EndedWith(run, 0));
    // With piped input the typed name is not echoed, so the message follows the prompt text.
    EXPECT_TRUE(Has(run, c.says) && !Has(run, "Generating Char")) << run.output;
    EXPECT_EQ(dir_.Read("save/" + std::string(c.name) + ".rep"), c.bytes);
  }
}

// A recorded answer is checked as a typed one: a damaged one ends the replay with the
// message for an inconsistent reproduction (and says that it waits), never used as an index.
TEST_F(ReproductionFiles, DamagedRecordedAnswerEndsAsInconsistent) {
  ASSERT_TRUE(EndedWith(RunProgram(dir_, {"0"}, "0 5 5 1 1 0 1 0 0 0\n-2\nvmanuell\nq\n"), 0));
  std::string file = dir_.Read("save/manuell.rep");
  ASSERT_EQ(file.size(), 12 + kRecordWords * 4);
  // The first answer is the region, a weighted pick: now far outside its table.
  Put("kaputt.rep", file.replace(12 + 4 * 24, 4, Le32(1u << 30)));
  ProgramRun run = Reproduce("kaputt.rep");
  ASSERT_TRUE(EndedWith(run, 1));
  EXPECT_TRUE(Has(run,
                  "Inconsistent Reproduction, maybe the Saved file corresponds to an old version?...\n"
                  "Quitting due to error\nTaste drücken zum Beenden\n"))
      << run.output;
}

// Typed names become names the reproduce prompt (one word, hidden files not listed) can
// read back, and say so; none is fatal. Exports share the rule. A save or export cut off
// by a signal leaves its temporary, which the next start removes.
TEST_F(ReproductionFiles, TypedNamesRoundTripAndTemporariesGo) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  Put("halb.rep.tmp", "MRGR");
  dir_.Write("export/halb.exp.tmp", "x");
  const std::string longName(300, 'n');
  ProgramRun run = RunProgram(
      dir_, {"0"},
      ("0 5 5 1 1 0 0 0 0 0\nvmein treffen\nv..\nv" + longName + "\nxmein export\nn404\nmein_treffen.rep\nq\nq\n")
          .c_str());
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_FALSE(Has(run, "Fatal Error") || Has(run, "File not found") || Has(run, "halb.rep")) << run.output;
  EXPECT_TRUE(Has(run, "File name changed to \"mein_treffen.rep\"")) << run.output;
  EXPECT_TRUE(dir_.Exists("save/__.rep") && Has(run, "\t__.rep\n"));
  EXPECT_TRUE(dir_.Exists("save/" + longName.substr(0, 200) + ".rep"));
  EXPECT_TRUE(dir_.Exists("export/mein_export.exp"));
  EXPECT_NE(run.output.find("Generating Char 0 (Thread: 0)", run.output.find("Gespeicherte Dateien")),
            std::string::npos);
  EXPECT_FALSE(dir_.Exists("save/halb.rep.tmp") || dir_.Exists("export/halb.exp.tmp"));
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
  if (!Has(run, "Creation took unecspected long")) GTEST_SKIP() << run.output;
  EXPECT_EQ(dir_.Read("save/long.rep"), "alt");
  EXPECT_TRUE(dir_.Exists("save/long0.rep") || dir_.Exists("save/long1.rep"));
  EXPECT_FALSE(dir_.Exists("save/long2.rep"));
}

// Covers the fixed-address mapping too: kept after a good dump, released after a refused one.
TEST(Valgrind, RunsWithoutMemoryErrors) {
  if (system("command -v valgrind >/dev/null 2>&1") != 0) GTEST_SKIP() << "valgrind not installed";
#ifdef SCHMIEDE_SANITIZED
  GTEST_SKIP() << "valgrind cannot run a program built with a sanitizer";
#endif
  for (std::string dump : {"none", "good", "refused"}) {
    SCOPED_TRACE(dump);
    WorkDir dir;
    if (dump != "none") dir.Write("source.mrg", ShippedDump() + (dump == "refused" ? "x" : ""));
    ProgramRun run = RunProgramUnder({"valgrind", "--error-exitcode=99", "-q"}, dir, {"0"},
                                     "501\n0 0 0 0 0\nn404\nnothing\nq\n", 300);
    ASSERT_TRUE(EndedWith(run, 0));
    bool loaded = Has(run, "Loading Source Dump...Done\n");
    EXPECT_EQ(loaded, dump == "good") << run.output;
    EXPECT_NE(Has(run, "Init took "), loaded);
    EXPECT_TRUE(Has(run, "Fatal Error: Could not open File"));
  }
}

// A creature keeps the rule set it was made by: saved under SRD 3.5, replayed after the
// switch back to the system's own rules, it comes back the same and says so.
TEST_F(ReproductionFiles, ReplayKeepsTheRuleSetOfTheSavedCreatures) {
  ProgramRun run = RunProgram(dir_, {"0"},
                              "705\n701\n0 8 8 3 3 0 0 0 0 0\nvsrd\nxvorher\nn700\n0 8 8 1 1 0 0 0 0 0\nxeigen\n"
                              "n404\nsrd.rep\nxnachher\n1rq");
  ASSERT_TRUE(EndedWith(run, 0));
  std::string before = dir_.Read("export/vorher.exp");
  std::vector<std::string> creatures = ExportedCreatures(before);
  ASSERT_EQ(creatures.size(), 3u) << before;
  for (const std::string& c : creatures) EXPECT_EQ(c.rfind("STARTCHARACTER\nRULES=SRD35\n", 0), 0u) << c;
  EXPECT_EQ(dir_.Read("export/nachher.exp"), before);
  EXPECT_FALSE(Has(dir_.Read("export/eigen.exp"), "RULES="));
  EXPECT_TRUE(Has(run, "Regelwerk: Eigene Regeln (gilt für alle neuen Kreaturen)") &&
              Has(run, "Regelwerk 705 gibt es nicht"));
  // Re-rolled after the load (R), the first creature is still built by SRD 3.5.
  EXPECT_EQ(run.output.substr(run.output.rfind("Regeln: "), 15), "Regeln: SRD 3.5");
}

}  // namespace
