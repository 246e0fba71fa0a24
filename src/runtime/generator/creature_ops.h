// Game operations on a creature that the creation stages and the bound script functions
// share: feats, skill entries, typed bonuses and the enhancement draw.
#pragma once
#include <cstdint>

#include "generator/char.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Adds a feat unless it is owned with this parameter (or with -1); -1 makes every
// owned entry of the feat general. The second counter, when given, counts the addition.
void AddFeat(Char* c, int32_t feat, int32_t* secondCounter, int32_t parameter);
// The creature's entry of a skill, made (with 0 ranks) when it has none.
CharSkill& CharSkillEntry(Char* c, int32_t skill);
// Raises a skill's bonus; a bonus type (-1 none) counts only its best bonus.
void BoostSkillTyped(Char* c, int32_t skill, int32_t amount, int32_t type, const char* source);
// A typed bonus on a field of the Char: the record is kept, the field rises by what the
// amount adds over the best earlier bonus of a non-stacking type (the source name must
// outlive the creature).
void AddCharBonus(Char* c, int32_t* field, int32_t amount, int32_t type, const char* source);
// The enhancement bonus (0 to 6) for a level; noArtifact is also the ask flag.
int32_t EnhancementDraw(IsaacState* state, int32_t level, int noArtifact);

}  // namespace RUNTIME_NS
