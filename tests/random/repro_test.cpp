#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "memory/tracker.h"
#include "random/decision_fixture.h"
#include "random/repro.h"
#include "random/settings.h"
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

// Runs fn with what it prints captured and dropped.
template <class Fn>
void Quiet(Fn fn) {
  CaptureStdout();
  fn();
  GetCapturedStdout();
}

int32_t WordAt(const std::string& bytes, size_t word) {
  int32_t v;
  memcpy(&v, bytes.data() + word * 4, 4);
  return v;
}

class ReproTest : public DecisionTest {
 protected:
  void SetUp() override {
    DecisionTest::SetUp();
    ASSERT_EQ(mkdir("save", 0777), 0);
  }
  void TearDown() override {
    ReleaseBatch();
    gRandom.reproduceInRuntime0 = false;
    gRandom.recordFlagWasOne = false;
    DecisionTest::TearDown();
  }
  // A batch of n records, each with recognisable seed and stream words.
  void MakeBatch(int n) {
    AllocateBatch(n);
    gBatch.cr = 7;
    for (int i = 0; i < n; ++i) {
      int32_t* r = gBatch.records + (size_t)i * kRecordWords;
      PresetAnyCreatureRecord(r);
      for (int w = rec::kStream; w < kRecordWords; ++w) r[w] = w * 31 + i;
      r[rec::kRandomMode] = kModeIsaac;
      r[rec::kStream + 516] = 12;
      r[rec::kReplayMark] = 0;
    }
  }
  TempWorkDir dir_;
};

bool Exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

}  // namespace

TEST_F(ReproTest, BatchRoundTripsByteForByte) {
  MakeBatch(3);
  std::string before(reinterpret_cast<const char*>(gBatch.records), 3 * (size_t)kRecordBytes);
  CaptureStdout();
  SaveReproduction("drei.rep", true, gBatch.records, 3, false);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Reproduction file has been saved as drei.rep\n"), std::string::npos) << out;
  std::string file = ReadFile("save/drei.rep");
  ASSERT_EQ(file.size(), 12u + 3u * 32864u);
  EXPECT_EQ(file.substr(0, 4), "MRGR");
  EXPECT_EQ(WordAt(file, 1), 3);
  EXPECT_EQ(WordAt(file, 2), 7);
  EXPECT_EQ(file.substr(12), before);

  ReleaseBatch();
  InputUseText("drei\n");
  CaptureStdout();
  ASSERT_EQ(LoadReproduction(), 0);
  out = GetCapturedStdout();
  EXPECT_NE(out.find("Gespeicherte Dateien:\n\tdrei.rep\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Error: File not found: drei\n\tTrying drei.rep\n"), std::string::npos);
  ASSERT_EQ(gBatch.size, 3);
  EXPECT_EQ(gBatch.cr, 7);
  for (int i = 0; i < 3; ++i) {
    int32_t* r = gBatch.records + (size_t)i * kRecordWords;
    EXPECT_EQ(r[rec::kReplayMark], 1);
    r[rec::kReplayMark] = 0;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(gBatch.records), before.size()), before);
  // Saving the loaded batch again gives the same file.
  Quiet([&] { SaveReproduction("wieder.rep", true, gBatch.records, 3, false); });
  EXPECT_EQ(ReadFile("save/wieder.rep"), file);
}

TEST_F(ReproTest, NamesKeepFilesAndStayInsideSave) {
  MakeBatch(1);
  CaptureStdout();
  SaveReproduction("error.rep", true, gBatch.records, 1, true);
  SaveReproduction("error.rep", true, gBatch.records, 1, true);
  SaveReproduction("ERROR.REP", true, gBatch.records, 1, true);
  SaveReproduction("same.rep", true, gBatch.records, 1, false);
  SaveReproduction("same.rep", true, gBatch.records, 1, false);
  SaveReproduction("a\\b.rep", true, gBatch.records, 1, false);
  SaveReproduction("c/d.rep", true, gBatch.records, 1, false);
  std::string out = GetCapturedStdout();
  for (const char* f : {"save/error.rep", "save/error0.rep", "save/ERROR.REP", "save/a-b.rep", "save/c-d.rep"})
    EXPECT_TRUE(Exists(f)) << f;
  EXPECT_FALSE(Exists("save/same0.rep"));
  EXPECT_NE(out.find("saved as error0.rep"), std::string::npos);
}

TEST_F(ReproTest, UnforcedSaveNeedsRecordingAndUnwritableDirectoryIsReported) {
  MakeBatch(1);
  gRandom.recordFlag = 0;
  gRandom.recordFlagWasOne = false;
  SaveReproduction("nie.rep", false, gBatch.records, 1, false);
  EXPECT_FALSE(Exists("save/nie.rep"));
  gRandom.recordFlagWasOne = true;
  Quiet([&] { SaveReproduction("doch.rep", false, gBatch.records, 1, false); });
  EXPECT_TRUE(Exists("save/doch.rep"));

  ASSERT_EQ(system("rm -rf save && touch save"), 0);
  InputUseText("x");
  CaptureStdout();
  SaveReproduction("weg.rep", true, gBatch.records, 1, false);
  std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("Fatal Error\nCould not Open Output File\n"), std::string::npos);
}

TEST_F(ReproTest, RecordedStreamGetsItsEndMarkerWhenSaved) {
  MakeBatch(1);
  int32_t* r = gBatch.records;
  r[rec::kRandomMode] = kModeRecorded;
  r[rec::kStreamPosition] = 6;
  Quiet([&] { SaveReproduction("strom.rep", true, r, 1, false); });
  std::string file = ReadFile("save/strom.rep");
  EXPECT_EQ(WordAt(file, 3 + rec::kStream + 7), kStreamEnd);
  EXPECT_EQ(WordAt(file, 3 + rec::kStream + 6), (rec::kStream + 6) * 31);

  // Without records the last creation's live stream is saved.
  BeginCreationRandom(r, &state);  // recorded mode: record flag stays as set
  ASSERT_EQ(r[rec::kRandomMode], kModeIsaac);
  gRandom.stickyCount = 1;  // a sticky answer forces recorded mode
  gRandom.isaacMode = false;
  gRandom.recordFlag = 1;
  r[rec::kReplayMark] = 0;
  BeginCreationRandom(r, &state);
  ASSERT_EQ(r[rec::kRandomMode], kModeRecorded);
  int32_t a = random(&state, 0, 100);
  int32_t b = random(&state, 0, 100);
  Quiet([&] { SaveReproduction("live.rep", true, nullptr, 1, false); });
  file = ReadFile("save/live.rep");
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
  gRandom.seeds = seeds;
  gRandom.seedThreads = 1;
  gRandom.isaacMode = true;
  MakeBatch(1);
  int32_t* r = gBatch.records;
  r[rec::kReplayMark] = 0;
  gSettings.DrawType = 1;
  gSettings.calctype = -1;
  BeginCreationRandom(r, &table[0]);
  EXPECT_EQ(r[rec::kRandomMode], kModeIsaac);
  EXPECT_EQ(r[rec::kDrawType], 1);
  EXPECT_EQ(r[rec::kCalcType], -1);
  std::vector<int32_t> first;
  for (int i = 0; i < 700; ++i) first.push_back(random(&table[0], 0, 1 << 20));

  // Another runtime state, other input values: the record brings everything back.
  gSettings.DrawType = 0;
  gSettings.calctype = 0;
  table[0] = IsaacState{};
  gRandom.seededThisBatch = true;
  r[rec::kReplayMark] = 1;
  BeginCreationRandom(r, &table[0]);
  EXPECT_EQ(gSettings.DrawType, 1);
  EXPECT_EQ(gSettings.calctype, -1);
  EXPECT_EQ(r[rec::kReplayMark], 0);
  for (int i = 0; i < 700; ++i) ASSERT_EQ(random(&table[0], 0, 1 << 20), first[i]) << i;
  gRandom.seeds = nullptr;
  gRandom.seedThreads = 0;
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
  std::string good = "MRGR";
  good += std::string("\x02\0\0\0\x05\0\0\0", 8);
  std::vector<int32_t> words(kRecordWords);
  PresetAnyCreatureRecord(words.data());
  words[rec::kRandomMode] = kModeIsaac;
  std::string record(reinterpret_cast<const char*>(words.data()), kRecordBytes);
  good += record + record;
  auto check = [](const std::string& s) {
    return CheckReproductionImage(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  EXPECT_EQ(check(good), nullptr);
  // A loop on two threads saves two copies of one creature with the CR of a batch of one.
  std::string copies = good;
  copies[8] = copies[9] = copies[10] = copies[11] = '\xff';
  EXPECT_EQ(check(copies), nullptr);
  copies[12 + 4 * rec::kCRMin] = 1;
  EXPECT_NE(check(copies), nullptr);
  EXPECT_STREQ(check("XRGR" + good.substr(4)), "File is not a MRG Reproduce File\nExiting\n");
  EXPECT_NE(check(good.substr(0, good.size() - 1)), nullptr);
  EXPECT_NE(check(good + "x"), nullptr);
  EXPECT_NE(check(good.substr(0, 12)), nullptr);
  EXPECT_NE(check(good.substr(0, 7)), nullptr);
  std::string zero = good;
  zero[4] = 0;
  EXPECT_NE(check(zero), nullptr);
  std::string mode = good;
  mode[12] = 50;
  EXPECT_NE(check(mode), nullptr);
  // The byte above the mode names the rule set: SRD 3.5 is sound, an unknown one is not.
  std::string rules = good;
  rules[13] = 1;
  EXPECT_EQ(check(rules), nullptr);
  rules[13] = 2;
  EXPECT_NE(check(rules), nullptr);
  std::string stream = good;
  stream[12] = 48;
  stream[12 + 4 * rec::kStreamPosition + 1] = 0x40;  // position 16384
  EXPECT_NE(check(stream), nullptr);
}

TEST_F(ReproTest, TransferRecordReplaysWithoutAFile) {
  for (int w = 0; w < kRecordWords; ++w) gRandom.transferRecord[w] = w;
  gRandom.reproduceInRuntime0 = true;
  ASSERT_EQ(LoadReproduction(), 0);
  EXPECT_FALSE(gRandom.reproduceInRuntime0);
  ASSERT_EQ(gBatch.size, 1);
  EXPECT_EQ(gBatch.records[rec::kReplayMark], 1);
  EXPECT_EQ(gBatch.records[100], 100);
  EXPECT_EQ(gRandom.recordFlag, 0);
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
