// Reproduction files: each creation's random set-up and its record, saved to and loaded
// from save/, so any creature, including one that failed, can be made again.
#include "random/repro.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/process.h"
#include "launcher/runtimes.h"
#include "memory/tracker.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/settings.h"

namespace RUNTIME_NS {

namespace {

// The record of the creation this thread started last: what an error, a step back or a
// long creation on this thread saves. Each thread its own, so no creation waits for another.
thread_local int32_t gLastRecord[kRecordWords];
thread_local bool gLastTailUsed = false;  // the stream area past a seed holds a copied stream

ReplayRecords* gReplay = nullptr;
ReplayLimits (*gLimits)() = nullptr;
void (*gAllocate)(int size) = nullptr;

constexpr char kMagic[4] = {'M', 'R', 'G', 'R'};

void PutWord(uint8_t* p, int32_t v) {
  uint32_t u = (uint32_t)v;
  p[0] = (uint8_t)u;
  p[1] = (uint8_t)(u >> 8);
  p[2] = (uint8_t)(u >> 16);
  p[3] = (uint8_t)(u >> 24);
}

int32_t GetWord(const uint8_t* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

// "save/" + name; separators inside the name become "-", so nothing lands in a subdirectory.
std::string SavePath(const char* name) {
  std::string path = "save/";
  for (const char* p = name; *p; ++p) path += (*p == '\\' || *p == '/') ? '-' : *p;
  return path;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = strlen(suffix);
  if (s.size() < n) return false;
  return strncasecmp(s.c_str() + s.size() - n, suffix, n) == 0;
}

// The numbers already taken by "<stem><k>.rep" in save/ (k from 0): one directory
// listing instead of a look-up per number.
std::vector<bool> TakenNumbers(const std::string& stem) {
  std::vector<bool> taken;
  for (const std::string& entry : ListDirectory("save")) {
    if (entry.size() <= stem.size() + 4 || entry.compare(0, stem.size(), stem) != 0 || !EndsWithNoCase(entry, ".rep"))
      continue;
    std::string digits = entry.substr(stem.size(), entry.size() - stem.size() - 4);
    if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos ||
        (digits.size() > 1 && digits[0] == '0'))
      continue;
    size_t k = (size_t)atoi(digits.c_str());
    if (taken.size() <= k) taken.resize(k + 1, false);
    taken[k] = true;
  }
  return taken;
}

// Recorded answers of a file; a field the creation uses as an index or a range must
// hold a value the program itself writes there.
const char* CheckRecordFields(const uint8_t* r) {
  auto w = [r](int i) { return GetWord(r + 4 * i); };
  auto within = [](int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; };
  ReplayLimits limits = gLimits ? gLimits() : ReplayLimits{};
  int32_t monsters = limits.monsters, races = limits.races, templates = limits.templates;
  if (!within(w(rec::kDiceMethod), -1, 2) || !within(w(rec::kDrawType), -1, 1) || !within(w(rec::kCalcType), -1, 2))
    return "Reproduce File is damaged: a record holds an unknown dice method, draw type or weighting\n";
  if (!within(w(rec::kCRMin), -kRepCRSpread, kMaxRepCR + kRepCRSpread) ||
      !within(w(rec::kCRMax), w(rec::kCRMin), kMaxRepCR + kRepCRSpread))
    return "Reproduce File is damaged: a record holds an impossible CR range\n";
  if (w(rec::kFixedClasses) != 0 || w(rec::kFixedClassCount) != 0 || w(rec::kFixedAbilities) != 0)
    return "Reproduce File is damaged: a record refers to fixed classes or abilities\n";
  if (!within(w(rec::kKind), -1, 1) || !within(w(rec::kForceMixed), 0, 1) || !within(w(rec::kTreasureOnly), 0, 1) ||
      !within(w(rec::kNpcClasses), 0, 1) || !within(w(rec::kMonsterSelHigh), 0, 1))
    return "Reproduce File is damaged: a record holds an unknown creature kind\n";
  int32_t fixed = w(rec::kFixedMonster);
  if (!within(fixed, -1, monsters - 1) || !within(w(rec::kMonsterSelChosen), -1, monsters > 0 ? monsters - 1 : 0) ||
      !within(w(rec::kFixedRace), -1, races - 1))
    return "Reproduce File is damaged: a record names a monster or race the tables do not have\n";
  if (!within(w(rec::kMonsterOption), 0, fixed >= 0 ? kMaxRepHitDice : 0) ||
      !within(w(rec::kParam10), 0, fixed >= 0 && templates > 0 ? templates - 1 : 0))
    return "Reproduce File is damaged: a record holds impossible hit dice or template of its monster\n";
  if (!within(w(rec::kTreasureLow), 0, kMaxRepAmount) ||
      !within(w(rec::kTreasureHigh), w(rec::kTreasureLow), kMaxRepAmount))
    return "Reproduce File is damaged: a record holds an impossible treasure amount\n";
  return nullptr;
}

}  // namespace

std::string UsableFileName(const char* typed, const char* suffix) {
  std::string name = typed;
  size_t n = strlen(suffix);
  bool suffixed = EndsWithNoCase(name, suffix);
  std::string tail = suffixed ? name.substr(name.size() - n) : "";
  if (suffixed) name.resize(name.size() - n);
  bool changed = false;
  // Leading dots hide a file from the list of saved files.
  size_t dots = std::min(name.find_first_not_of('.'), name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char ch = (unsigned char)name[i];
    char to = ch == '/' || ch == '\\' ? '-' : ch <= ' ' || ch == 0x7f || i < dots ? '_' : (char)ch;
    // Separators always became "-" without a word.
    if (to != (char)ch && ch != '/' && ch != '\\') changed = true;
    name[i] = to;
  }
  if (name.size() > kMaxFileNameBytes) {
    size_t cut = kMaxFileNameBytes;
    while (cut > 0 && ((unsigned char)name[cut] & 0xC0) == 0x80) --cut;  // not inside a UTF-8 character
    name.resize(cut);
    changed = true;
  }
  if (name.empty()) {
    name.push_back('_');
    changed = true;
  }
  name += tail;
  if (changed)
    // Short: on a terminal it shares the status line with the message of the save.
    ConsolePrint("File name changed to \"%s\"\n", name.c_str());
  return name;
}

void CopyLastRecord(int32_t* destination) { memcpy(destination, gLastRecord, kRecordBytes); }

void PresetAnyCreatureRecord(int32_t* record) {
  memset(record, 0, kRecordBytes);
  record[rec::kKind] = -1;
  record[rec::kCRMin] = 0;
  record[rec::kCRMax] = 50;
  record[rec::kFixedMonster] = -1;
  record[rec::kFixedRace] = -1;
  record[rec::kDiceMethod] = -1;
  record[rec::kStoredHitPoints] = kNoHitPoints;
  record[rec::kMonsterSelChosen] = -1;
}

void AttachReplayBatch(ReplayRecords* batch, void (*allocate)(int size), ReplayLimits (*limits)()) {
  gReplay = batch;
  gAllocate = allocate;
  gLimits = limits;
}

bool ReplayLacksTheme() { return gReplay && gReplay->themeFromReplay; }

bool IsReplayRecord(const int32_t* record) { return record[rec::kReplayMark] != 0 || gRandom.reproduceInRuntime0; }

void BeginCreationRandom(int32_t* record, IsaacState* state) {
  bool replay = IsReplayRecord(record);
  if (replay) {
    gSettings.DrawType = record[rec::kDrawType];
    gSettings.calctype = record[rec::kCalcType];
    gSettings.monsterSelHigh = record[rec::kMonsterSelHigh];
    gRandom.isaacMode = RecordRandomMode(record) == kModeIsaac;
    gRandom.seededThisBatch = false;
    record[rec::kReplayMark] = 0;
  } else {
    record[rec::kDrawType] = gSettings.DrawType;
    record[rec::kCalcType] = gSettings.calctype;
    record[rec::kMonsterSelHigh] = gSettings.monsterSelHigh;
  }

  // Threads of a batch start creations at the same time: the shared flags are written
  // only when they change, so the threads only read them.
  if (gRandom.stickyCount == 0 && gSettings.ChooseClass == 0 && !gDecide.chooseEverything &&
      !gRandom.savedChooseEverything && !replay) {
    if (!gRandom.isaacMode) gRandom.isaacMode = true;
    if (!gRandom.recordFlagWasOne) gRandom.recordFlagWasOne = true;
    if (gRandom.recordFlag != 0) gRandom.recordFlag = 0;
  } else if (!replay && gRandom.isaacMode) {
    gRandom.isaacMode = false;
  }

  if (gRandom.isaacMode) {
    if (!gRandom.seededThisBatch) {
      if (replay)
        IsaacLoad(state, record + rec::kStream);
      else
        SeedThreads();
      gRandom.seededThisBatch = true;
    }
    IsaacSave(state, record + rec::kStream);
    replay = false;
    SetRecordRandomMode(record, kModeIsaac);
  } else {
    SetRecordRandomMode(record, kModeRecorded);
  }

  SetDecisionStream(record + rec::kStream, record + rec::kStreamPosition);
  record[rec::kStreamPosition] = replay ? 1 : 0;
  gDecide.replayActive = replay;

  if (gRandom.isaacMode) PrintCharacterSeed(record);

  if (gRandom.isaacMode) {
    // A seeded creation is rebuilt from its head and seed alone: the rest of the stream
    // area means nothing to it and is kept empty instead of copied (32 KB per creation).
    constexpr size_t kSeeded = rec::kStream + sizeof(IsaacState) / sizeof(int32_t);
    static_assert(kSeeded < (size_t)rec::kStreamPosition);
    memcpy(gLastRecord, record, kSeeded * sizeof(int32_t));
    if (gLastTailUsed) memset(gLastRecord + kSeeded, 0, (rec::kStreamPosition - kSeeded) * sizeof(int32_t));
    gLastTailUsed = false;
    gLastRecord[rec::kStreamPosition] = record[rec::kStreamPosition];
  } else {
    memcpy(gLastRecord, record, kRecordBytes);
    gLastTailUsed = true;
  }
}

void EndCreationRandom(int32_t* record, int32_t* hitPoints) {
  if (record[rec::kStoredHitPoints] != kNoHitPoints)
    *hitPoints = record[rec::kStoredHitPoints];
  else
    record[rec::kStoredHitPoints] = *hitPoints;
  gDecide.replayActive = false;
}

void SaveReproduction(const char* name, bool forced, int32_t* records, int count, bool keep) {
  bool given = records != nullptr;
  if (!given) {
    // The copy itself takes the live stream below: the error path hands it on to runtime 0.
    records = gLastRecord;
    count = 1;
  }
  if (gRandom.recordFlag != 1 && !gRandom.recordFlagWasOne && !forced) return;

  // The batch's CR for the whole batch, its first creature's for a part of it; -1 (a
  // batch of one) where no shell handed a batch over.
  int32_t headerCount = count;
  int32_t headerCR = !gReplay ? -1 : count == gReplay->size ? gReplay->cr : gReplay->firstCR;

  for (int i = 0; i < count; ++i) {
    int32_t* r = records + (size_t)i * kRecordWords;
    if (RecordRandomMode(r) != kModeRecorded) continue;
    int32_t* stream = given ? r + rec::kStream : gDecide.stream;
    int32_t position = given ? r[rec::kStreamPosition] : (gDecide.streamPos ? *gDecide.streamPos : 0);
    if (!stream) continue;
    if (position >= -1 && position + 1 < kStreamWords) stream[position + 1] = kStreamEnd;
    if (stream != r + rec::kStream) memcpy(r + rec::kStream, stream, kStreamWords * sizeof(int32_t));
  }

  if (!name || !*name) return;

  std::string path = "save/" + UsableFileName(name, ".rep");
  if (keep && IsRegularFile(path.c_str())) {
    std::string base = path;
    if (EndsWithNoCase(base, ".rep")) base.resize(base.size() - 4);
    std::vector<bool> taken = TakenNumbers(base.substr(5));
    size_t n = 0;
    while (n < taken.size() && taken[n]) ++n;
    path = base + std::to_string(n) + ".rep";
  }

  uint8_t header[kRepHeaderBytes];
  memcpy(header, kMagic, 4);
  PutWord(header + 4, headerCount);
  PutWord(header + 8, headerCR);
  // Records are little-endian words, which is the machine's own layout here.
  const void* parts[2] = {header, records};
  size_t sizes[2] = {sizeof header, (size_t)count * kRecordBytes};
  if (!WriteFileAtomically(path.c_str(), parts, sizes, 2)) {
    const char* reason = strerror(errno);
    ConsolePrint("Fatal Error\nCould not Open Output File\n");
    ConsolePrint("%s: %s (nothing was saved; the batch stays as it is)\n", path.c_str(), reason);
    WaitForKey(kContinueNote);
    return;
  }
  if (!gProcess.loopRunning) ConsolePrint("Reproduction file has been saved as %s\n", path.c_str() + 5);
}

std::string SlotName(const char* stem, int slot) {
  return std::string(stem) + (slot < 0 ? "" : std::to_string(slot)) + ".rep";
}

int SlotAfterExisting(const char* stem) {
  std::vector<bool> taken = TakenNumbers(stem);
  if (!taken.empty()) return (int)taken.size();
  return PathExists(("save/" + SlotName(stem, -1)).c_str()) ? 0 : -1;
}

const char* CheckReproductionImage(const uint8_t* bytes, size_t size) {
  if (size < 4 || memcmp(bytes, kMagic, 4) != 0) return "File is not a MRG Reproduce File\nExiting\n";
  if (size < kRepHeaderBytes) return "Reproduce File is damaged: its header is cut off\n";
  int32_t n = GetWord(bytes + 4);
  if (n < 1 || n > kMaxRepRecords) return "Reproduce File is damaged: it announces an impossible number of creatures\n";
  if (size != kRepHeaderBytes + (size_t)n * kRecordBytes)
    return "Reproduce File is damaged: its size does not fit the number of creatures it announces\n";
  // The batch CR: drawn from 0 to 50, or -1 for a batch of one (a loop on several
  // threads keeps -1 for its copies of that one creature).
  int32_t cr = GetWord(bytes + 8);
  bool copies = true;
  for (int i = 1; i < n && copies; ++i)
    copies = memcmp(bytes + kRepHeaderBytes + 4, bytes + kRepHeaderBytes + (size_t)i * kRecordBytes + 4,
                    4 * (rec::kStoredHitPoints - 1)) == 0;
  if (cr < -1 || cr > kMaxRepCR || (cr == -1 && n > 1 && !copies))
    return "Reproduce File is damaged: its batch CR is impossible\n";
  for (int i = 0; i < n; ++i) {
    const uint8_t* r = bytes + kRepHeaderBytes + (size_t)i * kRecordBytes;
    int32_t word = GetWord(r + 4 * rec::kRandomMode);
    int32_t mode = RecordRandomMode(&word);
    int32_t pos = GetWord(r + 4 * rec::kStreamPosition);
    if (mode != kModeIsaac && mode != kModeRecorded)
      return "Reproduce File is damaged: a record holds neither a seed nor a decision stream\n";
    if (((uint32_t)word >> kRuleSetShift) >= (uint32_t)kRuleSetCount)
      return "Reproduce File is damaged: a record names an unknown rule set\n";
    if (mode == kModeRecorded && (pos < 0 || pos >= kStreamWords))
      return "Reproduce File is damaged: a decision stream position lies outside its stream\n";
    if (mode == kModeIsaac && (uint32_t)GetWord(r + 4 * (rec::kStream + 516)) > 256)
      return "Reproduce File is damaged: a character seed is broken\n";
    if (const char* problem = CheckRecordFields(r)) return problem;
  }
  return nullptr;
}

int LoadReproduction() {
  gRandom.recordFlag = 0;
  gRandom.replayAtStart = true;
  if (gDecide.streamPos) *gDecide.streamPos = 0;

  if (gRandom.reproduceInRuntime0) {
    gAllocate(1);
    gReplay->cr = -1;
    memcpy(gReplay->records, gRandom.transferRecord, kRecordBytes);
    gReplay->records[rec::kReplayMark] = 1;
    gRandom.reproFileOpen = false;
    gRandom.reproduceInRuntime0 = false;
    return 0;
  }

  ConsolePrint("Gespeicherte Dateien:\n");
  // A save cut off by a signal leaves its temporary: it is nothing to replay.
  RemoveTemporaryFiles("save");
  for (const std::string& entry : ListDirectory("save"))
    if (entry[0] != '.' && !EndsWithNoCase(entry, ".tmp")) ConsolePrint("\t%s\n", entry.c_str());
  ConsolePrint("\nDateinamen zum reproduzieren eingeben! ");

  char line[1024];
  ReadLine(line, sizeof line);
  char word[1024] = "";
  sscanf(line, "%1023s", word);

  std::string path = SavePath(word);
  if (!IsRegularFile(path.c_str())) {
    ConsolePrint("Error: File not found: %s\n\tTrying %s.rep\n", word, word);
    path += ".rep";
    if (!IsRegularFile(path.c_str())) {
      ConsolePrint("Fatal Error: Could not open File\n");
      return 1;
    }
  }
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    ConsolePrint("Fatal Error: Could not open File\n");
    return 1;
  }
  int64_t size = FileSize(f);
  // The largest sound file is the header and 99 records; anything bigger is refused
  // before it is read.
  const int64_t largest = kRepHeaderBytes + (int64_t)kMaxRepRecords * kRecordBytes;
  int64_t wanted = size < 0 ? 4 : (size > largest ? largest + 1 : size);
  TrackedPtr<uint8_t> image(static_cast<uint8_t*>(mallocloga((size_t)wanted + 1, "LoadReproduction-file")));
  size_t got = fread(image.get(), 1, (size_t)wanted, f);
  fclose(f);
  if (const char* problem = CheckReproductionImage(image.get(), got)) {
    ConsolePrint("%s", problem);
    return 1;
  }
  int32_t n = GetWord(image.get() + 4);
  gAllocate(n);
  gReplay->cr = GetWord(image.get() + 8);
  for (int i = 0; i < n; ++i) {
    int32_t* r = gReplay->records + (size_t)i * kRecordWords;
    memcpy(r, image.get() + kRepHeaderBytes + (size_t)i * kRecordBytes, kRecordBytes);
    r[rec::kReplayMark] = 1;
  }
  // Files written before the records kept the batch's theme hold -1 in every record; their
  // creatures were built with the theme the earlier ones set, as their replay in order sets it.
  gReplay->themeFromReplay = n > 1;
  for (int i = 0; i < n; ++i)
    if (gReplay->records[(size_t)i * kRecordWords + rec::kMonsterSelChosen] != -1) gReplay->themeFromReplay = false;
  // The file is read whole; the flag tells the run driver that the first replayed
  // creation is still to come.
  gRandom.reproFileOpen = true;
  return 0;
}

void QuitOnError(bool save) {
  gProcess.loopRunning = false;
#ifdef SCHMIEDE_FUZZ
  // A fuzz target takes the rejected input back and goes on with the next one.
  (void)save;
  RaiseError("Quitting due to error");
#endif
  // On a terminal a sheet may be showing: what follows must be seen.
  ConsoleSetActive(ConsoleStandard());
  if (gRandom.savingAllowed && save) {
    SaveReproduction("error.rep", false, nullptr, 1, true);
#if RUNTIME_INDEX != 0
    ConsolePrint("Press [D] to reproduce this character in Debug Runtime\n");
    FlushConsoleInput();
    int key = ReadKey('q');
    if (key == 'd' || key == 'D') {
      gRandom.reproduceInRuntime0 = true;
      CopyLastRecord(gRandom.transferRecord);
      static char empty[1] = "";
      static char* none[2] = {empty, nullptr};
      RunRuntime(0, 0, none);
    }
#endif
  }
  ConsolePrint("Quitting due to error\n");
  FlushConsoleInput();
  WaitForKey(kEndNote);
  fflush(nullptr);
  RestoreTerminal();
  std::_Exit(1);
}

bool ReadLineWithSuffix(char* buffer, size_t size, const char* suffix) {
  DiscardPendingKeys();
  size_t limit = size < 251 ? size : 251;
  buffer[0] = 0;
  for (;;) {
    if (!ReadLine(buffer, limit)) {
      buffer[0] = 0;
      return false;
    }
    if (buffer[0]) break;
  }
  for (char* p = buffer; *p; ++p)
    if (*p == '\n' || *p == '\r') {
      *p = 0;
      break;
    }
  std::string s = buffer;
  if (!EndsWithNoCase(s, suffix) && s.size() + strlen(suffix) < size) strcat(buffer, suffix);
  return true;
}

}  // namespace RUNTIME_NS
