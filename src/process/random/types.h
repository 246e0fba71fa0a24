// Types of the randomness and reproduction services that every runtime shares.
#pragma once
#include <cstdint>

// ISAAC generator state: 517 words, copied whole into reproduction records.
struct IsaacState {
  uint32_t mem[256];
  uint32_t results[256];
  uint32_t a;
  uint32_t b;
  uint32_t c;
  uint32_t count;
  uint32_t next;
};
static_assert(sizeof(IsaacState) == 2068, "IsaacState is stored in files");
constexpr int kIsaacWords = 517;

// Reproduction record: 8216 little-endian words per creature.
constexpr int kRecordWords = 8216;
constexpr int kRecordBytes = kRecordWords * 4;
static_assert(kRecordBytes == 32864);

namespace rec {
constexpr int kRandomMode = 0;  // 49 = ISAAC mode, 48 = recorded mode
constexpr int kDiceMethod = 1;
constexpr int kCRMin = 2;
constexpr int kCRMax = 3;
constexpr int kFixedClasses = 4;  // 1-based index into the context's table, 0 = none
constexpr int kFixedClassCount = 5;
constexpr int kFixedAbilities = 6;  // 1-based index, 0 = none
constexpr int kKind = 7;            // 0 character, 1 monster, -1 draw
constexpr int kFixedMonster = 8;
constexpr int kMonsterOption = 9;
constexpr int kParam10 = 10;
constexpr int kForceMixed = 11;
constexpr int kTreasureOnly = 12;
constexpr int kNpcClasses = 13;
constexpr int kFixedRace = 14;
constexpr int kTreasureLow = 15;
constexpr int kTreasureHigh = 16;
constexpr int kStoredHitPoints = 17;  // -100 = none yet
constexpr int kDrawType = 18;
constexpr int kCalcType = 19;
constexpr int kMonsterSelHigh = 20;
constexpr int kMonsterSelChosen = 21;
constexpr int kReplayMark = 22;
constexpr int kStream = 23;  // seed (517 words) or decision stream (8192 words)
constexpr int kStreamPosition = 8215;
}  // namespace rec

constexpr int32_t kModeIsaac = 49;
constexpr int32_t kModeRecorded = 48;

// The rules a creature is built by. The system's own rules are the default; SRD 3.5
// changes the rules where the system's own keep an older or a house rule.
enum RuleSet : int32_t { kRulesOwn = 0, kRulesSrd35 = 1 };
constexpr int32_t kRuleSetCount = 2;

// Word 0 keeps the random mode in its low byte and the rule set in the byte above it:
// records of the system's own rules (and every older file) read exactly as before.
constexpr int kRuleSetShift = 8;
inline int32_t RecordRandomMode(const int32_t* record) { return record[rec::kRandomMode] & 0xFF; }
inline RuleSet RecordRuleSet(const int32_t* record) {
  int32_t rules = (record[rec::kRandomMode] >> kRuleSetShift) & 0xFF;
  return rules < kRuleSetCount ? (RuleSet)rules : kRulesOwn;
}
inline void SetRecordRuleSet(int32_t* record, RuleSet rules) {
  record[rec::kRandomMode] = RecordRandomMode(record) | (int32_t)rules << kRuleSetShift;
}
inline void SetRecordRandomMode(int32_t* record, int32_t mode) {
  record[rec::kRandomMode] = mode | (record[rec::kRandomMode] & ~0xFF);
}
constexpr int kStreamWords = 8192;
constexpr int32_t kStreamEnd = -100;
constexpr int32_t kNoHitPoints = -100;
constexpr int kStickyCapacity = 8192;

struct StickyEntry {
  uint32_t caller;
  int32_t value;
};

// Raised by the answer -3: the creation loop restarts the creature.
class xRestartChar {};
