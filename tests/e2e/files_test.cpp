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

std::string Le32(uint32_t v) {
  return {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
}

std::string Record(int mode, int32_t seedNext = 0, int32_t streamPos = 0) {
  std::vector<int32_t> words(kRecordWords, 0);
  words[0] = mode;
  words[1] = 1;
  words[8] = -1;
  words[17] = -100;
  for (size_t i = 23; i < kSeedNextWord; ++i) words[i] = int32_t(i * 2654435761u);
  words[kSeedNextWord] = seedNext;
  words[kStreamPosWord] = streamPos;
  std::string bytes;
  for (int32_t w : words) bytes += Le32(uint32_t(w));
  return bytes;
}

std::string RepFile(int32_t count, const std::vector<std::string>& records, const char* magic = "MRGR") {
  std::string bytes = std::string(magic, 4) + Le32(uint32_t(count)) + Le32(3);
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
  ProgramRun run = Reproduce("nothing");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Error: File not found: nothing\n\tTrying nothing.rep\nFatal Error: Could not open File\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nRestarting\n"), std::string::npos);
}

TEST_F(ReproductionFiles, WrongMagicIsRefusedEvenAtTheRightLength) {
  std::string file = RepFile(1, {Record(kSeedMode)}, "MRGS");
  Put("fremd.rep", file);
  ProgramRun run = Reproduce("fremd.rep");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("File is not a MRG Reproduce File\nExiting\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Generating Char"), std::string::npos);
  EXPECT_NE(run.output.find("\nRestarting\n"), std::string::npos);
  EXPECT_EQ(dir_.Read("save/fremd.rep"), file);
}

TEST_F(ReproductionFiles, DamagedFilesAreRefused) {
  std::string good = RepFile(2, {Record(kSeedMode), Record(kStreamMode)});
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(std::string(c.name) + ".rep", c.bytes);
    ProgramRun run = Reproduce(std::string(c.name) + ".rep");
    ASSERT_TRUE(EndedWith(run, 0));
    // With piped input the typed name is not echoed, so the message follows the prompt text.
    EXPECT_NE(run.output.find("eingeben! Reproduce File is damaged: "), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Generating Char"), std::string::npos);
    EXPECT_NE(run.output.find("\nRestarting\n"), std::string::npos);
    EXPECT_EQ(dir_.Read("save/" + std::string(c.name) + ".rep"), c.bytes);
  }
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
