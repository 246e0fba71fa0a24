// Alignment names and how a creature's alignment is drawn.
#include "generator/alignment.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "random/decisions.h"
#include "source/reader.h"

namespace RUNTIME_NS {

namespace {
// The groups of the class rules below.
constexpr int32_t kLawful = kLawfulAlignments, kChaotic = kChaoticAlignments, kGood = kGoodAlignments,
                  kEvil = kEvilAlignments;
// Neutral on the law axis or on the good axis.
constexpr int32_t kPartlyNeutral = 0x092 | 0x038;

// Classes whose alignment is bound, by their keys.
struct ClassRule {
  const char* name;
  int32_t set;
};
const ClassRule kClassRules[] = {{"Paladin", 1 << 0},
                                 {"Mönch", kLawful},
                                 {"Barbar", kEveryAlignment & ~kLawful},
                                 {"Barde", kEveryAlignment & ~kLawful},
                                 {"Druide", kPartlyNeutral},
                                 {"SchwarzerRitter", kEvil},
                                 {"Assasin", kEvil},
                                 {"ArkanerBetrüger", kEveryAlignment & ~kLawful},
                                 {"ZwergischerVerteidiger", kLawful},
                                 {"Pyrokinet", kChaotic},
                                 {"Kriegsgeist", kEveryAlignment & ~kChaotic},
                                 {"Häscher", kLawful},
                                 {"EpischerUnterwanderer", kEveryAlignment & ~kChaotic},
                                 {"UnionsWächter", kLawful}};
// A cleric's alignment domains.
const ClassRule kDomainRules[] = {{"Gutes", kGood}, {"Böses", kEvil}, {"Ordnung", kLawful}, {"Chaos", kChaotic}};

// The rows of those classes and domains, looked up once per Source build and thread.
struct Rows {
  uint32_t generation = UINT32_MAX;
  int classes[std::size(kClassRules)];
  int domains[std::size(kDomainRules)];
};
const Rows& RowsOfRules() {
  thread_local Rows r;
  if (r.generation == gSourceGeneration) return r;
  for (size_t i = 0; i < std::size(kClassRules); ++i)
    r.classes[i] = FindByName(gSource.classes, gSource.classCount, kClassRules[i].name);
  for (size_t i = 0; i < std::size(kDomainRules); ++i)
    r.domains[i] = FindByName(gSource.domains, gSource.domainCount, kDomainRules[i].name);
  r.generation = gSourceGeneration;
  return r;
}

// The creature's row: a monster's, a character's subrace's or race's; a template's
// line replaces it.
AlignmentLine TendencyOf(const Char* c) {
  AlignmentLine line;
  if (c->kind == 1) {
    if (c->monster >= 0 && c->monster < gSource.monsterCount) line = gSource.monsters[c->monster].alignment;
  } else {
    if (c->subRace >= 0 && c->subRace < gSource.raceCount) line = gSource.races[c->subRace].alignment;
    if (line.frequency == kNoAlignmentLine && c->race >= 0 && c->race < gSource.raceCount)
      line = gSource.races[c->race].alignment;
  }
  if (c->templateIndex > 0 && c->templateIndex < gSource.templateCount &&
      gSource.templates[c->templateIndex].alignment.frequency != kNoAlignmentLine)
    line = gSource.templates[c->templateIndex].alignment;
  return line;
}

}  // namespace

std::string AlignmentTendency(const Char* c, bool english) { return AlignmentLineText(TendencyOf(c), english); }

int32_t AllowedAlignments(const Char* c, bool* conflict) {
  if (conflict) *conflict = false;
  const Rows& rows = RowsOfRules();
  int32_t domains = kEveryAlignment;
  for (int d : c->domains)
    for (size_t i = 0; i < std::size(kDomainRules); ++i)
      if (d >= 0 && d == rows.domains[i]) domains &= kDomainRules[i].set;
  struct Limit {
    int32_t set, levels;
  };
  Limit limits[kMaxClassSlots];
  int count = 0;
  for (int s = c->kind == 1 ? c->casterSlots : 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k) continue;
    int32_t set = kEveryAlignment;
    for (size_t i = 0; i < std::size(kClassRules); ++i)
      if (c->classes[s] == rows.classes[i]) set = kClassRules[i].set;
    if (k->domains > 0) set &= domains;
    if (set != kEveryAlignment) limits[count++] = {set, c->classLevels[s]};
  }
  // The class with the most levels first (the earlier slot on a tie); a class that
  // cannot meet those before it gives way.
  for (int i = 1; i < count; ++i)
    for (int j = i; j > 0 && limits[j].levels > limits[j - 1].levels; --j) std::swap(limits[j], limits[j - 1]);
  int32_t allowed = kEveryAlignment;
  for (int i = 0; i < count; ++i) {
    const Limit& l = limits[i];
    if (allowed & l.set)
      allowed &= l.set;
    else if (conflict)
      *conflict = true;
  }
  return allowed;
}

bool AlignmentAllowsClass(const Char* c, int cls) {
  const Rows& rows = RowsOfRules();
  for (size_t i = 0; i < std::size(kClassRules); ++i)
    if (cls >= 0 && cls == rows.classes[i]) return (AllowedAlignments(c) & kClassRules[i].set) != 0;
  return true;
}

void DrawAlignment(Char* c, IsaacState* state, int32_t required) {
  AlignmentLine tendency = TendencyOf(c);
  if (tendency.frequency == kNoAlignmentLine || tendency.set == 0) tendency = {kAlignmentAny, kEveryAlignment};
  int32_t allowed = AllowedAlignments(c) & required;
  if (allowed == 0) allowed = required;
  int32_t set = tendency.set & allowed, universe = allowed;
  int frequency = tendency.frequency;
  if (set == 0) {
    if (frequency == kAlignmentAlways && c->kind == 1 && required == kEveryAlignment) {
      // A monster that is always of its kind's alignment stays so whatever classes it took.
      set = universe = tendency.set;
    } else {
      set = universe = allowed;
      frequency = kAlignmentAny;
    }
  }
  // Usually: the set with 3/4, else any of the universe; often: 1/2 (weights × 4·|set|·|universe|).
  int32_t s = std::popcount((uint32_t)set), u = std::popcount((uint32_t)universe);
  int32_t weights[kAlignments] = {};
  int candidates = 0, last = -1;
  for (int a = 0; a < kAlignments; ++a) {
    bool inSet = set & (1 << a), inUniverse = universe & (1 << a);
    if (frequency == kAlignmentUsually)
      weights[a] = (inSet ? 3 * u : 0) + (inUniverse ? s : 0);
    else if (frequency == kAlignmentOften)
      weights[a] = (inSet ? u : 0) + (inUniverse ? s : 0);
    else
      weights[a] = inSet ? 1 : 0;
    if (weights[a] > 0) {
      ++candidates;
      last = a;
    }
  }
  if (candidates <= 1) {
    c->alignment = last;
    return;
  }
  int drawn = AdvancedRand(state, kAlignments, weights, sizeof(int32_t), kAlignmentNames, sizeof(const char*),
                           "Gesinnung wählen!", 0, true, 0, false);
  c->alignment = drawn >= 0 && drawn < kAlignments ? drawn : last;
}

}  // namespace RUNTIME_NS
