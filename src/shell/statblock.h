// The classic stat block of a creature in German: the figures of the sheet in the order
// a game master reads them in a rule book, then abilities, spells, possessions and
// companions.
#pragma once
#include <string>
#include <vector>

#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// The block's lines, none wider than `width` code points: long entries wrap at word
// boundaries, continuation lines indented. Companions follow as blocks of their own.
std::vector<std::string> StatBlock(const Char* c, int width = 78);

// The hit dice as a dice expression with the fixed part ("5W10+3W8+16").
std::string HitDiceExpression(const Char* c);

}  // namespace RUNTIME_NS
