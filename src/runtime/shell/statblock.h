// The classic stat block of a creature, in German or as the SRD's English block: the
// figures of the sheet in the order a game master reads them in a rule book, then
// abilities, spells, possessions and companions.
#pragma once
#include <string>
#include <vector>

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

enum class BlockLanguage { kGerman, kEnglish };

// The block's lines, none wider than `width` code points: long entries wrap at word
// boundaries, continuation lines indented. Companions follow as blocks of their own.
// The English block is the SRD's: its labels, punctuation, feet and the SRD names of
// the rows.
std::vector<std::string> StatBlock(const Char* c, int width = 78, BlockLanguage language = BlockLanguage::kGerman);

// The hit dice as a dice expression with the fixed part ("5W10+3W8+16"; "5d10+3d8+16"
// with the die letter "d").
std::string HitDiceExpression(const Char* c, const char* die = "W");

}  // namespace RUNTIME_NS
