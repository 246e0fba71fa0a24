// Class extras drawn by the counters the class scripts set: arcanas, rogue special
// abilities, lores and hierophant abilities; and the skill bonuses of equipment.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

void DoArcanas(Char* c);
void DoSpecialAbilities(Char* c);
void DoLores(Char* c);
void DoHierophantAbilities(Char* c);

// Skill bonuses of the carried items' specific rows and magic effects.
void EquipmentSkillBonuses(Char* c);

}  // namespace RUNTIME_NS
