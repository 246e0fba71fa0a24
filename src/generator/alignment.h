// Alignment (Gesinnung): the two axes law–chaos and good–evil, nine alignments.
#pragma once
#include <string>

#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Alignment codes: law axis (0 lawful, 1 neutral, 2 chaotic) + 3 × good axis (0 good,
// 1 neutral, 2 evil): RG NG CG RN N CN RB NB CB.
constexpr int kAlignments = 9;

// "Rechtschaffen gut", …, "Neutral", "Chaotisch böse"; "" for -1.
const char* AlignmentName(int alignment);
// The two-letter code ("RG", "N", "CB"); "" for -1.
const char* AlignmentCode(int alignment);
// A monster's alignment line as its row gives it ("Immer rechtschaffen böse", "Meist
// neutral", "Beliebig"); "" for characters and rows without one.
std::string AlignmentTendency(const Char* c);

}  // namespace RUNTIME_NS
