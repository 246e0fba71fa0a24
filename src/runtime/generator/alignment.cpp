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
const char* const kNames[kAlignments] = {"Rechtschaffen gut",     "Neutral gut",  "Chaotisch gut",
                                         "Rechtschaffen neutral", "Neutral",      "Chaotisch neutral",
                                         "Rechtschaffen böse",    "Neutral böse", "Chaotisch böse"};
const char* const kEnglishNames[kAlignments] = {"Lawful good",    "Neutral good", "Chaotic good",
                                                "Lawful neutral", "Neutral",      "Chaotic neutral",
                                                "Lawful evil",    "Neutral evil", "Chaotic evil"};
const char* const kCodes[kAlignments] = {"RG", "NG", "CG", "RN", "N", "CN", "RB", "NB", "CB"};

// The groups of a table's alignment line: every lawful, chaotic, good, evil alignment.
constexpr int32_t kLawful = kLawfulAlignments, kChaotic = kChaoticAlignments, kGood = kGoodAlignments,
                  kEvil = kEvilAlignments;
// Neutral on the law axis or on the good axis.
constexpr int32_t kPartlyNeutral = 0x092 | 0x038;

struct Group {
  const char* code;
  int32_t set;
  const char *text, *english;
};
const Group kGroups[] = {{"R", kLawful, "rechtschaffen", "lawful"},
                         {"C", kChaotic, "chaotisch", "chaotic"},
                         {"G", kGood, "gut", "good"},
                         {"B", kEvil, "böse", "evil"},
                         {"nR", kEveryAlignment & ~kLawful, "nicht rechtschaffen", "nonlawful"},
                         {"nC", kEveryAlignment & ~kChaotic, "nicht chaotisch", "nonchaotic"},
                         {"nG", kEveryAlignment & ~kGood, "nicht gut", "nongood"},
                         {"nB", kEveryAlignment & ~kEvil, "nicht böse", "nonevil"},
                         {"*", kEveryAlignment, "", ""}};

const char* const kFrequencies[] = {"", "Immer", "Meist", "Oft", "Beliebig"};
const char* const kEnglishFrequencies[] = {"", "Always", "Usually", "Often", "Any"};

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

// "rechtschaffen böse", "neutral", "nicht rechtschaffen", "neutral gut oder neutral böse"
// (English: "lawful evil", "nonlawful", "neutral good or neutral evil").
std::string SetText(int32_t set, bool english) {
  for (const Group& g : kGroups)
    if (g.set == set) return english ? g.english : g.text;
  std::vector<std::string> names;
  for (int a = 0; a < kAlignments; ++a)
    if (set & (1 << a)) {
      std::string name = english ? kEnglishNames[a] : kNames[a];
      name[0] = (char)(name[0] - 'A' + 'a');  // every name starts with R, N, C or L
      names.push_back(name);
    }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? (english ? " or " : " oder ") : ", ") + names[i];
  return text;
}

}  // namespace

const char* AlignmentName(int alignment, bool english) {
  return alignment >= 0 && alignment < kAlignments ? (english ? kEnglishNames : kNames)[alignment] : "";
}
const char* AlignmentCode(int alignment) { return alignment >= 0 && alignment < kAlignments ? kCodes[alignment] : ""; }

std::string AlignmentLineText(const AlignmentLine& line, bool english) {
  if (line.frequency <= kNoAlignmentLine || line.frequency > kAlignmentAny || line.set == 0) return std::string();
  if (line.set == kEveryAlignment) return english ? "Any" : "Beliebig";
  std::string set = SetText(line.set, english);
  if (line.frequency == kAlignmentAny) return english ? "Any " + set : "Beliebig (" + set + ")";
  return std::string((english ? kEnglishFrequencies : kFrequencies)[line.frequency]) + " " + set;
}

std::string AlignmentTendency(const Char* c, bool english) { return AlignmentLineText(TendencyOf(c), english); }

bool ParseAlignmentLine(const char* field, AlignmentLine* out, std::string* bad) {
  *out = AlignmentLine();
  if (strcmp(field, ";") == 0) return true;
  const char* colon = strchr(field, ':');
  std::string frequency(field, colon ? (size_t)(colon - field) : strlen(field));
  AlignmentLine line;
  for (int f = kAlignmentAlways; f <= kAlignmentAny; ++f)
    if (frequency == kFrequencies[f]) line.frequency = f;
  if (line.frequency == kNoAlignmentLine || !colon) {
    *bad = frequency;
    return false;
  }
  const char* p = colon + 1;
  for (;;) {
    const char* end = strchr(p, ',');
    std::string code(p, end ? (size_t)(end - p) : strlen(p));
    int32_t set = 0;
    for (int a = 0; a < kAlignments; ++a)
      if (code == kCodes[a]) set = 1 << a;
    for (const Group& g : kGroups)
      if (code == g.code) set = g.set;
    if (set == 0) {
      *bad = code;
      return false;
    }
    line.set |= set;
    if (!end) break;
    p = end + 1;
  }
  *out = line;
  return true;
}

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
  int drawn = AdvancedRand(state, kAlignments, weights, sizeof(int32_t), kNames, sizeof(const char*),
                           "Gesinnung wählen!", 0, true, 0, false);
  c->alignment = drawn >= 0 && drawn < kAlignments ? drawn : last;
}

}  // namespace RUNTIME_NS
