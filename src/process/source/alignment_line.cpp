// The vocabulary of alignments: names, codes, and the alignment lines of the tables.
#include "source/alignment_line.h"

#include <cstring>
#include <string>
#include <vector>

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

const char* const* const kAlignmentNames = kNames;

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
