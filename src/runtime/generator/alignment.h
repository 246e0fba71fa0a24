// Alignment (Gesinnung): the two axes law–chaos and good–evil, nine alignments.
#pragma once
#include <string>

#include "generator/char.h"
#include "source/alignment_line.h"
#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

// A creature's alignment line as its row gives it ("Immer rechtschaffen böse", "Meist
// neutral", "Beliebig (böse)"): a monster's (or its template's), a character's race's
// (or subrace's); "" without one.
std::string AlignmentTendency(const Char* c, bool english = false);
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
