// The vocabulary of alignments (Gesinnung): the two axes law–chaos and good–evil, the
// nine alignments, their names and codes, and the alignment lines the tables give.
#pragma once
#include <cstdint>
#include <string>

#include "source/records.h"

// Alignment codes: law axis (0 lawful, 1 neutral, 2 chaotic) + 3 × good axis (0 good,
// 1 neutral, 2 evil): RG NG CG RN N CN RB NB CB.
constexpr int kAlignments = 9;
// Sets of alignments are bit masks, bit a = code a.
constexpr int32_t kEveryAlignment = 0x1FF, kEvilAlignments = 0x1C0;
// The lawful, chaotic and good alignments of the set.
constexpr int32_t kLawfulAlignments = 0x049, kChaoticAlignments = 0x124, kGoodAlignments = 0x007;

// "Rechtschaffen gut", …, "Neutral", "Chaotisch böse" (English: "Lawful good" …); "" for -1.
const char* AlignmentName(int alignment, bool english = false);
// The two-letter code ("RG", "N", "CB"); "" for -1.
const char* AlignmentCode(int alignment);
// The nine German names, for a draw's labels.
extern const char* const* const kAlignmentNames;
// The German (or English) text of an alignment line; "" for none.
std::string AlignmentLineText(const AlignmentLine& line, bool english = false);

// Reads a table's alignment field "<Häufigkeit>:<Menge>" (";" = none). On a mistake it
// returns false and names the bad part in *bad.
bool ParseAlignmentLine(const char* field, AlignmentLine* out, std::string* bad);
