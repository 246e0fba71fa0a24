// Reproduction records and files, the per-creation random set-up, and the fatal-error path.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "random/state.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Header of a reproduction file: magic, record count, CR of the batch.
constexpr int kRepHeaderBytes = 12;
// A batch never has more creatures than the input line allows (nor more than threads).
constexpr int kMaxRepRecords = 99;
// Bounds of the creation parameters a file may hold: the input line's CR and amounts,
// and the hit dice a companion's record asks of its monster.
constexpr int32_t kMaxRepCR = 50;
// A batch moves each creature's CR off the batch's by up to batch CR / 5 + 1 either way,
// and the lower end may fall below 0: a record's CR lies within this much of the range.
constexpr int32_t kRepCRSpread = kMaxRepCR / 5 + 1;
constexpr int32_t kMaxRepAmount = 99;
constexpr int32_t kMaxRepHitDice = 60;
// A typed file name keeps at most this many bytes before its suffix (a file name may
// have 255, and the temporary's ".tmp" comes on top).
constexpr size_t kMaxFileNameBytes = 200;

// The name a typed file name is written under (save/ and export/ alike): "/" and "\"
// become "-"; blanks, control characters and leading dots "_"; overlong names are cut.
// Every such name can be typed back at the reproduce prompt, which reads one word. Says
// so in one line when the name changes (separators aside).
std::string UsableFileName(const char* typed, const char* suffix);

// A cleared record for any creature of CR 0 to 50, everything left to chance: the
// creature of the runtime analysis, the benchmark and the consistency check.
void PresetAnyCreatureRecord(int32_t* record);

// The batch's records as saving and replaying see them. The shell's batch is one and
// hands itself over, with how a loaded file makes room for its records.
struct ReplayRecords {
  int size = 0;
  int cr = -1;                   // -1 for a batch of one
  int firstCR = 0;               // the CR drawn for the first creature
  bool themeFromReplay = false;  // loaded from a file whose records do not keep the theme
  int32_t* records = nullptr;    // size records of kRecordWords words, back to back
};
// The sizes a replayed record's indices must fit: the rule database's monster, race and
// template counts.
struct ReplayLimits {
  int32_t monsters = 0, races = 0, templates = 0;
};
void AttachReplayBatch(ReplayRecords* batch, void (*allocate)(int size), ReplayLimits (*limits)());

// Whether the loaded file's records lack the batch's theme, which their replay in order sets.
bool ReplayLacksTheme();
// Whether a creation replays its record (a loaded file's, or one another runtime handed on).
bool IsReplayRecord(const int32_t* record);
// Set-up of the random state at the start of a creation.
void BeginCreationRandom(int32_t* record, IsaacState* state);
// Stored hit points and the end of replay when a creation ends.
void EndCreationRandom(int32_t* record, int32_t* hitPoints);

// Writes a reproduction file "save/<name>". records null: the last-record copy.
void SaveReproduction(const char* name, bool forced, int32_t* records, int count, bool keep);
// Files of one family in save/: slot -1 is "<stem>.rep", slot k >= 0 "<stem><k>.rep".
std::string SlotName(const char* stem, int slot);
// The slot behind every existing file of the family (one directory listing, no look-up
// per number).
int SlotAfterExisting(const char* stem);
// Asks for a file and loads its records into a new batch; 0 on success.
int LoadReproduction();
// Checks a reproduction file image; null when it is sound, else the reason.
const char* CheckReproductionImage(const uint8_t* bytes, size_t size);

[[noreturn]] void QuitOnError(bool save);

// Reads a non-empty line and appends the suffix unless it ends with it (any case).
// False at end of input (the buffer is then empty).
bool ReadLineWithSuffix(char* buffer, size_t size, const char* suffix);

// The copy of the record of the creation this thread started last.
void CopyLastRecord(int32_t* destination);

}  // namespace RUNTIME_NS
