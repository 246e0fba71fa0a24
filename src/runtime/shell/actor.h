// Creatures as actors of a virtual tabletop's d20 3.5 system (JSON an "Import Data" or a
// script macro reads): base values only, the tabletop computes the totals.
#pragma once
#include <string>
#include <vector>

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// One creature as one tabletop actor (its companions are not in it), pretty-printed JSON.
std::string ActorJson(const Char* c);
// The actors of the given creatures and of all their companions, as one JSON array.
std::string ActorsJson(const std::vector<const Char*>& creatures);
// The creature's actor and then each of its companions' (as in ActorsJson), one object each.
std::vector<std::string> ActorFiles(const Char* c);

}  // namespace RUNTIME_NS
