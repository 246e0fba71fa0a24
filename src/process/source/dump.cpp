// The dump of the rule database: its root packed into the fixed word layout the file
// keeps, written with a checksum, and checked and installed as the Source after a load.
#include "source/dump.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/process.h"
#include "platform/region.h"

namespace {

constexpr int kRootWords = 183;
constexpr int kAttributeSlot = 41;  // six slots of five words
constexpr int kStartMoney = 71;
constexpr int kTreasure = 122;
constexpr int kProficiency = 173;
constexpr int kSymbolNames = 182;
static_assert(kRootWords * 4 == kSourceRootSize);

// The tables of the root in file order: pointer word, count word follows.
struct TableField {
  size_t pointer;  // offset of the pointer in Source
  size_t count;    // offset of the count in Source
  size_t recordSize;
  int extraRecords;  // races carry the "Monster" pseudo-race after the counted ones
};

#define TABLE(ptr, cnt, extra) \
  TableField { offsetof(Source, ptr), offsetof(Source, cnt), sizeof(*Source{}.ptr), extra }

const TableField kTables[] = {
    TABLE(classes, classCount, 0),
    TABLE(feats, featCount, 0),
    TABLE(equipment, equipmentCount, 0),
    TABLE(skills, skillCount, 0),
    TABLE(races, raceCount, 1),
    TABLE(spells, spellCount, 0),
    TABLE(powers, powerCount, 0),
    TABLE(effects, effectCount, 0),
    TABLE(specifics, specificCount, 0),
    TABLE(monsters, monsterCount, 0),
    // word 20 is the monster CR table
    TABLE(profiles, profileCount, 0),
    TABLE(schools, schoolCount, 0),
    TABLE(sizes, sizeCount, 0),
    TABLE(monsterTypes, monsterTypeCount, 0),
    TABLE(domains, domainCount, 0),
    TABLE(templates, templateCount, 0),
    TABLE(regions, regionCount, 0),
    TABLE(abilities, abilityCount, 0),
    TABLE(specials, specialCount, 0),
    TABLE(bonuses, bonusCount, 0),
};
#undef TABLE

// Root word of table t's pointer (the CR table sits between monsters and profiles).
int TableWord(int t) { return t < 10 ? 2 * t : 2 * t + 1; }
constexpr int kMonsterCRWord = 20;

void PutWord(uint8_t* root, int word, uint32_t value) {
  for (int b = 0; b < 4; ++b) root[word * 4 + b] = (uint8_t)(value >> (8 * b));
}

uint32_t GetWord(const uint8_t* root, int word) {
  const uint8_t* p = root + word * 4;
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t Address(const void* p) { return (uint32_t) reinterpret_cast<uintptr_t>(p); }

template <class T>
T& Field(Source& s, size_t offset) {
  return *reinterpret_cast<T*>(reinterpret_cast<char*>(&s) + offset);
}

template <class T>
const T& Field(const Source& s, size_t offset) {
  return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(&s) + offset);
}

size_t MonsterCRBytes(const Source& s) {
  size_t pairs = (size_t)s.monsterCount * (size_t)(s.templateCount ? s.templateCount : 1) * 4 * 2;
  return sizeof(int32_t) * 2 * (pairs ? pairs : 1);
}

bool WriteAll(int fd, const void* bytes, size_t n) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (n) {
    ssize_t put = write(fd, p, n);
    if (put <= 0) return false;
    p += put;
    n -= (size_t)put;
  }
  return true;
}

bool WriteLength(int fd, uint32_t value) {
  uint8_t b[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
  return WriteAll(fd, b, 4);
}

}  // namespace

uint32_t ImageChecksum(const void* bytes, size_t n) {
  // Four independent multiply-rotate lanes over 64-bit words.
  constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull, kP2 = 0xC2B2AE3D27D4EB4Full;
  uint64_t lane[4] = {kP1, kP2, ~kP1, ~kP2};
  const auto* p = static_cast<const uint8_t*>(bytes);
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int k = 0; k < 4; ++k) {
      uint64_t w;
      memcpy(&w, p + i + 8 * k, 8);
      lane[k] += w * kP2;
      lane[k] = (lane[k] << 31 | lane[k] >> 33) * kP1;
    }
  uint64_t h = (uint64_t)n;
  for (int k = 0; k < 4; ++k) h = (h ^ lane[k]) * kP1 + (h >> 29);
  for (; i < n; ++i) h = (h ^ p[i]) * kP2;
  h ^= h >> 32;
  return (uint32_t)h;
}

void PackSourceRoot(const Source& s, uint32_t imageSize, uint8_t* root) {
  memset(root, 0, kSourceRootSize);
  for (int t = 0; t < (int)(sizeof kTables / sizeof kTables[0]); ++t) {
    PutWord(root, TableWord(t), Address(Field<void*>(s, kTables[t].pointer)));
    PutWord(root, TableWord(t) + 1, (uint32_t)Field<int32_t>(s, kTables[t].count));
  }
  PutWord(root, kMonsterCRWord, Address(s.monsterCR));
  for (int a = 0; a < kAttributes; ++a) {
    int w = kAttributeSlot + 5 * a;
    const NamedSource* name = s.attributeNames ? &s.attributeNames[a] : nullptr;
    if (name) {
      PutWord(root, w, Address(name->name.text));
      PutWord(root, w + 1, name->name.length);
      PutWord(root, w + 2, name->name.owned);
      PutWord(root, w + 3, Address(name));
    }
  }
  PutWord(root, kAttributeSlot + 4, SourceLayoutStamp());
  PutWord(root, kAttributeSlot + 9, ImageChecksum(reinterpret_cast<const void*>(kFixedRegionAddress), imageSize));
  for (int i = 0; i < 51; ++i) {
    PutWord(root, kStartMoney + i, (uint32_t)s.startMoney[i]);
    PutWord(root, kTreasure + i, (uint32_t)s.treasure[i]);
  }
  for (int i = 0; i < 9; ++i) PutWord(root, kProficiency + i, (uint32_t)s.proficiencyFeats[i / 3][i % 3]);
  // The name block is stored on its own and gets a new address on every load.
  PutWord(root, kSymbolNames, 0);
}

int InstallLoadedSource(const uint8_t* root, uint32_t imageSize) {
  if (GetWord(root, kAttributeSlot + 4) != SourceLayoutStamp()) {
    ConsolePrint("Size of Source Class Differs, Dump too old?\n");
    return 1;
  }
  const uintptr_t begin = kFixedRegionAddress + 1, end = kFixedRegionAddress + imageSize;
  auto inside = [&](uint32_t address, uint64_t bytes) { return address >= begin && (uint64_t)address + bytes <= end; };
  bool sound =
      ImageChecksum(reinterpret_cast<const void*>(kFixedRegionAddress), imageSize) == GetWord(root, kAttributeSlot + 9);
  Source s;
  for (int t = 0; sound && t < (int)(sizeof kTables / sizeof kTables[0]); ++t) {
    uint32_t address = GetWord(root, TableWord(t));
    int32_t count = (int32_t)GetWord(root, TableWord(t) + 1);
    uint64_t records = (uint64_t)(count > 0 ? count : 1) + (uint64_t)kTables[t].extraRecords;
    sound = count >= 0 && inside(address, records * kTables[t].recordSize);
    Field<void*>(s, kTables[t].pointer) = reinterpret_cast<void*>((uintptr_t)address);
    Field<int32_t>(s, kTables[t].count) = count;
  }
  if (sound) {
    s.monsterCR = reinterpret_cast<int32_t*>((uintptr_t)GetWord(root, kMonsterCRWord));
    sound = inside(Address(s.monsterCR), MonsterCRBytes(s));
  }
  if (sound) {
    uint32_t names = GetWord(root, kAttributeSlot + 3);
    s.attributeNames = reinterpret_cast<NamedSource*>((uintptr_t)names);
    sound = inside(names, sizeof(NamedSource) * kAttributes);
  }
  if (!sound) {
    ConsolePrint("Dump File is damaged\n");
    return 1;
  }
  for (int i = 0; i < 51; ++i) {
    s.startMoney[i] = (int32_t)GetWord(root, kStartMoney + i);
    s.treasure[i] = (int32_t)GetWord(root, kTreasure + i);
  }
  for (int i = 0; i < 9; ++i) s.proficiencyFeats[i / 3][i % 3] = (int32_t)GetWord(root, kProficiency + i);
  s.symbolNames = static_cast<const char*>(gProcess.symbolNames);
  s.initialised = true;
  gSource = s;
  gProcess.sourceLoaded = true;
  ++gSourceGeneration;
  return 0;
}

void ForgetLoadedSource() {
  if (!gProcess.sourceLoaded) return;
  const char* names = gSource.symbolNames;
  gSource = Source{};
  gSource.symbolNames = names;
  gProcess.sourceLoaded = false;
}

int DumpSource(uint32_t imageSize, const char* path, const void* root, int rootSize, const DumpBlock* blocks) {
  ConsolePrint("Dumping Source...");
  std::string temporary = std::string(path) + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ConsolePrint("Could not Open File: %s\n", path);
    return 1;
  }
  static const uint8_t kMagic[5] = {'M', 'R', 'G', 'S', 0};
  bool ok = WriteAll(fd, kMagic, 5) && WriteLength(fd, imageSize) &&
            WriteAll(fd, reinterpret_cast<const void*>(kFixedRegionAddress), imageSize);
  ok = ok && WriteLength(fd, (uint32_t)rootSize) && WriteAll(fd, root, (size_t)rootSize);
  for (const DumpBlock* b = blocks; ok && b && b->bytes; ++b)
    ok = WriteLength(fd, b->length) && WriteAll(fd, b->bytes, b->length);
  if (close(fd) != 0) ok = false;
  if (ok && rename(temporary.c_str(), path) != 0) ok = false;
  if (!ok) {
    ConsolePrint("Error Writing File\n");
    unlink(temporary.c_str());
    return 1;
  }
  ConsolePrint("Done\n\n");
  return 0;
}
