// Alignment (Gesinnung): the two axes law–chaos and good–evil, nine alignments.
#pragma once
#include <string>

#include "generator/char.h"
#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

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
// A creature's alignment line as its row gives it ("Immer rechtschaffen böse", "Meist
// neutral", "Beliebig (böse)"): a monster's (or its template's), a character's race's
// (or subrace's); "" without one.
std::string AlignmentTendency(const Char* c, bool english = false);
// The German (or English) text of an alignment line; "" for none.
std::string AlignmentLineText(const AlignmentLine& line, bool english = false);

// Reads a table's alignment field "<Häufigkeit>:<Menge>" (";" = none). On a mistake it
// returns false and names the bad part in *bad.
bool ParseAlignmentLine(const char* field, AlignmentLine* out, std::string* bad);

// The alignments the creature's classes and a cleric's domains allow (a monster's own
// spell casting is no class); where they cannot meet, the class with the most levels
// decides. *conflict (if given) tells whether a class had to give way.
int32_t AllowedAlignments(const Char* c, bool* conflict = nullptr);

// Whether an alignment the class allows is left by the creature's classes so far.
bool AlignmentAllowsClass(const Char* c, int cls);

// Draws the creature's alignment from its tendency within the allowed set and
// `required` (a fiendish servant: evil) on `state`; one possible alignment is taken
// without a draw.
void DrawAlignment(Char* c, IsaacState* state, int32_t required = kEveryAlignment);

}  // namespace RUNTIME_NS
