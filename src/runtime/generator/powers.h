// Psionic powers of a creature: power points, the main psionic ability, powers known
// per level and the powers drawn; then psicrystals and psionic combat modes.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Power points, main ability, powers known and drawn, for every psionic class slot.
void DoPowers(Char* c);

// SRD 3.5: the key ability's bonus power points of the highest manifesting class, added
// once the ability scores are final.
void BonusPowerPoints(Char* c);

// Whether the key ability a manifester's prerequisite names reaches `score`: SRD 3.5 the
// key ability of the highest manifesting class, the system's own rules Intelligence.
bool KeyManifestingAbilityReaches(Char* c, int score);

// Psicrystal personalities and psionic combat modes as special-ability lines.
void DoCrystal(Char* c);

// Base power points of a psionic class of `type` (1 full, 2 partial) at `levels`.
int BasePowerPoints(int type, int levels);

// Powers known of a psionic class of `type` at `levels` for power level `s`; -1 at a
// level the type has no powers for.
int PowersKnown(int type, int levels, int s);

}  // namespace RUNTIME_NS
