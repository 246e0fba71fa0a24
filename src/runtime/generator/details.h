// Details a person reads that change no figure: the subjects of craft and profession
// skills and a ranger's favoured enemies. Drawn in the final step of creation, after
// every other draw of the creature, so that they shift nothing before them.
#pragma once
#include <string>

#include "generator/char.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

// A subject for every craft ("Handwerk") and profession ("Beruf") entry of the skills.
void DrawSkillSubjects(Char* c, IsaacState* state);
// The favoured enemies of a ranger's levels, with their bonuses.
void DrawFavouredEnemies(Char* c, IsaacState* state);

// The subject of skill entry `entry` ("Schmied"), "" when it has none.
const char* SkillSubject(const Char* c, int entry, bool english = false);
// "Erzfeinde: Riesen +4, Untote +2", "" for a creature without favoured enemies.
std::string FavouredEnemyLine(const Char* c);

}  // namespace RUNTIME_NS
