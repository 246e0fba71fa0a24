#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "random/decision_fixture.h"
#include "random/repro.h"
#include "shell/batch.h"
#include "temp_dir.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

int32_t WordAt(const std::string& bytes, size_t word) {
  int32_t v;
  memcpy(&v, bytes.data() + word * 4, 4);
  return v;
}

bool Exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

class ReproTest : public DecisionTest {
 protected:
  void SetUp() override {
    DecisionTest::SetUp();
    ASSERT_EQ(mkdir("save", 0777), 0);
  }
  void TearDown() override {
    ReleaseBatch();
    DecisionTest::TearDown();
  }
  // A batch of n records, each with recognisable seed and stream words.
  void MakeBatch(int n) {
    AllocateBatch(n);
    Keep(gBatch.cr, 7);
    for (int i = 0; i < n; ++i) {
      int32_t* r = gBatch.records + (size_t)i * kRecordWords;
      PresetAnyCreatureRecord(r);
      for (int w = rec::kStream; w < kRecordWords; ++w) r[w] = w * 31 + i;
      r[rec::kRandomMode] = kModeIsaac;
      r[rec::kStream + 516] = 12;
      r[rec::kReplayMark] = 0;
    }
  }
  // Saves and returns what was printed.
  std::string Save(const char* name, bool force, int32_t* records, int n = 1, bool error = false) {
    CaptureStdout();
    SaveReproduction(name, force, records, n, error);
    return GetCapturedStdout();
  }
  TempWorkDir dir_;
};

}  // namespace

TEST_F(ReproTest, BatchRoundTripsByteForByte) {
  MakeBatch(3);
  std::string before(reinterpret_cast<const char*>(gBatch.records), 3 * (size_t)kRecordBytes);
  std::string out = Save("drei.rep", true, gBatch.records, 3);
  EXPECT_NE(out.find("Reproduction file has been saved as drei.rep\n"), std::string::npos) << out;
  std::string file = ReadFile("save/drei.rep");
  ASSERT_EQ(file.size(), 12u + 3u * 32864u);
  EXPECT_EQ(file.substr(0, 4), "MRGR");
  EXPECT_EQ(WordAt(file, 1), 3);
  EXPECT_EQ(WordAt(file, 2), 7);
  EXPECT_EQ(file.substr(12), before);

  ReleaseBatch();
  InputUseText("drei.rep\n");
  CaptureStdout();
  ASSERT_EQ(LoadReproduction(), 0);
  GetCapturedStdout();
  ASSERT_EQ(gBatch.size, 3);
  EXPECT_EQ(gBatch.cr, 7);
  for (int i = 0; i < 3; ++i) {
    int32_t* r = gBatch.records + (size_t)i * kRecordWords;
    EXPECT_EQ(r[rec::kReplayMark], 1);
    r[rec::kReplayMark] = 0;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(gBatch.records), before.size()), before);
}

// Error files are numbered (QuitTest.FatalErrorsKeepEveryErrorRep); other names are overwritten.
TEST_F(ReproTest, NamesStayInsideSave) {
  MakeBatch(1);
  for (const char* name : {"same.rep", "same.rep", "a\\b.rep", "c/d.rep"}) Save(name, true, gBatch.records);
  for (const char* f : {"save/same.rep", "save/a-b.rep", "save/c-d.rep"}) EXPECT_TRUE(Exists(f)) << f;
  EXPECT_FALSE(Exists("save/same0.rep"));
}

TEST_F(ReproTest, UnforcedSaveNeedsRecordingAndUnwritableDirectoryIsReported) {
  MakeBatch(1);
  RecordFlagWasOne(false);
  Save("nie.rep", false, gBatch.records);
  EXPECT_FALSE(Exists("save/nie.rep"));
  RecordFlagWasOne(true);
  Save("doch.rep", false, gBatch.records);
  EXPECT_TRUE(Exists("save/doch.rep"));
  ASSERT_EQ(system("rm -rf save && touch save"), 0);
  InputUseText("x");
  EXPECT_NE(Save("weg.rep", true, gBatch.records).find("Fatal Error\nCould not Open Output File\n"), std::string::npos);
}

// A saved batch's recorded stream is replayed by Viewer.SavedBatchReplaysIdentically.
TEST_F(ReproTest, LiveStreamGetsItsEndMarkerWhenSaved) {
  MakeBatch(1);
  int32_t* r = gBatch.records;
  r[rec::kRandomMode] = kModeRecorded;
  r[rec::kStreamPosition] = 6;
  BeginCreationRandom(r, &state);  // recorded mode: record flag stays as set
  ASSERT_EQ(r[rec::kRandomMode], kModeIsaac);
  Sticky(1);  // a sticky answer forces recorded mode
  Keep(gRandom.recordFlag, 1);
  r[rec::kReplayMark] = 0;
  BeginCreationRandom(r, &state);
  ASSERT_EQ(r[rec::kRandomMode], kModeRecorded);
  int32_t a = random(&state, 0, 100);
  int32_t b = random(&state, 0, 100);
  Save("live.rep", true, nullptr);  // without records: the last creation's live stream
  std::string file = ReadFile("save/live.rep");
  EXPECT_EQ(WordAt(file, 3 + rec::kStream + 1), a);
  EXPECT_EQ(WordAt(file, 3 + rec::kStream + 3), b);
  EXPECT_EQ(WordAt(file, 3 + rec::kStream + 5), kStreamEnd);
  // The position word stays as the creation began; the last-record copy, which the error
  // path hands to runtime 0, now holds the stream too.
  EXPECT_EQ(WordAt(file, 3 + rec::kStreamPosition), 0);
  std::vector<int32_t> last(kRecordWords);
  CopyLastRecord(last.data());
  EXPECT_EQ(last[rec::kStream + 1], a);
  EXPECT_EQ(last[rec::kStream + 5], kStreamEnd);
}

TEST_F(ReproTest, IsaacRecordReplaysTheSameDraws) {
  IsaacState table[1]{};
  IsaacState* seeds[1] = {&table[0]};
  Seeds(seeds, 1);
  Isaac();
  MakeBatch(1);
  int32_t* r = gBatch.records;
  DrawType(1);
  CalcType(-1);
  BeginCreationRandom(r, &table[0]);
  std::vector<int32_t> first;
  for (int i = 0; i < 300; ++i) first.push_back(random(&table[0], 0, 1 << 20));
  // Another runtime state, other input values: the record brings everything back.
  DrawType(0);
  CalcType(0);
  table[0] = IsaacState{};
  SeededThisBatch();
  r[rec::kReplayMark] = 1;
  BeginCreationRandom(r, &table[0]);
  EXPECT_EQ(gSettings.DrawType, 1);
  EXPECT_EQ(gSettings.calctype, -1);
  EXPECT_EQ(r[rec::kReplayMark], 0);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(random(&table[0], 0, 1 << 20), first[i]) << i;
}

TEST_F(ReproTest, StoredHitPointsWinOverRolledOnes) {
  int32_t record[kRecordWords] = {};
  record[rec::kStoredHitPoints] = kNoHitPoints;
  int32_t hp = 23;
  EndCreationRandom(record, &hp);
  EXPECT_EQ(record[rec::kStoredHitPoints], 23);
  hp = 40;
  EndCreationRandom(record, &hp);
  EXPECT_EQ(hp, 23);
}

TEST_F(ReproTest, DamagedImagesAreRefused) {
  std::vector<int32_t> words(kRecordWords);
  PresetAnyCreatureRecord(words.data());
  words[rec::kRandomMode] = kModeIsaac;
  std::string record(reinterpret_cast<const char*>(words.data()), kRecordBytes);
  const std::string good = "MRGR" + std::string("\x02\0\0\0\x05\0\0\0", 8) + record + record;
  auto check = [](const std::string& s) {
    return CheckReproductionImage(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  // Cuts, sizes, magic, modes and positions are checked end to end; here what is not.
  EXPECT_EQ(check(good), nullptr);
  // The byte above the mode names the rule set: SRD 3.5 is sound, an unknown one is not.
  std::string rules = good;
  rules[13] = 1;
  EXPECT_EQ(check(rules), nullptr);
  rules[13] = 2;
  EXPECT_NE(check(rules), nullptr);
  // A loop on two threads saves two copies of one creature with the CR of a batch of one.
  std::string copies = good;
  copies[8] = copies[9] = copies[10] = copies[11] = '\xff';
  EXPECT_EQ(check(copies), nullptr);
  copies[12 + 4 * rec::kCRMin] = 1;
  EXPECT_NE(check(copies), nullptr);
  // A batch spreads its CR by up to batch CR / 5 + 1 each way, below 0 too: at HG 50 a
  // creature of two may get 47 + 11, the other 47 - 11; at HG 1 one of many gets 0 - 1.
  for (auto [low, high, sound] : {std::tuple{-1, -1, true},
                                  {-11, -11, true},
                                  {58, 58, true},
                                  {-12, -12, false},
                                  {70, 70, false},
                                  {5, 4, false}}) {
    std::string spread = good;
    int32_t cr[2] = {low, high};
    memcpy(&spread[12 + 4 * rec::kCRMin], cr, sizeof cr);
    EXPECT_EQ(check(spread) == nullptr, sound) << low << ".." << high;
  }
}

TEST_F(ReproTest, ReadLineWithSuffixSkipsEmptyLines) {
  char buf[256];
  InputUseText("\n\nheld\nzwei.REP\n");
  ASSERT_TRUE(ReadLineWithSuffix(buf, sizeof buf, ".rep"));
  EXPECT_STREQ(buf, "held.rep");
  ASSERT_TRUE(ReadLineWithSuffix(buf, sizeof buf, ".rep"));
  EXPECT_STREQ(buf, "zwei.REP");
  EXPECT_FALSE(ReadLineWithSuffix(buf, sizeof buf, ".rep"));
}
