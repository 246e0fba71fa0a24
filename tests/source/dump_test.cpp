// The source dump: the image checksum, the 732-byte root on a fake Source whose tables
// lie in the fixed region, the writer, and the loader with every way a file can be bad.
#include "source/dump.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/region.h"
#include "source/dump_loader.h"
#include "source/records.h"
#include "state_fixture.h"
#include "temp_dir.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr uintptr_t kBase = kFixedRegionAddress;
uint8_t* Region() { return reinterpret_cast<uint8_t*>(kBase); }

uint32_t Word(const uint8_t* root, int word) {
  const uint8_t* p = root + 4 * word;
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void SetWord(uint8_t* root, int word, uint32_t value) {
  for (int b = 0; b < 4; ++b) root[4 * word + b] = (uint8_t)(value >> (8 * b));
}
void AppendWord(std::vector<uint8_t>& out, uint32_t value) {
  out.resize(out.size() + 4);
  SetWord(out.data() + out.size() - 4, 0, value);
}

// The tables as the root carries them: pointer word, count in the word after it.
struct TableField {
  int word;
  const char* name;
  size_t recordSize;
  int extraRecords;
  void (*set)(Source&, uintptr_t);
  int32_t Source::*count;
};

#define TABLE(word, ptr, cnt, extra)                                                               \
  TableField {                                                                                     \
    word, #ptr, sizeof(*Source{}.ptr), extra,                                                      \
        [](Source& s, uintptr_t a) { s.ptr = reinterpret_cast<decltype(s.ptr)>(a); }, &Source::cnt \
  }

const TableField kTables[] = {
    TABLE(0, classes, classCount, 0),       TABLE(2, feats, featCount, 0),
    TABLE(4, equipment, equipmentCount, 0), TABLE(6, skills, skillCount, 0),
    TABLE(8, races, raceCount, 1),          TABLE(10, spells, spellCount, 0),
    TABLE(12, powers, powerCount, 0),       TABLE(14, effects, effectCount, 0),
    TABLE(16, specifics, specificCount, 0), TABLE(18, monsters, monsterCount, 0),
    TABLE(21, profiles, profileCount, 0),   TABLE(23, schools, schoolCount, 0),
    TABLE(25, sizes, sizeCount, 0),         TABLE(27, monsterTypes, monsterTypeCount, 0),
    TABLE(29, domains, domainCount, 0),     TABLE(31, templates, templateCount, 0),
    TABLE(33, regions, regionCount, 0),     TABLE(35, abilities, abilityCount, 0),
    TABLE(37, specials, specialCount, 0),   TABLE(39, bonuses, bonusCount, 0),
};
#undef TABLE
constexpr int kTableCount = sizeof kTables / sizeof kTables[0];
// Feats have no record but still need room for one.
constexpr int32_t kCounts[kTableCount] = {3, 0, 2, 1, 2, 4, 1, 1, 1, 2, 1, 9, 9, 2, 1, 3, 1, 1, 1, 1};
constexpr int kMonsterCRWord = 20, kNamesWord = 44, kStampWord = 45, kChecksumWord = 50;
// Two rule sets × monsters 2 × templates 3 × 4 variants × (low, high).
constexpr uint64_t kMonsterCRBytes = 2 * 2 * 3 * 4 * 8;

uint64_t TableBytes(int t, int32_t count) {
  return (uint64_t)((count > 0 ? count : 1) + kTables[t].extraRecords) * kTables[t].recordSize;
}

// Where a fake Source puts its tables: back to back from offset 16, then the CR table,
// the attribute names and their texts; the image ends a little after them.
struct FakeLayout {
  uint32_t table[kTableCount];
  uint32_t monsterCR, names, texts, imageSize;
  FakeLayout() {
    uint64_t at = 16;
    auto take = [&](uint64_t bytes) {
      uint32_t address = (uint32_t)(kBase + at);
      at = (at + bytes + 7) / 8 * 8;
      return address;
    };
    for (int t = 0; t < kTableCount; ++t) table[t] = take(TableBytes(t, kCounts[t]));
    monsterCR = take(kMonsterCRBytes);
    names = take(sizeof(NamedSource) * kAttributes);
    texts = take(6 * 4);
    imageSize = (uint32_t)at + 3;  // not a whole number of checksum words
  }
};

// Fills the held region with the fake Source's image and returns the Source.
Source MakeFakeSource(const FakeLayout& layout) {
  for (uint32_t i = 0; i < layout.imageSize; ++i) Region()[i] = (uint8_t)(i * 131 + 17);
  Source s;
  for (int t = 0; t < kTableCount; ++t) {
    kTables[t].set(s, layout.table[t]);
    s.*kTables[t].count = kCounts[t];
  }
  s.monsterCR = reinterpret_cast<int32_t*>((uintptr_t)layout.monsterCR);
  static const char* const kNames[kAttributes] = {"St", "Ge", "Ko", "In", "We", "Ch"};
  auto* names = reinterpret_cast<NamedSource*>((uintptr_t)layout.names);
  char* texts = reinterpret_cast<char*>((uintptr_t)layout.texts);
  for (int a = 0; a < kAttributes; ++a) {
    memcpy(texts + 4 * a, kNames[a], 3);
    new (&names[a]) NamedSource();  // the region goes away without destroying it
    names[a].name.text = texts + 4 * a;
    names[a].name.length = 2;
  }
  s.attributeNames = names;
  for (int i = 0; i < 51; ++i) {
    s.startMoney[i] = 10 * i - 25;
    s.treasure[i] = -i * i;
  }
  for (int i = 0; i < 9; ++i) s.proficiencyFeats[i / 3][i % 3] = i - 1;
  return s;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Runs fn with standard output captured: its result and what it printed.
template <class Fn>
std::pair<int, std::string> Captured(Fn fn) {
  CaptureStdout();
  int result = fn();
  return {result, GetCapturedStdout()};
}

// Keeps the process's Source, its name block and the region as they were.
class DumpTest : public StateTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(gProcess.regionHeld) << "an earlier test left the fixed region held";
    ASSERT_FALSE(gProcess.sourceLoaded) << "an earlier test left a loaded Source";
    Keep(gSource, gSource);
    Names(gProcess.symbolNames, gProcess.symbolNamesSize);
    prepared_ = true;
  }
  void TearDown() override {
    if (!prepared_) return;  // what an earlier test left is not ours to drop
    ForgetLoadedSource();
    ReleaseFixedRegion();
  }
  // The process's block of symbol names.
  void Names(void* block, uint32_t size) {
    Keep(gProcess.symbolNames, block);
    Keep(gProcess.symbolNamesSize, size);
  }
  std::pair<int, std::string> Install(const uint8_t* root, uint32_t imageSize) {
    return Captured([&] { return InstallLoadedSource(root, imageSize); });
  }

 private:
  bool prepared_ = false;
};

using DumpRoot = DumpTest;

}  // namespace

TEST(DumpChecksum, EveryByteAndTheLengthCount) {
  uint8_t small[101] = {};  // three rounds of the four 8-byte lanes and a 5-byte tail
  const uint32_t zero = ImageChecksum(small, sizeof small);
  for (size_t i = 0; i < sizeof small; ++i) {
    small[i] = (uint8_t)(1 << i % 8);
    EXPECT_NE(ImageChecksum(small, sizeof small), zero) << i;
    small[i] = 0;
  }
  EXPECT_NE(ImageChecksum(small, 32), ImageChecksum(small, 33));
}

TEST_F(DumpRoot, PacksEveryFieldAndInstallsWhatItPacked) {
  FakeLayout layout;
  ASSERT_TRUE(HoldFixedRegion(layout.imageSize));
  uint8_t root[kSourceRootSize];
  memset(root, 0xAB, sizeof root);
  PackSourceRoot(MakeFakeSource(layout), layout.imageSize, root);
  for (int t = 0; t < kTableCount; ++t) {
    EXPECT_EQ(Word(root, kTables[t].word), layout.table[t]) << kTables[t].name;
    EXPECT_EQ(Word(root, kTables[t].word + 1), (uint32_t)kCounts[t]) << kTables[t].name;
  }
  EXPECT_EQ(Word(root, kMonsterCRWord), layout.monsterCR);
  // Slot a: text, length, owned, record address; the fifth word carries stamp and sum
  // in the first two slots and nothing in the others.
  for (uint32_t a = 0; a < kAttributes; ++a) {
    const uint32_t expected[5] = {layout.texts + 4 * a, 2, 0, layout.names + (uint32_t)sizeof(NamedSource) * a, 0};
    for (int w = 0; w < (a >= 2 ? 5 : 4); ++w) EXPECT_EQ(Word(root, 41 + 5 * (int)a + w), expected[w]) << a;
  }
  EXPECT_EQ(Word(root, kStampWord), SourceLayoutStamp());
  EXPECT_EQ(Word(root, kChecksumWord), ImageChecksum(Region(), layout.imageSize));
  for (int i = 0; i < 51; ++i) {
    EXPECT_EQ(Word(root, 71 + i), (uint32_t)(10 * i - 25)) << i;
    EXPECT_EQ(Word(root, 122 + i), (uint32_t)(-i * i)) << i;
  }
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Word(root, 173 + i), (uint32_t)(i - 1)) << i;
  EXPECT_EQ(Word(root, 182), 0u);

  static char nameBlock[] = "Namen";
  Names(nameBlock, 0);
  const uint32_t generation = gSourceGeneration;
  EXPECT_EQ(Install(root, layout.imageSize), std::make_pair(0, std::string()));
  EXPECT_TRUE(gProcess.sourceLoaded && gSource.initialised);
  EXPECT_EQ(gSourceGeneration, generation + 1);
  // What was installed packs to the same root again, field for field.
  uint8_t again[kSourceRootSize];
  memset(again, 0xAB, sizeof again);
  PackSourceRoot(gSource, layout.imageSize, again);
  for (int w = 0; w < kSourceRootSize / 4; ++w) EXPECT_EQ(Word(again, w), Word(root, w)) << "word " << w;
  EXPECT_EQ(gSource.symbolNames, nameBlock);

  // Forgetting keeps the name block, which lives outside the image.
  ForgetLoadedSource();
  EXPECT_FALSE(gProcess.sourceLoaded || gSource.initialised);
  EXPECT_EQ(gSource.classes, nullptr);
  EXPECT_EQ(gSource.classCount + gSource.startMoney[1], 0);
  EXPECT_EQ(gSource.symbolNames, nameBlock);
}

TEST_F(DumpRoot, RefusesAnOldLayoutADamagedImageAndTablesOutsideIt) {
  FakeLayout layout;
  ASSERT_TRUE(HoldFixedRegion(layout.imageSize));
  uint8_t root[kSourceRootSize], r[kSourceRootSize];
  PackSourceRoot(MakeFakeSource(layout), layout.imageSize, root);
  const uint32_t generation = gSourceGeneration, end = (uint32_t)kBase + layout.imageSize;
  const auto damaged = std::make_pair(1, std::string("Dump File is damaged\n"));
  memcpy(r, root, sizeof r);
  SetWord(r, kStampWord, Word(root, kStampWord) ^ 0x100);
  EXPECT_EQ(Install(r, layout.imageSize),
            std::make_pair(1, std::string("Size of Source Class Differs, Dump too old?\n")));
  for (uint32_t at : {0u, layout.imageSize / 2, layout.imageSize - 1}) {
    Region()[at] ^= 0x10;
    EXPECT_EQ(Install(root, layout.imageSize), damaged) << at;
    Region()[at] ^= 0x10;
  }
  // The sum covers exactly the image: one byte more or less is another image.
  EXPECT_EQ(Install(root, layout.imageSize - 1).first, 1);
  EXPECT_EQ(Install(root, layout.imageSize + 1).first, 1);
  EXPECT_FALSE(gProcess.sourceLoaded);
  EXPECT_EQ(gSourceGeneration, generation);

  // Each pointer word: flush with the image's end is fine, one byte further is not,
  // and the region's first byte is never a table.
  auto probe = [&](int word, uint64_t bytes, const char* what) {
    memcpy(r, root, sizeof r);
    SetWord(r, word, end - (uint32_t)bytes);
    EXPECT_EQ(Install(r, layout.imageSize).first, 0) << what;
    ForgetLoadedSource();
    SetWord(r, word, end - (uint32_t)bytes + 1);
    EXPECT_EQ(Install(r, layout.imageSize), damaged) << what;
    SetWord(r, word, (uint32_t)kBase);
    EXPECT_EQ(Install(r, layout.imageSize), damaged) << what;
    SetWord(r, word, 0);
    EXPECT_EQ(Install(r, layout.imageSize), damaged) << what;
  };
  for (int t = 0; t < kTableCount; ++t) probe(kTables[t].word, TableBytes(t, kCounts[t]), kTables[t].name);
  probe(kMonsterCRWord, kMonsterCRBytes, "monsterCR");
  probe(kNamesWord, sizeof(NamedSource) * kAttributes, "attributeNames");

  // The counts size the check: a larger count no longer fits where its table ends.
  memcpy(r, root, sizeof r);
  const int last = kTableCount - 1;
  SetWord(r, kTables[last].word, end - (uint32_t)TableBytes(last, kCounts[last]));
  SetWord(r, kTables[last].word + 1, (uint32_t)kCounts[last] + 1);
  EXPECT_EQ(Install(r, layout.imageSize), damaged);
  SetWord(r, kTables[last].word + 1, (uint32_t)-1);
  EXPECT_EQ(Install(r, layout.imageSize), damaged);
  // A fourth template makes the CR table a third larger.
  memcpy(r, root, sizeof r);
  SetWord(r, kTables[15].word + 1, 4);  // templates
  SetWord(r, kMonsterCRWord, end - (uint32_t)kMonsterCRBytes);
  EXPECT_EQ(Install(r, layout.imageSize), damaged);
  SetWord(r, kMonsterCRWord, end - (uint32_t)kMonsterCRBytes * 4 / 3);
  EXPECT_EQ(Install(r, layout.imageSize).first, 0);
  ForgetLoadedSource();
  EXPECT_FALSE(gProcess.sourceLoaded);
}

namespace {

// A dump in a temporary directory: an image of kImage bytes, a root of pattern bytes
// and three blocks (the last one empty).
class DumpFile : public DumpTest {
 protected:
  static constexpr uint32_t kImage = 5000;
  const std::string kBlock1 = std::string("Namensblock\0mit Nullen\0und Ende", 31);
  const std::string kBlock2 = "0123456789";

  void SetUp() override {
    DumpTest::SetUp();
    if (HasFatalFailure()) return;
    dir_ = std::make_unique<TempWorkDir>();
    for (int i = 0; i < kSourceRootSize; ++i) root_[i] = (uint8_t)(i * 13 + 1);
    ASSERT_TRUE(HoldFixedRegion(kImage));
    for (uint32_t i = 0; i < kImage; ++i) Region()[i] = (uint8_t)(i * 251 + 9);
    EXPECT_EQ(Write("source.mrg"), std::make_pair(0, std::string("Dumping Source...Done\n\n")));
    ASSERT_TRUE(ReleaseFixedRegion());
    valid_ = ReadBytes("source.mrg");
  }
  void TearDown() override {
    DumpTest::TearDown();
    dir_.reset();
  }

  // Writes the held region with the root and the blocks after it.
  std::pair<int, std::string> Write(const char* path) {
    const DumpBlock blocks[] = {
        {kBlock1.data(), (uint32_t)kBlock1.size()}, {kBlock2.data(), (uint32_t)kBlock2.size()}, {"", 0}, {nullptr, 0}};
    return Captured([&] { return DumpSource(kImage, path, root_, kSourceRootSize, blocks); });
  }

  // The file as written, built field by field.
  std::vector<uint8_t> Expected() const {
    std::vector<uint8_t> out = {'M', 'R', 'G', 'S', 0};
    AppendWord(out, kImage);
    for (uint32_t i = 0; i < kImage; ++i) out.push_back((uint8_t)(i * 251 + 9));
    AppendWord(out, kSourceRootSize);
    out.insert(out.end(), root_, root_ + kSourceRootSize);
    for (const std::string& b : {kBlock1, kBlock2, std::string()}) {
      AppendWord(out, (uint32_t)b.size());
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  }

  struct Outcome {
    int result;
    std::string out;
    int countChange;
    void* blocks[3];
    uint32_t sizes[3];
  };

  // Loads `name` into three slots and measures the live blocks around the call only.
  Outcome Load(const char* name, DumpCheck accept = nullptr) {
    Outcome o{};
    void** const slots[] = {&o.blocks[0], &o.blocks[1], &o.blocks[2], nullptr};
    memset(loadedRoot_, 0, sizeof loadedRoot_);
    CaptureStdout();
    int before = TrackerCount();
    o.result = LoadSourceDump(name, loadedRoot_, kSourceRootSize, slots, o.sizes, accept);
    o.countChange = TrackerCount() - before;
    o.out = GetCapturedStdout();
    return o;
  }

  // A refused file leaves no region; the blocks read before the refusal stay in their
  // slots, and nothing else is allocated.
  void ExpectRefused(const Outcome& o, const std::string& message, const std::string& what) {
    EXPECT_EQ(o.result, 1) << what;
    EXPECT_EQ(o.out, "Loading Source Dump..." + message) << what;
    EXPECT_FALSE(gProcess.regionHeld) << what;
    EXPECT_EQ(FixedRegionSize(), 0u) << what;
    int kept = 0;
    for (int i = 0; i < 3; ++i) {
      if (o.blocks[i]) {
        ++kept;
        freeloga(o.blocks[i]);
      } else {
        EXPECT_EQ(o.sizes[i], 0u) << what << " slot " << i;
      }
    }
    EXPECT_EQ(o.countChange, kept) << what;
  }

  void ExpectRefusedFile(const std::vector<uint8_t>& bytes, const std::string& message, const std::string& what) {
    WriteBytes("bad.mrg", bytes);
    ExpectRefused(Load("bad.mrg"), message, what);
  }

  uint8_t root_[kSourceRootSize];
  uint8_t loadedRoot_[kSourceRootSize];
  std::vector<uint8_t> valid_;
  std::unique_ptr<TempWorkDir> dir_;
};

}  // namespace

TEST_F(DumpFile, WritesEveryFieldInOrderAndLoadsItBack) {
  EXPECT_EQ(valid_, Expected());
  EXPECT_FALSE(Exists("source.mrg.new"));

  Outcome o = Load("source.mrg");
  ASSERT_EQ(o.result, 0) << o.out;
  EXPECT_EQ(o.out, "Loading Source Dump...Done\n\n");
  EXPECT_TRUE(gProcess.regionHeld);
  EXPECT_EQ(FixedRegionSize(), kImage);
  bool imageIntact = true;
  for (uint32_t i = 0; i < kImage; ++i) imageIntact = imageIntact && Region()[i] == (uint8_t)(i * 251 + 9);
  EXPECT_TRUE(imageIntact);
  EXPECT_EQ(0, memcmp(loadedRoot_, root_, kSourceRootSize));
  // One tracked block per slot, the empty one too.
  EXPECT_EQ(o.countChange, 3);
  const std::string expected[3] = {kBlock1, kBlock2, ""};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(o.blocks[i], nullptr) << i;
    EXPECT_EQ(std::string(static_cast<char*>(o.blocks[i]), o.sizes[i]), expected[i]) << i;
    freeloga(o.blocks[i]);
  }
  EXPECT_TRUE(ReleaseFixedRegion());
}

// Replacing an older file: SourceDump.UnusableDumpsAreRefusedRebuiltAndReplaced.
TEST_F(DumpFile, AFailedWriteLeavesNoHalfWrittenFile) {
  ASSERT_TRUE(HoldFixedRegion(kImage));
  // A directory cannot be replaced by the file: the error is reported and no
  // half-written file stays beside it.
  ASSERT_EQ(mkdir("taken", 0755), 0);
  EXPECT_EQ(Write("taken"), std::make_pair(1, std::string("Dumping Source...Error Writing File\n")));
  EXPECT_FALSE(Exists("taken.new"));
  EXPECT_EQ(Write("no/such/dir/source.mrg"),
            std::make_pair(1, std::string("Dumping Source...Could not Open File: no/such/dir/source.mrg\n")));
}

TEST_F(DumpFile, ACutFileIsRefusedWithTheMessageOfTheFieldCut) {
  // Cut inside the header, the image, the root and the second block (the first one stays read).
  const size_t root = 13 + kImage, block2 = root + kSourceRootSize + 8 + kBlock1.size();
  const std::pair<size_t, const char*> cuts[] = {{0, "Error reading File\n"},
                                                 {7, "Error reading File\n"},
                                                 {9 + kImage / 2, "Could not read file\n"},
                                                 {root + 100, "Error Reading File\n"},
                                                 {block2 + 3, "Error Reading File\n"},
                                                 {valid_.size() - 1, "Error Reading File\n"}};
  for (const auto& [cut, message] : cuts)
    ExpectRefusedFile(std::vector<uint8_t>(valid_.begin(), valid_.begin() + (ptrdiff_t)cut), message,
                      "cut at " + std::to_string(cut));
  std::vector<uint8_t> longer = valid_;
  longer.push_back(0);
  ExpectRefusedFile(longer, "Dump File Size did not fit\n", "one byte more");
}

TEST_F(DumpFile, RefusesWrongSizesAndATakenRegion) {
  Outcome o = Load("missing.mrg");
  ExpectRefused(o, "Could not open File\n", "missing");

  const size_t rootSizeAt = 9 + kImage;
  std::vector<uint8_t> bytes = valid_;
  SetWord(bytes.data() + rootSizeAt, 0, kSourceRootSize + 1u);
  ExpectRefusedFile(bytes, "Size of Source Class Differs, Dump too old?\n", "root size");

  // An image length beyond the file is refused before the region is committed: a
  // garbage length must not populate gigabytes first.
  for (uint32_t size : {(uint32_t)valid_.size() + 1u, 0xFFFFFFF0u}) {
    bytes = valid_;
    SetWord(bytes.data() + 5, 0, size);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    ExpectRefusedFile(bytes, "Could not read file\n", "image size " + std::to_string(size));
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "image size " << size;  // KiB
  }

  // A block length beyond the file is refused before anything is allocated for it;
  // the second one fails after the first block was read.
  const size_t length1At = rootSizeAt + 4 + kSourceRootSize;
  for (size_t at : {length1At, length1At + 4 + kBlock1.size()}) {
    bytes = valid_;
    SetWord(bytes.data() + at, 0, 0xFFFFFFF0u);
    ExpectRefusedFile(bytes, "Error Reading File\n", "length at " + std::to_string(at));
  }
  // One byte short: the next length is read one byte early and the block runs out.
  bytes = valid_;
  SetWord(bytes.data() + length1At, 0, (uint32_t)kBlock1.size() - 1);
  ExpectRefusedFile(bytes, "Error Reading File\n", "shorter block");

  // Someone else's region stays theirs: the refused load must not release it.
  ASSERT_TRUE(HoldFixedRegion(4096));
  o = Load("source.mrg");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.out, "Loading Source Dump...Memmory Allocation Error\n");
  EXPECT_TRUE(gProcess.regionHeld);
  EXPECT_EQ(FixedRegionSize(), 4096u);
  EXPECT_EQ(o.countChange, 0);
  EXPECT_EQ(o.blocks[0], nullptr);
  EXPECT_TRUE(ReleaseFixedRegion());
}

namespace {

int gJudged = 0;  // calls of the judge of a dump
template <int kVerdict>
int Judge(const void*, uint32_t) {
  ++gJudged;
  if (kVerdict) ConsolePrint("Abgelehnt\n");
  return kVerdict;
}

}  // namespace

// An accepted dump: SourceDump.CreaturesAreTheSameFromRebuildAndFromDump.
TEST_F(DumpFile, AJudgesRefusalReleasesWhatTheLoadTook) {
  gJudged = 0;
  ExpectRefused(Load("source.mrg", Judge<1>), "Abgelehnt\n", "refused");
  EXPECT_EQ(gJudged, 1);
  // A file refused on its own is never judged.
  WriteBytes("cut.mrg", std::vector<uint8_t>(valid_.begin(), valid_.end() - 1));
  ExpectRefused(Load("cut.mrg", Judge<0>), "Error Reading File\n", "cut");
  EXPECT_EQ(gJudged, 1);
}
